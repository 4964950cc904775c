// TWAIN's types, constants and structures as both ends of this system use them, with TWAIN's
// Windows layout: structures packed to 2 bytes, handles and memory references pointer-sized.
// Below them, the TWAIN type declarations the toolkit publishes (file formats, transfer
// mechanisms, handle kinds, message levels, device events, languages and countries).
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

static_assert(std::endian::native == std::endian::little,
              "TWAIN structures are exchanged in the machine's byte order");

// ---- Basic types ----

using TW_INT8 = int8_t;
using TW_INT16 = int16_t;
using TW_INT32 = int32_t;
using TW_UINT8 = uint8_t;
using TW_UINT16 = uint16_t;
using TW_UINT32 = uint32_t;
using TW_BOOL = uint16_t;
using TW_HANDLE = void*;
using TW_MEMREF = void*;

// Zero-terminated texts of a fixed size (the count is the longest text; the size is even).
using TW_STR32 = char[34];
using TW_STR64 = char[66];
using TW_STR128 = char[130];
using TW_STR255 = char[256];

// ---- Structures ----

#pragma pack(push, 2)

// Whole + Frac / 65536.
struct TW_FIX32 {
  TW_INT16 Whole;
  TW_UINT16 Frac;
};

struct TW_FRAME {
  TW_FIX32 Left;
  TW_FIX32 Top;
  TW_FIX32 Right;
  TW_FIX32 Bottom;
};

struct TW_VERSION {
  TW_UINT16 MajorNum;
  TW_UINT16 MinorNum;
  TW_UINT16 Language;
  TW_UINT16 Country;
  TW_STR32 Info;
};

struct TW_IDENTITY {
  TW_UINT32 Id;
  TW_VERSION Version;
  TW_UINT16 ProtocolMajor;
  TW_UINT16 ProtocolMinor;
  TW_UINT32 SupportedGroups;
  TW_STR32 Manufacturer;
  TW_STR32 ProductFamily;
  TW_STR32 ProductName;
};

struct TW_CAPABILITY {
  TW_UINT16 Cap;
  TW_UINT16 ConType;
  TW_HANDLE hContainer;
};

// The four container kinds as TWAIN lays them out: items packed at their type size.
struct TW_ONEVALUE {
  TW_UINT16 ItemType;
  TW_UINT32 Item;
};

struct TW_ARRAY {
  TW_UINT16 ItemType;
  TW_UINT32 NumItems;
  TW_UINT8 ItemList[1];
};

struct TW_ENUMERATION {
  TW_UINT16 ItemType;
  TW_UINT32 NumItems;
  TW_UINT32 CurrentIndex;
  TW_UINT32 DefaultIndex;
  TW_UINT8 ItemList[1];
};

struct TW_RANGE {
  TW_UINT16 ItemType;
  TW_UINT32 MinValue;
  TW_UINT32 MaxValue;
  TW_UINT32 StepSize;
  TW_UINT32 DefaultValue;
  TW_UINT32 CurrentValue;
};

struct TW_EVENT {
  TW_MEMREF pEvent;
  TW_UINT16 TWMessage;
};

struct TW_USERINTERFACE {
  TW_BOOL ShowUI;
  TW_BOOL ModalUI;
  TW_HANDLE hParent;
};

struct TW_STATUS {
  TW_UINT16 ConditionCode;
  TW_UINT16 Reserved;
};

struct TW_PENDINGXFERS {
  TW_UINT16 Count;
  TW_UINT32 Reserved;
};

struct TW_SETUPMEMXFER {
  TW_UINT32 MinBufSize;
  TW_UINT32 MaxBufSize;
  TW_UINT32 Preferred;
};

struct TW_SETUPFILEXFER {
  TW_STR255 FileName;
  TW_UINT16 Format;
  TW_INT16 VRefNum;
};

struct TW_SETUPFILEXFER2 {
  TW_MEMREF FileName;
  TW_UINT16 FileNameType;
  TW_UINT16 Format;
  TW_INT16 VRefNum;
  TW_UINT32 parID;
};

struct TW_IMAGEINFO {
  TW_FIX32 XResolution;
  TW_FIX32 YResolution;
  TW_INT32 ImageWidth;
  TW_INT32 ImageLength;
  TW_INT16 SamplesPerPixel;
  TW_INT16 BitsPerSample[8];
  TW_INT16 BitsPerPixel;
  TW_BOOL Planar;
  TW_INT16 PixelType;
  TW_UINT16 Compression;
};

struct TW_IMAGELAYOUT {
  TW_FRAME Frame;
  TW_UINT32 DocumentNumber;
  TW_UINT32 PageNumber;
  TW_UINT32 FrameNumber;
};

struct TW_MEMORY {
  TW_UINT32 Flags;
  TW_UINT32 Length;
  TW_MEMREF TheMem;
};

struct TW_IMAGEMEMXFER {
  TW_UINT16 Compression;
  TW_UINT32 BytesPerRow;
  TW_UINT32 Columns;
  TW_UINT32 Rows;
  TW_UINT32 XOffset;
  TW_UINT32 YOffset;
  TW_UINT32 BytesWritten;
  TW_MEMORY Memory;
};

struct TW_ELEMENT8 {
  TW_UINT8 Index;
  TW_UINT8 Channel1;
  TW_UINT8 Channel2;
  TW_UINT8 Channel3;
};

struct TW_PALETTE8 {
  TW_UINT16 NumColors;
  TW_UINT16 PaletteType;
  TW_ELEMENT8 Colors[256];
};

struct TW_DEVICEEVENT {
  TW_UINT32 Event;
  TW_STR255 DeviceName;
  TW_UINT32 BatteryMinutes;
  TW_INT16 BatteryPercentage;
  TW_INT32 PowerSupply;
  TW_FIX32 XResolution;
  TW_FIX32 YResolution;
  TW_UINT32 FlashUsed2;
  TW_UINT32 AutomaticCapture;
  TW_UINT32 TimeBeforeFirstCapture;
  TW_UINT32 TimeBetweenCaptures;
};

#pragma pack(pop)

constexpr size_t kTwainPointerSize = sizeof(void*);

static_assert(sizeof(TW_STR32) == 34 && sizeof(TW_STR64) == 66 && sizeof(TW_STR128) == 130 &&
              sizeof(TW_STR255) == 256);
