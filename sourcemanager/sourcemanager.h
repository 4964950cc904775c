// The Source Manager of TWAIN_32.DLL: the triplets it answers itself, and the forwarding of
// every other triplet to the open source it is meant for.
//
// What it answers:
// - DAT_PARENT MSG_OPENDSM / MSG_CLOSEDSM (pData points at the application's parent window):
//   opening gives the application its Id; any number of applications, and any number of
//   open/close rounds, in one process.
// - DAT_IDENTITY MSG_GETFIRST / MSG_GETNEXT (TWRC_ENDOFLIST after the last) / MSG_GETDEFAULT
//   (the first source listed) over the sources below <Windows directory>/twain_32/.
// - DAT_IDENTITY MSG_OPENDS (by exact ProductName; an empty one opens the default source):
//   fills the application's TW_IDENTITY of the source, with its Id, and forwards.
//   MSG_CLOSEDS forwards, then forgets the pair and its queued notifications; the library
//   stays loaded.
// - DAT_STATUS MSG_GET without a destination: the condition of the manager's last answer to
//   that application.
// - DAT_NULL from a source (MSG_XFERREADY, MSG_CLOSEDSREQ, MSG_DEVICEEVENT): queued for the
//   pair, and the application is woken by a WM_NULL posted to its parent window. The next
//   DAT_EVENT / MSG_PROCESSEVENT of that application to that source that the source does not
//   answer with a message of its own hands out one of them as TWMessage, with TWRC_DSEVENT;
//   never one raised during that same call.
// TWAIN 2 beside that (dsmtwain2.cpp):
// - MSG_OPENDSM answers DF_DSM2 in SupportedGroups to an application that declares DF_APP2
//   (which may give no parent window).
// - DAT_ENTRYPOINT MSG_GET without a destination gives DSM_Entry and the memory functions,
//   which are win32::Global*: a block made through them and one made by a module of ours
//   directly are of one kind, each side may lock and free the other's.
// - MSG_OPENDS of a source whose identity declares DF_DS2 first sends it DAT_ENTRYPOINT
//   MSG_SET; a refusal fails the opening with TWCC_OPERATIONERROR.
// - DAT_CALLBACK / DAT_CALLBACK2 MSG_REGISTER_CALLBACK to an open source is kept for that
//   pair, never forwarded. A notification of the source (also MSG_CLOSEDSOK) is then handed
//   to the callback, with the source as origin, the application as destination and the
//   RefCon as pData, from inside the source's DAT_NULL and with no lock held; without a
//   callback it is queued as above.
// - Listing gives every source the Id that it keeps for the life of the manager, never 0.
// Everything else with a destination goes to that source's DS_Entry, if this application has
// it open (else TWCC_BADDEST). A source that raises, or answers something that is no return
// code, gives TWRC_FAILURE, and the next DAT_STATUS to it TWCC_BUMMER.
//
// The tables are shared by every thread of the process: a source may call back from a thread
// of its own. No lock is held while a source runs, so a source may call back from inside any
// triplet.
#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "dsmdefault.h"
#include "dsmtable.h"

class TSourceManager {
 public:
  static TSourceManager& Instance();

  TW_UINT16 Entry(TW_IDENTITY* pOrigin, TW_IDENTITY* pDest, TW_UINT32 DG, TW_UINT16 DAT,
                  TW_UINT16 MSG, TW_MEMREF pData);

 private:
  using TLock = std::unique_lock<std::mutex>;

  // The manager's own triplets (dsmtriplets.cpp), each with the lock held on entry.
  TW_UINT16 OpenDSM(TLock& Lock, TW_IDENTITY& App, TW_MEMREF pData);
  TW_UINT16 CloseDSM(TLock& Lock, TW_IDENTITY& App);
  TW_UINT16 GetFirst(TLock& Lock, TW_IDENTITY& App, TW_MEMREF pData);
  TW_UINT16 GetNext(TLock& Lock, TW_IDENTITY& App, TW_MEMREF pData);
  TW_UINT16 GetDefault(TLock& Lock, TW_IDENTITY& App, TW_MEMREF pData);
  TW_UINT16 UserSelect(TLock& Lock, TW_IDENTITY& App, TW_MEMREF pData);
  TW_UINT16 OpenDS(TLock& Lock, TW_IDENTITY& App, TW_MEMREF pData);
  TW_UINT16 CloseDS(TLock& Lock, TW_IDENTITY& App, TW_MEMREF pData);
  // The open source's condition (DAT_STATUS) as the manager's own, for a refused OPENDS or
  // CLOSEDS; answers TWRC_FAILURE.
  TW_UINT16 FailAsSource(TLock& Lock, DSENTRYPROC Entry, TW_IDENTITY& App, TW_UINT32 SourceId);
  TW_UINT16 Status(TLock& Lock, TW_IDENTITY* App, TW_UINT16 MSG, TW_MEMREF pData);
  TW_UINT16 SourceCallback(TLock& Lock, TW_IDENTITY* Source, TW_IDENTITY* App, TW_UINT16 MSG);
  TW_UINT16 ProcessEvent(TLock& Lock, TW_IDENTITY& App, TW_IDENTITY& Source, TW_MEMREF pData);

