// The Source Manager's tables: the applications that opened it, the data sources it keeps
// loaded, and the open application-source pairs with the notifications each source raised
// for its application.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "library.h"
#include "messages.h"
#include "twain.h"

// A data source found below <Windows directory>/twain_32/, as listing found it; its Id is
// the one the manager keeps for that library.
struct TListedSource {
  std::string Path;  // canonical
  TW_IDENTITY Identity{};
};

// A data source library that an application opened: the manager never unloads it, since a
// source keeps its state from one opening to the next; it keeps the Id it was listed with.
struct TLoadedSource {
  std::string Path;
  win32::HMODULE Module = nullptr;
  DSENTRYPROC Entry = nullptr;
  TW_IDENTITY Identity{};
};

struct TApplicationRecord {
  TW_UINT32 Id = 0;
  win32::HWND Parent = nullptr;        // none for a 2.x application that gives no window
  TW_UINT16 Condition = TWCC_SUCCESS;  // of the manager's own last answer, for DAT_STATUS
  std::vector<TListedSource> Listing;  // of the last MSG_GETFIRST
  size_t NextListed = 0;
  bool WakePending = false;  // a wake-up is posted and no MSG_PROCESSEVENT has come since
  int OpeningSources = 0;    // its MSG_OPENDS calls that are running
};

struct TOpenPair {
  TW_UINT32 AppId = 0;
  TW_UINT32 SourceId = 0;
  std::deque<TW_UINT16> Notifications;  // MSG_XFERREADY, MSG_CLOSEDSREQ, MSG_DEVICEEVENT
  // The application's DAT_CALLBACK for this source; while there is one, the source's
  // notifications are handed to it instead of the queue.
  TWAINCALLBACKPROC Callback = nullptr;
  uintptr_t RefCon = 0;
  // A failure the manager answered for the source (it raised, or answered no return code);
  // the next DAT_STATUS to the source reads it instead of asking the source.
  TW_UINT16 PendingCondition = TWCC_SUCCESS;
};

// Notifications a pair keeps for an application that does not look at them; a source that
// raises more is refused.
inline constexpr size_t kMaxQueuedNotifications = 64;

// What a source answered when it was asked for its identity, kept while its file stays as
// it was (path, size, modification time).
struct TAnsweredIdentity {
  std::uintmax_t Size = 0;
  std::filesystem::file_time_type Modified;
  bool Listed = false;  // false: it crashed, hung or gave no identity
  TW_IDENTITY Identity{};
};

struct TIdentityCache {
  std::mutex Lock;
  std::map<std::string, TAnsweredIdentity> Answered;  // by canonical path
};

// Every *.ds file below <Windows directory>/twain_32/ that answers DAT_IDENTITY / MSG_GET, in
// path order. A library that nobody has opened is asked by the manager's helper program in a
// process of its own, never loaded into the application; a product name that an earlier
// source has is told apart by " (2)", " (3)", ...
std::vector<TListedSource> ScanSources(TW_IDENTITY& Asker, const std::vector<TLoadedSource>& Loaded,
                                       TIdentityCache& Cache);