static_assert(sizeof(TW_FIX32) == 4);
static_assert(sizeof(TW_FRAME) == 16);
static_assert(sizeof(TW_VERSION) == 42);
static_assert(sizeof(TW_IDENTITY) == 156);
static_assert(sizeof(TW_CAPABILITY) == 4 + kTwainPointerSize);
static_assert(sizeof(TW_ONEVALUE) == 6);
static_assert(offsetof(TW_ARRAY, ItemList) == 6);
static_assert(offsetof(TW_ENUMERATION, ItemList) == 14);
static_assert(sizeof(TW_RANGE) == 22);
static_assert(sizeof(TW_EVENT) == kTwainPointerSize + 2);
static_assert(sizeof(TW_USERINTERFACE) == 4 + kTwainPointerSize);
static_assert(sizeof(TW_STATUS) == 4);
static_assert(sizeof(TW_PENDINGXFERS) == 6);
static_assert(sizeof(TW_SETUPMEMXFER) == 12);
static_assert(sizeof(TW_SETUPFILEXFER) == 260);
static_assert(sizeof(TW_SETUPFILEXFER2) == kTwainPointerSize + 10);
static_assert(sizeof(TW_IMAGEINFO) == 42);
static_assert(sizeof(TW_IMAGELAYOUT) == 28);
static_assert(sizeof(TW_MEMORY) == 8 + kTwainPointerSize);
static_assert(sizeof(TW_IMAGEMEMXFER) == 34 + kTwainPointerSize);
static_assert(sizeof(TW_ELEMENT8) == 4);
static_assert(sizeof(TW_PALETTE8) == 1028);
static_assert(sizeof(TW_DEVICEEVENT) == 294);

// The entries of the Source Manager and of a data source.
using DSMENTRYPROC = TW_UINT16 (*)(TW_IDENTITY* pOrigin, TW_IDENTITY* pDest, TW_UINT32 DG,
                                   TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData);
using DSENTRYPROC = TW_UINT16 (*)(TW_IDENTITY* pOrigin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                                  TW_MEMREF pData);

// ---- TWAIN 2: the entry points and callbacks a 2.x Source Manager exchanges ----

// The memory functions a 2.x manager hands out; every block that crosses between an
// application and a source is made, locked and freed through them.
using DSM_MEMALLOCATE = TW_HANDLE (*)(TW_UINT32 Size);
using DSM_MEMFREE = void (*)(TW_HANDLE Handle);
using DSM_MEMLOCK = TW_MEMREF (*)(TW_HANDLE Handle);
using DSM_MEMUNLOCK = void (*)(TW_HANDLE Handle);
// What the manager calls for a source's notification (the source is the origin).
using TWAINCALLBACKPROC = DSMENTRYPROC;

#pragma pack(push, 2)

struct TW_ENTRYPOINT {
  TW_UINT32 Size;  // sizeof(TW_ENTRYPOINT)
  DSMENTRYPROC DSM_Entry;
  DSM_MEMALLOCATE DSM_MemAllocate;
  DSM_MEMFREE DSM_MemFree;
  DSM_MEMLOCK DSM_MemLock;
  DSM_MEMUNLOCK DSM_MemUnlock;
};

struct TW_CALLBACK {
  TW_MEMREF CallBackProc;  // a TWAINCALLBACKPROC
  TW_UINT32 RefCon;
  TW_INT16 Message;
};

struct TW_CALLBACK2 {
  TW_MEMREF CallBackProc;  // a TWAINCALLBACKPROC
  uintptr_t RefCon;
  TW_INT16 Message;
};

#pragma pack(pop)

static_assert(sizeof(TW_ENTRYPOINT) == 4 + 5 * kTwainPointerSize);
static_assert(offsetof(TW_ENTRYPOINT, DSM_Entry) == 4);
static_assert(offsetof(TW_ENTRYPOINT, DSM_MemAllocate) == 4 + kTwainPointerSize);
static_assert(offsetof(TW_ENTRYPOINT, DSM_MemFree) == 4 + 2 * kTwainPointerSize);
static_assert(offsetof(TW_ENTRYPOINT, DSM_MemLock) == 4 + 3 * kTwainPointerSize);
static_assert(offsetof(TW_ENTRYPOINT, DSM_MemUnlock) == 4 + 4 * kTwainPointerSize);
static_assert(sizeof(TW_CALLBACK) == kTwainPointerSize + 6);
static_assert(offsetof(TW_CALLBACK, RefCon) == kTwainPointerSize);
static_assert(offsetof(TW_CALLBACK, Message) == kTwainPointerSize + 4);
static_assert(sizeof(TW_CALLBACK2) == 2 * kTwainPointerSize + 2);
static_assert(offsetof(TW_CALLBACK2, Message) == 2 * kTwainPointerSize);

// SupportedGroups flags of a 2.x peer: the manager, an application, a data source.
inline constexpr TW_UINT32 DF_DSM2 = 0x10000000;
inline constexpr TW_UINT32 DF_APP2 = 0x20000000;
inline constexpr TW_UINT32 DF_DS2 = 0x40000000;
// ProtocolMajor of a 2.x peer.
inline constexpr TW_UINT16 TWON_PROTOCOLMAJOR2 = 2;

// ---- Data groups ----

inline constexpr TW_UINT32 DG_CONTROL = 0x0001;
inline constexpr TW_UINT32 DG_IMAGE = 0x0002;

// ---- Data argument types ----

inline constexpr TW_UINT16 DAT_NULL = 0x0000;
inline constexpr TW_UINT16 DAT_CAPABILITY = 0x0001;
inline constexpr TW_UINT16 DAT_EVENT = 0x0002;
inline constexpr TW_UINT16 DAT_IDENTITY = 0x0003;
inline constexpr TW_UINT16 DAT_PARENT = 0x0004;
inline constexpr TW_UINT16 DAT_PENDINGXFERS = 0x0005;
inline constexpr TW_UINT16 DAT_SETUPMEMXFER = 0x0006;
inline constexpr TW_UINT16 DAT_SETUPFILEXFER = 0x0007;
inline constexpr TW_UINT16 DAT_STATUS = 0x0008;
inline constexpr TW_UINT16 DAT_CALLBACK = 0x0010;
inline constexpr TW_UINT16 DAT_CALLBACK2 = 0x0012;
inline constexpr TW_UINT16 DAT_ENTRYPOINT = 0x0403;
inline constexpr TW_UINT16 DAT_USERINTERFACE = 0x0009;
inline constexpr TW_UINT16 DAT_XFERGROUP = 0x000A;
inline constexpr TW_UINT16 DAT_DEVICEEVENT = 0x000D;
inline constexpr TW_UINT16 DAT_SETUPFILEXFER2 = 0x0301;
inline constexpr TW_UINT16 DAT_IMAGEINFO = 0x0101;
inline constexpr TW_UINT16 DAT_IMAGELAYOUT = 0x0102;
inline constexpr TW_UINT16 DAT_IMAGEMEMXFER = 0x0103;
inline constexpr TW_UINT16 DAT_IMAGENATIVEXFER = 0x0104;
inline constexpr TW_UINT16 DAT_IMAGEFILEXFER = 0x0105;
inline constexpr TW_UINT16 DAT_CIECOLOR = 0x0106;
inline constexpr TW_UINT16 DAT_GRAYRESPONSE = 0x0107;
inline constexpr TW_UINT16 DAT_RGBRESPONSE = 0x0108;
inline constexpr TW_UINT16 DAT_JPEGCOMPRESSION = 0x0109;
inline constexpr TW_UINT16 DAT_PALETTE8 = 0x010A;

// ---- Messages ----

