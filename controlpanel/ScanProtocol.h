// The scan protocol between the control panel's server and the data source's client: framed
// messages over TCP, little-endian, packed records. Every message starts with its TotalLength,
// an int32 that counts the whole message including itself.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>

#include "UnitSharedParam.h"

// Command codes of a request.
inline constexpr int32_t CMD_START_SCAN = 1;         // payload TScanRequest; no reply
inline constexpr int32_t CMD_GET_PAGE = 2;           // TPageReply
inline constexpr int32_t CMD_STOP_SCAN = 3;          // no reply
inline constexpr int32_t CMD_GET_ORIGINAL = 4;       // TOriginalReply
inline constexpr int32_t CMD_STORE_REQUEST = 5;      // payload TScanRequest; no reply
inline constexpr int32_t CMD_GET_PENDING = 6;        // TPendingReply
inline constexpr int32_t CMD_GET_PAGE_FILE = 8;      // TPageFileReply
inline constexpr int32_t CMD_GET_ORIGINAL_FILE = 9;  // TOriginalFileReply
// Why the connection's last scan request or page request brought no page: a reply laid out as
// TOriginalReplyHeader with DataSize bytes of text (0: no reason known). Asked only after such
// a failure; a panel that does not know the command never answers it.
inline constexpr int32_t CMD_GET_REFUSAL = 10;

#pragma pack(push, 1)
// A request: this header, then the payload.
struct TRequestHeader {
  int32_t TotalLength;      // 520 + payload length
  uint8_t ClientHost[256];  // length-prefixed string, not read by the server
  uint8_t ClientApp[256];   // length-prefixed string, not read by the server
  int32_t Command;
};

// The fixed start of the page replies; DataSize (or PathLength) bytes follow.
struct TPageReplyHeader {
  int32_t TotalLength;  // DataSize + 9
  uint8_t QCFailed;
  int32_t DataSize;  // TPageReply: bytes of BMP file image; TPageFileReply: bytes of path
};

// The fixed start of the original replies.
struct TOriginalReplyHeader {
  int32_t TotalLength;  // DataSize + 8
  int32_t DataSize;
};

struct TPendingReply {
  int32_t TotalLength;   // 8
  int32_t PendingCount;  // -1 pages pending, 0 none
};
#pragma pack(pop)

static_assert(sizeof(TRequestHeader) == 520);
static_assert(offsetof(TRequestHeader, Command) == 516);
static_assert(sizeof(TPageReplyHeader) == 9);
static_assert(sizeof(TOriginalReplyHeader) == 8);
static_assert(sizeof(TPendingReply) == 8);

inline constexpr int32_t kRequestHeaderLength = sizeof(TRequestHeader);
inline constexpr int32_t kSmallestReplyLength = 8;
// The longest request is a header with a scan request (853 bytes); a little more is allowed.
inline constexpr int32_t kLongestRequestLength = 1024;

// Framing of a byte string (bytes received and not yet taken as a message).
// The int32 at the start; the buffer holds at least 4 bytes.
int32_t MessageLength(const std::string& Buffer);
// At least 4 bytes and at least MessageLength bytes.
bool MessageComplete(const std::string& Buffer);
// Takes the first MessageLength bytes as the message and leaves the rest in Buffer. Raises
// Exception for a length below 4, which no message can have.
std::string CutMessage(std::string& Buffer);

// The int32 of a message at Offset, which lies inside it.
int32_t MessageInt32(const std::string& Message, size_t Offset);

// What CutRequest found at the front of the server's receive buffer.
enum class TRequestCut { Incomplete, Taken, Invalid };
// Takes the first request out of Buffer into Message once it is complete. Invalid: its
// TotalLength is one that no request has (below 520 or above kLongestRequestLength), so that
// the buffer would never shrink or grow without bound; Buffer is left as it is and the
// connection is to be dropped.
TRequestCut CutRequest(std::string& Buffer, std::string& Message);
// The command code of a request taken by CutRequest.
int32_t RequestCommand(const std::string& Message);
// The payload of a request (command 1 or 5) into Request: a payload shorter than the record
// replaces only the bytes it holds, a longer one only the record's 333.
void CopyScanRequest(const std::string& Message, TScanRequest& Request);