  // TWAIN 2 (dsmtwain2.cpp), each with the lock held on entry.
  TW_UINT16 EntryPoints(TLock& Lock, TApplicationRecord& App, TW_UINT16 MSG, TW_MEMREF pData);
  TW_UINT16 RegisterCallback(TLock& Lock, TApplicationRecord& App, TOpenPair& Pair, TW_UINT16 DAT,
                             TW_UINT16 MSG, TW_MEMREF pData);
  // DAT_ENTRYPOINT MSG_SET to a DF_DS2 source about to be opened; other sources need none.
  TW_UINT16 GiveEntryPoints(TLock& Lock, const TLoadedSource& Source, TW_IDENTITY& App);
  // Hands the notification to the pair's callback; false when it has none.
  bool CallBack(TLock& Lock, TOpenPair& Pair, TW_IDENTITY& Source, TW_IDENTITY& App, TW_UINT16 MSG);
  // The Id the manager keeps for a source library, made at its first listing.
  TW_UINT32 ListedId(const std::string& Path);

  // The forwarding (dsmentry.cpp).
  TW_UINT16 ManagerTriplet(TLock& Lock, TW_IDENTITY* pOrigin, TW_UINT32 DG, TW_UINT16 DAT,
                           TW_UINT16 MSG, TW_MEMREF pData);
  TW_UINT16 SourceTriplet(TLock& Lock, TW_IDENTITY& App, TW_IDENTITY& Source, TW_UINT32 DG,
                          TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData);
  // Calls the source without the lock. A raise or an answer that is no return code is noted
  // in the pair (when there is one) and answered TWRC_FAILURE.
  TW_UINT16 CallSource(TLock& Lock, DSENTRYPROC Entry, TW_IDENTITY& App, TW_UINT32 DG,
                       TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData, TW_UINT32 SourceId);

  // Runs Work without the lock, as for anything that starts a program or waits on one.
  template <typename TWork>
  static auto Unlocked(TLock& Lock, TWork Work) {
    Lock.unlock();
    struct TRelock {
      TLock& Lock;
      ~TRelock() { Lock.lock(); }
    } relock{Lock};
    return Work();
  }

  // The tables (dsmtable.cpp); the lock is held.
  TApplicationRecord* FindApplication(const TW_IDENTITY* App);
  TLoadedSource* FindLoaded(TW_UINT32 SourceId);
  // Both release the lock while a library is loaded or asked.
  std::vector<TListedSource> List(TLock& Lock, TW_IDENTITY& App);
  TLoadedSource* LoadSource(TLock& Lock, const TListedSource& Listed);
  TOpenPair* FindPair(TW_UINT32 AppId, TW_UINT32 SourceId);
  void RemovePair(TW_UINT32 AppId, TW_UINT32 SourceId);
  bool HasPairs(TW_UINT32 AppId) const;
  TW_UINT32 NewId() { return ++FLastId; }
  // Answers TWRC_FAILURE, keeping the condition for the application's DAT_STATUS.
  TW_UINT16 Fail(TApplicationRecord* App, TW_UINT16 Condition);
  void Wake(TApplicationRecord& App);

  // Counts a running MSG_OPENDS in the application's record for the life of the object.
  class TOpening {
   public:
    TOpening(TSourceManager& Manager, TW_UINT32 AppId);
    ~TOpening();
    TOpening(const TOpening&) = delete;
    TOpening& operator=(const TOpening&) = delete;

   private:
    TSourceManager& FManager;
    TW_UINT32 FAppId;
  };

  std::mutex FLock;
  std::vector<TApplicationRecord> FApplications;
  std::vector<TLoadedSource> FLoaded;
  std::vector<TOpenPair> FPairs;
  std::vector<std::pair<std::string, TW_UINT32>> FListedIds;  // path, Id
  TIdentityCache FIdentities;
  TDefaultMemo FDefault;
  TW_UINT32 FLastId = 0;
  // The condition of a call that came from no application the manager knows.
  TW_UINT16 FStrayCondition = TWCC_SUCCESS;
};