inline constexpr TW_UINT16 MSG_NULL = 0x0000;
inline constexpr TW_UINT16 MSG_GET = 0x0001;
inline constexpr TW_UINT16 MSG_GETCURRENT = 0x0002;
inline constexpr TW_UINT16 MSG_GETDEFAULT = 0x0003;
inline constexpr TW_UINT16 MSG_GETFIRST = 0x0004;
inline constexpr TW_UINT16 MSG_GETNEXT = 0x0005;
inline constexpr TW_UINT16 MSG_SET = 0x0006;
inline constexpr TW_UINT16 MSG_RESET = 0x0007;
inline constexpr TW_UINT16 MSG_QUERYSUPPORT = 0x0008;
inline constexpr TW_UINT16 MSG_XFERREADY = 0x0101;
inline constexpr TW_UINT16 MSG_CLOSEDSREQ = 0x0102;
inline constexpr TW_UINT16 MSG_CLOSEDSOK = 0x0103;
inline constexpr TW_UINT16 MSG_DEVICEEVENT = 0x0104;
inline constexpr TW_UINT16 MSG_OPENDSM = 0x0301;
inline constexpr TW_UINT16 MSG_CLOSEDSM = 0x0302;
inline constexpr TW_UINT16 MSG_OPENDS = 0x0401;
inline constexpr TW_UINT16 MSG_CLOSEDS = 0x0402;
inline constexpr TW_UINT16 MSG_USERSELECT = 0x0403;
inline constexpr TW_UINT16 MSG_DISABLEDS = 0x0501;
inline constexpr TW_UINT16 MSG_ENABLEDS = 0x0502;
inline constexpr TW_UINT16 MSG_ENABLEDSUIONLY = 0x0503;
inline constexpr TW_UINT16 MSG_PROCESSEVENT = 0x0601;
inline constexpr TW_UINT16 MSG_ENDXFER = 0x0701;
inline constexpr TW_UINT16 MSG_REGISTER_CALLBACK = 0x0902;

// ---- Return codes ----

inline constexpr TW_UINT16 TWRC_SUCCESS = 0;
inline constexpr TW_UINT16 TWRC_FAILURE = 1;
inline constexpr TW_UINT16 TWRC_CHECKSTATUS = 2;
inline constexpr TW_UINT16 TWRC_CANCEL = 3;
inline constexpr TW_UINT16 TWRC_DSEVENT = 4;
inline constexpr TW_UINT16 TWRC_NOTDSEVENT = 5;
inline constexpr TW_UINT16 TWRC_XFERDONE = 6;
inline constexpr TW_UINT16 TWRC_ENDOFLIST = 7;
inline constexpr TW_UINT16 TWRC_INFONOTSUPPORTED = 8;
inline constexpr TW_UINT16 TWRC_DATANOTAVAILABLE = 9;

// ---- Condition codes ----

inline constexpr TW_UINT16 TWCC_SUCCESS = 0;
inline constexpr TW_UINT16 TWCC_BUMMER = 1;
inline constexpr TW_UINT16 TWCC_LOWMEMORY = 2;
inline constexpr TW_UINT16 TWCC_NODS = 3;
inline constexpr TW_UINT16 TWCC_MAXCONNECTIONS = 4;
inline constexpr TW_UINT16 TWCC_OPERATIONERROR = 5;
inline constexpr TW_UINT16 TWCC_BADCAP = 6;
inline constexpr TW_UINT16 TWCC_BADPROTOCOL = 9;
inline constexpr TW_UINT16 TWCC_BADVALUE = 10;
inline constexpr TW_UINT16 TWCC_SEQERROR = 11;
inline constexpr TW_UINT16 TWCC_BADDEST = 12;
inline constexpr TW_UINT16 TWCC_CAPUNSUPPORTED = 13;
inline constexpr TW_UINT16 TWCC_CAPBADOPERATION = 14;
inline constexpr TW_UINT16 TWCC_CAPSEQERROR = 15;

// ---- Container kinds ----

inline constexpr TW_UINT16 TWON_ARRAY = 3;
inline constexpr TW_UINT16 TWON_ENUMERATION = 4;
inline constexpr TW_UINT16 TWON_ONEVALUE = 5;
inline constexpr TW_UINT16 TWON_RANGE = 6;
inline constexpr TW_UINT16 TWON_DONTCARE16 = 0xFFFF;
inline constexpr TW_UINT32 TWON_DONTCARE32 = 0xFFFFFFFF;

// ---- Item types ----

inline constexpr TW_UINT16 TWTY_INT8 = 0;
inline constexpr TW_UINT16 TWTY_INT16 = 1;
inline constexpr TW_UINT16 TWTY_INT32 = 2;
inline constexpr TW_UINT16 TWTY_UINT8 = 3;
inline constexpr TW_UINT16 TWTY_UINT16 = 4;
inline constexpr TW_UINT16 TWTY_UINT32 = 5;
inline constexpr TW_UINT16 TWTY_BOOL = 6;
inline constexpr TW_UINT16 TWTY_FIX32 = 7;
inline constexpr TW_UINT16 TWTY_FRAME = 8;
inline constexpr TW_UINT16 TWTY_STR32 = 9;
inline constexpr TW_UINT16 TWTY_STR64 = 10;
inline constexpr TW_UINT16 TWTY_STR128 = 11;
inline constexpr TW_UINT16 TWTY_STR255 = 12;
inline constexpr TW_UINT16 TWTY_STR1024 = 13;
inline constexpr TW_UINT16 TWTY_UNI512 = 14;

// ---- Operations a capability supports (MSG_QUERYSUPPORT) ----

inline constexpr TW_INT32 TWQC_GET = 0x0001;
inline constexpr TW_INT32 TWQC_SET = 0x0002;
inline constexpr TW_INT32 TWQC_GETDEFAULT = 0x0004;
inline constexpr TW_INT32 TWQC_GETCURRENT = 0x0008;
inline constexpr TW_INT32 TWQC_RESET = 0x0010;

// ---- Capabilities ----

// Capabilities a data source defines for itself have ids from this base on.
inline constexpr TW_UINT16 CAP_CUSTOMBASE = 0x8000;
inline constexpr TW_UINT16 CAP_XFERCOUNT = 0x0001;
inline constexpr TW_UINT16 ICAP_COMPRESSION = 0x0100;
inline constexpr TW_UINT16 ICAP_PIXELTYPE = 0x0101;
inline constexpr TW_UINT16 ICAP_UNITS = 0x0102;
inline constexpr TW_UINT16 ICAP_XFERMECH = 0x0103;
inline constexpr TW_UINT16 CAP_AUTHOR = 0x1000;
inline constexpr TW_UINT16 CAP_CAPTION = 0x1001;
inline constexpr TW_UINT16 CAP_FEEDERENABLED = 0x1002;
inline constexpr TW_UINT16 CAP_FEEDERLOADED = 0x1003;
inline constexpr TW_UINT16 CAP_TIMEDATE = 0x1004;
inline constexpr TW_UINT16 CAP_SUPPORTEDCAPS = 0x1005;
inline constexpr TW_UINT16 CAP_EXTENDEDCAPS = 0x1006;
inline constexpr TW_UINT16 CAP_AUTOFEED = 0x1007;
inline constexpr TW_UINT16 CAP_CLEARPAGE = 0x1008;
inline constexpr TW_UINT16 CAP_FEEDPAGE = 0x1009;
inline constexpr TW_UINT16 CAP_REWINDPAGE = 0x100A;
inline constexpr TW_UINT16 CAP_INDICATORS = 0x100B;
inline constexpr TW_UINT16 CAP_SUPPORTEDCAPSEXT = 0x100C;
inline constexpr TW_UINT16 CAP_PAPERDETECTABLE = 0x100D;
inline constexpr TW_UINT16 CAP_UICONTROLLABLE = 0x100E;
inline constexpr TW_UINT16 CAP_DEVICEONLINE = 0x100F;
inline constexpr TW_UINT16 CAP_AUTOSCAN = 0x1010;
inline constexpr TW_UINT16 CAP_THUMBNAILSENABLED = 0x1011;
inline constexpr TW_UINT16 CAP_DUPLEX = 0x1012;
inline constexpr TW_UINT16 CAP_DUPLEXENABLED = 0x1013;
inline constexpr TW_UINT16 CAP_ENABLEDSUIONLY = 0x1014;
inline constexpr TW_UINT16 CAP_CUSTOMDSDATA = 0x1015;
inline constexpr TW_UINT16 CAP_ENDORSER = 0x1016;
inline constexpr TW_UINT16 CAP_JOBCONTROL = 0x1017;
inline constexpr TW_UINT16 CAP_ALARMS = 0x1018;
inline constexpr TW_UINT16 CAP_ALARMVOLUME = 0x1019;
inline constexpr TW_UINT16 CAP_AUTOMATICCAPTURE = 0x101A;
inline constexpr TW_UINT16 CAP_TIMEBEFOREFIRSTCAPTURE = 0x101B;
inline constexpr TW_UINT16 CAP_TIMEBETWEENCAPTURES = 0x101C;
inline constexpr TW_UINT16 CAP_CLEARBUFFERS = 0x101D;
inline constexpr TW_UINT16 CAP_MAXBATCHBUFFERS = 0x101E;
inline constexpr TW_UINT16 CAP_DEVICETIMEDATE = 0x101F;
inline constexpr TW_UINT16 CAP_POWERSUPPLY = 0x1020;
inline constexpr TW_UINT16 CAP_CAMERAPREVIEWUI = 0x1021;
inline constexpr TW_UINT16 CAP_DEVICEEVENT = 0x1022;
inline constexpr TW_UINT16 CAP_SERIALNUMBER = 0x1024;
inline constexpr TW_UINT16 CAP_PRINTER = 0x1026;
inline constexpr TW_UINT16 CAP_PRINTERENABLED = 0x1027;
inline constexpr TW_UINT16 CAP_PRINTERINDEX = 0x1028;
inline constexpr TW_UINT16 CAP_PRINTERMODE = 0x1029;
inline constexpr TW_UINT16 CAP_PRINTERSTRING = 0x102A;
inline constexpr TW_UINT16 CAP_PRINTERSUFFIX = 0x102B;
inline constexpr TW_UINT16 CAP_LANGUAGE = 0x102C;
inline constexpr TW_UINT16 CAP_FEEDERALIGNMENT = 0x102D;
inline constexpr TW_UINT16 CAP_FEEDERORDER = 0x102E;
inline constexpr TW_UINT16 CAP_REACQUIREALLOWED = 0x1030;
inline constexpr TW_UINT16 CAP_BATTERYMINUTES = 0x1032;
inline constexpr TW_UINT16 CAP_BATTERYPERCENTAGE = 0x1033;
inline constexpr TW_UINT16 ICAP_AUTOBRIGHT = 0x1100;
inline constexpr TW_UINT16 ICAP_BRIGHTNESS = 0x1101;
inline constexpr TW_UINT16 ICAP_CONTRAST = 0x1103;
inline constexpr TW_UINT16 ICAP_CUSTHALFTONE = 0x1104;
inline constexpr TW_UINT16 ICAP_EXPOSURETIME = 0x1105;
inline constexpr TW_UINT16 ICAP_FILTER = 0x1106;
inline constexpr TW_UINT16 ICAP_FLASHUSED = 0x1107;
inline constexpr TW_UINT16 ICAP_GAMMA = 0x1108;
inline constexpr TW_UINT16 ICAP_HALFTONES = 0x1109;
inline constexpr TW_UINT16 ICAP_HIGHLIGHT = 0x110A;
inline constexpr TW_UINT16 ICAP_IMAGEFILEFORMAT = 0x110C;
inline constexpr TW_UINT16 ICAP_LAMPSTATE = 0x110D;
inline constexpr TW_UINT16 ICAP_LIGHTSOURCE = 0x110E;
inline constexpr TW_UINT16 ICAP_ORIENTATION = 0x1110;
inline constexpr TW_UINT16 ICAP_PHYSICALWIDTH = 0x1111;
inline constexpr TW_UINT16 ICAP_PHYSICALHEIGHT = 0x1112;
inline constexpr TW_UINT16 ICAP_SHADOW = 0x1113;
inline constexpr TW_UINT16 ICAP_FRAMES = 0x1114;
inline constexpr TW_UINT16 ICAP_XNATIVERESOLUTION = 0x1116;
inline constexpr TW_UINT16 ICAP_YNATIVERESOLUTION = 0x1117;
inline constexpr TW_UINT16 ICAP_XRESOLUTION = 0x1118;
inline constexpr TW_UINT16 ICAP_YRESOLUTION = 0x1119;
inline constexpr TW_UINT16 ICAP_MAXFRAMES = 0x111A;
inline constexpr TW_UINT16 ICAP_TILES = 0x111B;
inline constexpr TW_UINT16 ICAP_BITORDER = 0x111C;
inline constexpr TW_UINT16 ICAP_CCITTKFACTOR = 0x111D;
inline constexpr TW_UINT16 ICAP_LIGHTPATH = 0x111E;
inline constexpr TW_UINT16 ICAP_PIXELFLAVOR = 0x111F;
inline constexpr TW_UINT16 ICAP_PLANARCHUNKY = 0x1120;
inline constexpr TW_UINT16 ICAP_ROTATION = 0x1121;
inline constexpr TW_UINT16 ICAP_SUPPORTEDSIZES = 0x1122;
inline constexpr TW_UINT16 ICAP_THRESHOLD = 0x1123;
inline constexpr TW_UINT16 ICAP_XSCALING = 0x1124;
inline constexpr TW_UINT16 ICAP_YSCALING = 0x1125;
inline constexpr TW_UINT16 ICAP_BITORDERCODES = 0x1126;
inline constexpr TW_UINT16 ICAP_PIXELFLAVORCODES = 0x1127;
inline constexpr TW_UINT16 ICAP_JPEGPIXELTYPE = 0x1128;
inline constexpr TW_UINT16 ICAP_TIMEFILL = 0x112A;
inline constexpr TW_UINT16 ICAP_BITDEPTH = 0x112B;
inline constexpr TW_UINT16 ICAP_BITDEPTHREDUCTION = 0x112C;
inline constexpr TW_UINT16 ICAP_UNDEFINEDIMAGESIZE = 0x112D;
inline constexpr TW_UINT16 ICAP_IMAGEDATASET = 0x112E;
inline constexpr TW_UINT16 ICAP_EXTIMAGEINFO = 0x112F;
inline constexpr TW_UINT16 ICAP_MINIMUMHEIGHT = 0x1130;
inline constexpr TW_UINT16 ICAP_MINIMUMWIDTH = 0x1131;
inline constexpr TW_UINT16 ICAP_FLIPROTATION = 0x1136;
inline constexpr TW_UINT16 ICAP_BARCODEDETECTIONENABLED = 0x1137;
inline constexpr TW_UINT16 ICAP_SUPPORTEDBARCODETYPES = 0x1138;
inline constexpr TW_UINT16 ICAP_BARCODEMAXSEARCHPRIORITIES = 0x1139;
inline constexpr TW_UINT16 ICAP_BARCODESEARCHPRIORITIES = 0x113A;
inline constexpr TW_UINT16 ICAP_BARCODESEARCHMODE = 0x113B;
inline constexpr TW_UINT16 ICAP_BARCODEMAXRETRIES = 0x113C;
inline constexpr TW_UINT16 ICAP_BARCODETIMEOUT = 0x113D;
inline constexpr TW_UINT16 ICAP_ZOOMFACTOR = 0x113E;
inline constexpr TW_UINT16 ICAP_PATCHCODEDETECTIONENABLED = 0x113F;
inline constexpr TW_UINT16 ICAP_SUPPORTEDPATCHCODETYPES = 0x1140;
inline constexpr TW_UINT16 ICAP_PATCHCODEMAXSEARCHPRIORITIES = 0x1141;
inline constexpr TW_UINT16 ICAP_PATCHCODESEARCHPRIORITIES = 0x1142;
inline constexpr TW_UINT16 ICAP_PATCHCODESEARCHMODE = 0x1143;
inline constexpr TW_UINT16 ICAP_PATCHCODEMAXRETRIES = 0x1144;
inline constexpr TW_UINT16 ICAP_PATCHCODETIMEOUT = 0x1145;
inline constexpr TW_UINT16 ICAP_FLASHUSED2 = 0x1146;
inline constexpr TW_UINT16 ICAP_IMAGEFILTER = 0x1147;
inline constexpr TW_UINT16 ICAP_NOISEFILTER = 0x1148;
inline constexpr TW_UINT16 ICAP_OVERSCAN = 0x1149;
inline constexpr TW_UINT16 ICAP_AUTOMATICBORDERDETECTION = 0x1150;
inline constexpr TW_UINT16 ICAP_AUTOMATICDESKEW = 0x1151;
inline constexpr TW_UINT16 ICAP_AUTOMATICROTATE = 0x1152;
inline constexpr TW_UINT16 ICAP_JPEGQUALITY = 0x1153;
inline constexpr TW_UINT16 ACAP_AUDIOFILEFORMAT = 0x1201;
inline constexpr TW_UINT16 ACAP_XFERMECH = 0x1202;

// ---- Capability values ----

// ICAP_XFERMECH
inline constexpr TW_UINT16 TWSX_NATIVE = 0;
inline constexpr TW_UINT16 TWSX_FILE = 1;
inline constexpr TW_UINT16 TWSX_MEMORY = 2;
inline constexpr TW_UINT16 TWSX_FILE2 = 3;

// ICAP_PIXELTYPE
inline constexpr TW_UINT16 TWPT_BW = 0;
inline constexpr TW_UINT16 TWPT_GRAY = 1;
inline constexpr TW_UINT16 TWPT_RGB = 2;
inline constexpr TW_UINT16 TWPT_PALETTE = 3;
inline constexpr TW_UINT16 TWPT_CMY = 4;
inline constexpr TW_UINT16 TWPT_CMYK = 5;
inline constexpr TW_UINT16 TWPT_YUV = 6;
inline constexpr TW_UINT16 TWPT_YUVK = 7;
inline constexpr TW_UINT16 TWPT_CIEXYZ = 8;

// ICAP_UNITS
inline constexpr TW_UINT16 TWUN_INCHES = 0;
inline constexpr TW_UINT16 TWUN_CENTIMETERS = 1;
inline constexpr TW_UINT16 TWUN_PICAS = 2;
inline constexpr TW_UINT16 TWUN_POINTS = 3;
inline constexpr TW_UINT16 TWUN_TWIPS = 4;
inline constexpr TW_UINT16 TWUN_PIXELS = 5;

// ICAP_COMPRESSION
inline constexpr TW_UINT16 TWCP_NONE = 0;
inline constexpr TW_UINT16 TWCP_PACKBITS = 1;
inline constexpr TW_UINT16 TWCP_GROUP31D = 2;
inline constexpr TW_UINT16 TWCP_GROUP31DEOL = 3;
inline constexpr TW_UINT16 TWCP_GROUP32D = 4;
inline constexpr TW_UINT16 TWCP_GROUP4 = 5;
inline constexpr TW_UINT16 TWCP_JPEG = 6;
inline constexpr TW_UINT16 TWCP_LZW = 7;
inline constexpr TW_UINT16 TWCP_JBIG = 8;
inline constexpr TW_UINT16 TWCP_PNG = 9;
inline constexpr TW_UINT16 TWCP_RLE4 = 10;
inline constexpr TW_UINT16 TWCP_RLE8 = 11;
inline constexpr TW_UINT16 TWCP_BITFIELDS = 12;

// ICAP_BITORDER
inline constexpr TW_UINT16 TWBO_LSBFIRST = 0;
inline constexpr TW_UINT16 TWBO_MSBFIRST = 1;

// ICAP_BITDEPTHREDUCTION
inline constexpr TW_UINT16 TWBR_THRESHOLD = 0;
inline constexpr TW_UINT16 TWBR_HALFTONE = 1;
inline constexpr TW_UINT16 TWBR_CUSTHALFTONE = 2;
inline constexpr TW_UINT16 TWBR_DIFFUSION = 3;

// ICAP_PIXELFLAVOR
inline constexpr TW_UINT16 TWPF_CHOCOLATE = 0;
inline constexpr TW_UINT16 TWPF_VANILLA = 1;

// ICAP_PLANARCHUNKY
inline constexpr TW_UINT16 TWPC_CHUNKY = 0;
inline constexpr TW_UINT16 TWPC_PLANAR = 1;

// CAP_DUPLEX
inline constexpr TW_UINT16 TWDX_NONE = 0;
inline constexpr TW_UINT16 TWDX_1PASSDUPLEX = 1;
inline constexpr TW_UINT16 TWDX_2PASSDUPLEX = 2;

// TW_PALETTE8.PaletteType
inline constexpr TW_UINT16 TWPA_RGB = 0;
inline constexpr TW_UINT16 TWPA_GRAY = 1;
inline constexpr TW_UINT16 TWPA_CMY = 2;

// TW_MEMORY.Flags
inline constexpr TW_UINT32 TWMF_APPOWNS = 0x0001;
inline constexpr TW_UINT32 TWMF_DSMOWNS = 0x0002;
inline constexpr TW_UINT32 TWMF_DSOWNS = 0x0004;
inline constexpr TW_UINT32 TWMF_POINTER = 0x0008;
inline constexpr TW_UINT32 TWMF_HANDLE = 0x0010;

// ---- The toolkit's TWAIN type declarations ----

// A set of the members 0 .. bits - 1 of an enumeration, held in one integer of that width.
template <typename E, typename TBits>
class TEnumSet {
 public:
  constexpr TEnumSet() = default;
  constexpr TEnumSet(std::initializer_list<E> members) {
    for (E member : members) Include(member);
  }
  static constexpr TEnumSet FromBits(TBits bits) {
    TEnumSet set;
    set.FBits = bits;
    return set;
  }

  constexpr TBits Bits() const { return FBits; }
  constexpr bool Empty() const { return FBits == 0; }
  constexpr bool Contains(E member) const { return (FBits & Bit(member)) != 0; }
  constexpr void Include(E member) { FBits = static_cast<TBits>(FBits | Bit(member)); }
  constexpr void Exclude(E member) { FBits = static_cast<TBits>(FBits & ~Bit(member)); }
  friend constexpr bool operator==(TEnumSet a, TEnumSet b) { return a.FBits == b.FBits; }

 private:
  // Values beyond the set's width are members of no set.
  static constexpr TBits Bit(E member) {
    auto ordinal = static_cast<unsigned>(member);
    return ordinal < 8 * sizeof(TBits) ? static_cast<TBits>(TBits{1} << ordinal) : TBits{0};
  }

  TBits FBits = 0;
};

// File formats of file transfers. A value outside the members stands for an unknown format
// (232, TTwnFileFmtUnknown).
enum TTwnFileFmt : uint8_t {
  TWFF_TIFF = 0,
  TWFF_PICT = 1,
  TWFF_BMP = 2,
  TWFF_XBM = 3,
  TWFF_JFIF = 4,
  TWFF_FPX = 5,
  TWFF_TIFFMULTI = 6,
  TWFF_PNG = 7,
};
inline constexpr uint8_t TTwnFileFmtUnknown = 232;
using TTwnFileFmts = TEnumSet<TTwnFileFmt, uint8_t>;
static_assert(sizeof(TTwnFileFmts) == 1);

// Transfer mechanisms; the ordinal is TWAIN's ICAP_XFERMECH value.
enum TTwnXferType : uint8_t {
  TWFX_NATIVE = 0,
  TWFX_FILES = 1,
  TWFX_MEMORY = 2,
  TWFX_FILES2 = 3,
};

// How a transferred image reaches the application.
enum TTwnHdlType : uint8_t {
  THDT_DIBHANDLE = 0,
  THDT_DIBSEC = 1,
  THDT_DIBRAW = 2,
  THDT_MEMPTR = 3,
};

enum TTwnErrorLevel : uint8_t {
  ML_NONE = 0,
  ML_ERROR = 1,
  ML_INFO = 2,
  ML_FULL = 3,
};

// Device events; the ordinal is TWAIN's TWDE_ code.
enum TTwnDeviceEvent : uint8_t {
  TWDE_CHECKAUTOMATICCAPTURE = 0,
  TWDE_CHECKBATTERY = 1,
  TWDE_CHECKDEVICEONLINE = 2,
  TWDE_CHECKFLASH = 3,
  TWDE_CHECKPOWERSUPPLY = 4,
  TWDE_CHECKRESOLUTION = 5,
  TWDE_DEVICEADDED = 6,
  TWDE_DEVICEOFFLINE = 7,
  TWDE_DEVICEREADY = 8,
  TWDE_DEVICEREMOVED = 9,
  TWDE_IMAGECAPTURED = 10,
  TWDE_IMAGEDELETED = 11,
  TWDE_PAPERDOUBLEFEED = 12,
  TWDE_PAPERJAM = 13,
  TWDE_LAMPFAILURE = 14,
  TWDE_POWERSAVE = 15,
  TWDE_POWERSAVENOTIFY = 16,
};
using TTwnDeviceEvents = TEnumSet<TTwnDeviceEvent, uint32_t>;
static_assert(sizeof(TTwnDeviceEvents) == 4);

// Languages of TW_VERSION; the TWAIN language code of a member is its ordinal - 1
// (USERLOCALE -1, DANISH 0, ENGLISH_INTL 2, US_ENGLISH 13).
enum class TvekLanguage : uint8_t {
  USERLOCALE,
  DANISH,
  DUTCH,
  ENGLISH_INTL,
  FRENCH_CANADIAN,
  FINNISH,
  FRENCH,
  GERMAN,
  ICELANDIC,
  ITALIAN,
  NORWEGIAN,
  PORTUGUESE,
  SPANISH,
  SWEDISH,
  US_ENGLISH,
  AFRIKAANS,
  ALBANIA,
  ARABIC,
  ARABIC_ALGERIA,
  ARABIC_BAHRAIN,
  ARABIC_EGYPT,
  ARABIC_IRAQ,
  ARABIC_JORDAN,
  ARABIC_KUWAIT,
  ARABIC_LEBANON,
  ARABIC_LIBYA,
  ARABIC_MOROCCO,
  ARABIC_OMAN,
  ARABIC_QATAR,
  ARABIC_SAUDIARABIA,
  ARABIC_SYRIA,
  ARABIC_TUNISIA,
  ARABIC_UAE,
  ARABIC_YEMEN,
  BASQUE,
  BYELORUSSIAN,
  BULGARIAN,
  CATALAN,
  CHINESE,
  CHINESE_HONGKONG,
  CHINESE_PRC,
  CHINESE_SINGAPORE,
  CHINESE_SIMPLIFIED,
  CHINESE_TAIWAN,
  CHINESE_TRADITIONAL,
  CROATIA,
  CZECH,
  DUTCH_BELGIAN,
  ENGLISH_AUSTRALIAN,
  ENGLISH_CANADIAN,
  ENGLISH_IRELAND,
  ENGLISH_NEWZEALAND,
  ENGLISH_SOUTHAFRICA,
  ENGLISH_UK,
  ESTONIAN,
  FAEROESE,
  FARSI,
  FRENCH_BELGIAN,
  FRENCH_LUXEMBOURG,
  FRENCH_SWISS,
  GERMAN_AUSTRIAN,
  GERMAN_LUXEMBOURG,
  GERMAN_LIECHTENSTEIN,
  GERMAN_SWISS,
  GREEK,
  HEBREW,
  HUNGARIAN,
  INDONESIAN,
  ITALIAN_SWISS,
  JAPANESE,
  KOREAN,
  KOREAN_JOHAB,
  LATVIAN,
  LITHUANIAN,
  NORWEGIAN_BOKMAL,
  NORWEGIAN_NYNORSK,
  POLISH,
  PORTUGUESE_BRAZIL,
  ROMANIAN,
  RUSSIAN,
  SERBIAN_LATIN,
  SLOVAK,
  SLOVENIAN,
  SPANISH_MEXICAN,
  SPANISH_MODERN,
  THAI,
  TURKISH,
  UKRANIAN,
  ASSAMESE,
  BENGALI,
  BIHARI,
  BODO,
  DOGRI,
  GUJARATI,
  HARYANVI,
  HINDI,
  KANNADA,
  KASHMIRI,
  MALAYALAM,
  MARATHI,
  MARWARI,
  MEGHALAYAN,
  MIZO,
  NAGA,
  ORISSI,
  PUNJABI,
  PUSHTU,
  SERBIAN_CYRILLIC,
  SIKKIMI,
  SWEDISH_FINLAND,
  TAMIL,
  TELUGU,
  TRIPURI,
  URDU,
  VIETNAMESE,
};
inline constexpr int kTvekLanguageCount = static_cast<int>(TvekLanguage::VIETNAMESE) + 1;
static_assert(kTvekLanguageCount == 115);

// Countries of TW_VERSION, in the order of TWAIN's list; TvekCountryCodes gives each member
// its TWAIN country code.
enum class TvekCountry : uint8_t {
  AFGHANISTAN,
  ALGERIA,
  AMERICANSAMOA,
  ANDORRA,
  ANGOLA,
  ANGUILLA,
  ANTIGUA,
  ARGENTINA,
  ARUBA,
  ASCENSIONI,
  AUSTRALIA,
  AUSTRIA,
  BAHAMAS,
  BAHRAIN,
  BANGLADESH,
  BARBADOS,
  BELGIUM,
  BELIZE,
  BENIN,
  BERMUDA,
  BHUTAN,
  BOLIVIA,
  BOTSWANA,
  BRITAIN,
  BRITVIRGINIS,
  BRAZIL,
  BRUNEI,
  BULGARIA,
  BURKINAFASO,
  BURMA,
  BURUNDI,
  CAMAROON,
  CANADA,
  CAPEVERDEIS,
  CAYMANIS,
  CENTRALAFREP,
  CHAD,
  CHILE,
  CHINA,
  CHRISTMASIS,
  COCOSIS,
  COLOMBIA,
  COMOROS,
  CONGO,
  COOKIS,
  COSTARICA,
  CUBA,
  CYPRUS,
  CZECHOSLOVAKIA,
  DENMARK,
  DJIBOUTI,
  DOMINICA,
  DOMINCANREP,
  EASTERIS,
  ECUADOR,
  EGYPT,
  ELSALVADOR,
  EQGUINEA,
  ETHIOPIA,
  FALKLANDIS,
  FAEROEIS,
  FIJIISLANDS,
  FINLAND,
  FRANCE,
  FRANTILLES,
  FRGUIANA,
  FRPOLYNEISA,
  FUTANAIS,
  GABON,
  GAMBIA,
  GERMANY,
  GHANA,
  GIBRALTER,
  GREECE,
  GREENLAND,
  GRENADA,
  GRENEDINES,
  GUADELOUPE,
  GUAM,
  GUANTANAMOBAY,
  GUATEMALA,
  GUINEA,
  GUINEABISSAU,
  GUYANA,
  HAITI,
  HONDURAS,
  HONGKONG,
  HUNGARY,
  ICELAND,
  INDIA,
  INDONESIA,
  IRAN,
  IRAQ,
  IRELAND,
  ISRAEL,
  ITALY,
  IVORYCOAST,
  JAMAICA,
  JAPAN,
  JORDAN,
  KENYA,
  KIRIBATI,
  KOREA,
  KUWAIT,
  LAOS,
  LEBANON,
  LIBERIA,
  LIBYA,
  LIECHTENSTEIN,
  LUXENBOURG,
  MACAO,
  MADAGASCAR,
  MALAWI,
  MALAYSIA,
  MALDIVES,
  MALI,
  MALTA,
  MARSHALLIS,
  MAURITANIA,
  MAURITIUS,
  MEXICO,
  MICRONESIA,
  MIQUELON,
  MONACO,
  MONGOLIA,
  MONTSERRAT,
  MOROCCO,
  MOZAMBIQUE,
  NAMIBIA,
  NAURU,
  NEPAL,
  NETHERLANDS,
  NETHANTILLES,
  NEVIS,
  NEWCALEDONIA,
  NEWZEALAND,
  NICARAGUA,
  NIGER,
  NIGERIA,
  NIUE,
  NORFOLKI,
  NORWAY,
  OMAN,
  PAKISTAN,
  PALAU,
  PANAMA,
  PARAGUAY,
  PERU,
  PHILLIPPINES,
  PITCAIRNIS,
  PNEWGUINEA,
  POLAND,
  PORTUGAL,
  QATAR,
  REUNIONI,
  ROMANIA,
  RWANDA,
  SAIPAN,
  SANMARINO,
  SAOTOME,
  SAUDIARABIA,
  SENEGAL,
  SEYCHELLESIS,
  SIERRALEONE,
  SINGAPORE,
  SOLOMONIS,
  SOMALI,
  SOUTHAFRICA,
  SPAIN,
  SRILANKA,
  STHELENA,
  STKITTS,
  STLUCIA,
  STPIERRE,
  STVINCENT,
  SUDAN,
  SURINAME,
  SWAZILAND,
  SWEDEN,
  SWITZERLAND,
  SYRIA,
  TAIWAN,
  TANZANIA,
  THAILAND,
  TOBAGO,
  TOGO,
  TONGAIS,
  TRINIDAD,
  TUNISIA,
  TURKEY,
  TURKSCAICOS,
  TUVALU,
  UGANDA,
  USSR,
  UAEMIRATES,
  UNITEDKINGDOM,
  USA,
  URUGUAY,
  VANUATU,
  VATICANCITY,
  VENEZUELA,
  WAKE,
  WALLISIS,
  WESTERNSAHARA,
  WESTERNSAMOA,
  YEMEN,
  YUGOSLAVIA,
  ZAIRE,
  ZAMBIA,
  ZIMBABWE,
  ALBANIA,
  ARMENIA,
  AZERBAIJAN,
  BELARUS,
  BOSNIAHERZGO,
  CAMBODIA,
  CROATIA,
  CZECHREPUBLIC,
  DIEGOGARCIA,
  ERITREA,
  ESTONIA,
  GEORGIA,
  LATVIA,
  LESOTHO,
  LITHUANIA,
  MACEDONIA,
  MAYOTTEIS,
  MOLDOVA,
  MYANMAR,
  NORTHKOREA,
  PUERTORICO,
  RUSSIA,
  SERBIA,
  SLOVAKIA,
  SLOVENIA,
  SOUTHKOREA,
  UKRAINE,
  USVIRGINIS,
  VIETNAM,
};
inline constexpr int kTvekCountryCount = static_cast<int>(TvekCountry::VIETNAM) + 1;
static_assert(kTvekCountryCount == 239);

inline constexpr std::array<uint16_t, kTvekCountryCount> TvekCountryCodes = {
    1001,  // AFGHANISTAN
    213,   // ALGERIA
    684,   // AMERICANSAMOA
    33,    // ANDORRA
    1002,  // ANGOLA
    8090,  // ANGUILLA
    8091,  // ANTIGUA
    54,    // ARGENTINA
    297,   // ARUBA
    247,   // ASCENSIONI
    61,    // AUSTRALIA
    43,    // AUSTRIA
    8092,  // BAHAMAS
    973,   // BAHRAIN
    880,   // BANGLADESH
    8093,  // BARBADOS
    32,    // BELGIUM
    501,   // BELIZE
    229,   // BENIN
    8094,  // BERMUDA
    1003,  // BHUTAN
    591,   // BOLIVIA
    267,   // BOTSWANA
    6,     // BRITAIN
    8095,  // BRITVIRGINIS
    55,    // BRAZIL
    673,   // BRUNEI
    359,   // BULGARIA
    1004,  // BURKINAFASO
    1005,  // BURMA
    1006,  // BURUNDI
    237,   // CAMAROON
    2,     // CANADA
    238,   // CAPEVERDEIS
    8096,  // CAYMANIS
    1007,  // CENTRALAFREP
    1008,  // CHAD
    56,    // CHILE
    86,    // CHINA
    1009,  // CHRISTMASIS
    1009,  // COCOSIS
    57,    // COLOMBIA
    1010,  // COMOROS
    1011,  // CONGO
    1012,  // COOKIS
    506,   // COSTARICA
    5,     // CUBA
    357,   // CYPRUS
    42,    // CZECHOSLOVAKIA
    45,    // DENMARK
    1013,  // DJIBOUTI
    8097,  // DOMINICA
    8098,  // DOMINCANREP
    1014,  // EASTERIS
    593,   // ECUADOR
    20,    // EGYPT
    503,   // ELSALVADOR
    1015,  // EQGUINEA
    251,   // ETHIOPIA
    1016,  // FALKLANDIS
    298,   // FAEROEIS
    679,   // FIJIISLANDS
    358,   // FINLAND
    33,    // FRANCE
    596,   // FRANTILLES
    594,   // FRGUIANA
    689,   // FRPOLYNEISA
    1043,  // FUTANAIS
    241,   // GABON
    220,   // GAMBIA
    49,    // GERMANY
    233,   // GHANA
    350,   // GIBRALTER
    30,    // GREECE
    299,   // GREENLAND
    8099,  // GRENADA
    8015,  // GRENEDINES
    590,   // GUADELOUPE
    671,   // GUAM
    5399,  // GUANTANAMOBAY
    502,   // GUATEMALA
    224,   // GUINEA
    1017,  // GUINEABISSAU
    592,   // GUYANA
    509,   // HAITI
    504,   // HONDURAS
    852,   // HONGKONG
    36,    // HUNGARY
    354,   // ICELAND
    91,    // INDIA
    62,    // INDONESIA
    98,    // IRAN
    964,   // IRAQ
    353,   // IRELAND
    972,   // ISRAEL
    39,    // ITALY
    225,   // IVORYCOAST
    8010,  // JAMAICA
    81,    // JAPAN
    962,   // JORDAN
    254,   // KENYA
    1018,  // KIRIBATI
    82,    // KOREA
    965,   // KUWAIT
    1019,  // LAOS
    1020,  // LEBANON
    231,   // LIBERIA
    218,   // LIBYA
    41,    // LIECHTENSTEIN
    352,   // LUXENBOURG
    853,   // MACAO
    1021,  // MADAGASCAR
    265,   // MALAWI
    60,    // MALAYSIA
    960,   // MALDIVES
    1022,  // MALI
    356,   // MALTA
    692,   // MARSHALLIS
    1023,  // MAURITANIA
    230,   // MAURITIUS
    3,     // MEXICO
    691,   // MICRONESIA
    508,   // MIQUELON
    33,    // MONACO
    1024,  // MONGOLIA
    8011,  // MONTSERRAT
    212,   // MOROCCO
    1025,  // MOZAMBIQUE
    264,   // NAMIBIA
    1026,  // NAURU
    977,   // NEPAL
    31,    // NETHERLANDS
    599,   // NETHANTILLES
    8012,  // NEVIS
    687,   // NEWCALEDONIA
    64,    // NEWZEALAND
    505,   // NICARAGUA
    227,   // NIGER
    234,   // NIGERIA
    1027,  // NIUE
    1028,  // NORFOLKI
    47,    // NORWAY
    968,   // OMAN
    92,    // PAKISTAN
    1029,  // PALAU
    507,   // PANAMA
    595,   // PARAGUAY
    51,    // PERU
    63,    // PHILLIPPINES
    1030,  // PITCAIRNIS
    675,   // PNEWGUINEA
    48,    // POLAND
    351,   // PORTUGAL
    974,   // QATAR
    1031,  // REUNIONI
    40,    // ROMANIA
    250,   // RWANDA
    670,   // SAIPAN
    39,    // SANMARINO
    1033,  // SAOTOME
    966,   // SAUDIARABIA
    221,   // SENEGAL
    1034,  // SEYCHELLESIS
    1035,  // SIERRALEONE
    65,    // SINGAPORE
    1036,  // SOLOMONIS
    1037,  // SOMALI
    27,    // SOUTHAFRICA
    34,    // SPAIN
    94,    // SRILANKA
    1032,  // STHELENA
    8013,  // STKITTS
    8014,  // STLUCIA
    508,   // STPIERRE
    8015,  // STVINCENT
    1038,  // SUDAN
    597,   // SURINAME
    268,   // SWAZILAND
    46,    // SWEDEN
    41,    // SWITZERLAND
    1039,  // SYRIA
    886,   // TAIWAN
    255,   // TANZANIA
    66,    // THAILAND
    8016,  // TOBAGO
    228,   // TOGO
    676,   // TONGAIS
    8016,  // TRINIDAD
    216,   // TUNISIA
    90,    // TURKEY
    8017,  // TURKSCAICOS
    1040,  // TUVALU
    256,   // UGANDA
    7,     // USSR
    971,   // UAEMIRATES
    44,    // UNITEDKINGDOM
    1,     // USA
    598,   // URUGUAY
    1041,  // VANUATU
    39,    // VATICANCITY
    58,    // VENEZUELA
    1042,  // WAKE
    1043,  // WALLISIS
    1044,  // WESTERNSAHARA
    1045,  // WESTERNSAMOA
    1046,  // YEMEN
    38,    // YUGOSLAVIA
    243,   // ZAIRE
    260,   // ZAMBIA
    263,   // ZIMBABWE
    355,   // ALBANIA
    374,   // ARMENIA
    994,   // AZERBAIJAN
    375,   // BELARUS
    387,   // BOSNIAHERZGO
    855,   // CAMBODIA
    385,   // CROATIA
    420,   // CZECHREPUBLIC
    246,   // DIEGOGARCIA
    291,   // ERITREA
    372,   // ESTONIA
    995,   // GEORGIA
    371,   // LATVIA
    266,   // LESOTHO
    370,   // LITHUANIA
    389,   // MACEDONIA
    269,   // MAYOTTEIS
    373,   // MOLDOVA
    95,    // MYANMAR
    850,   // NORTHKOREA
    787,   // PUERTORICO
    7,     // RUSSIA
    381,   // SERBIA
    421,   // SLOVAKIA
    386,   // SLOVENIA
    82,    // SOUTHKOREA
    380,   // UKRAINE
    340,   // USVIRGINIS
    84,    // VIETNAM
};
