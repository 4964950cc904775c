#include "ClarivoThread.h"

#include <cstring>
#include <ctime>

#include "ScanProtocol.h"
#include "ScanServer.h"
#include "boundaryguard.h"
#include "streams.h"
#include "tempfile.h"

namespace {

constexpr size_t kReadChunk = 16384;
// Lines of protocol errors and failures that one burst logs before it only counts them.
constexpr size_t kErrorLinesPerBurst = 10;

// The temporary page file's name up to its unique part: Dir and the local time as "ddhhnnss".
std::string PageFilePrefix(const std::string& Dir) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[16];
  std::strftime(stamp, sizeof stamp, "%d%H%M%S", &local);
  return Dir + stamp;
}

std::string WritePageFileIn(const std::string& Dir, TDIB& Page) {
  TMemoryStream image;
  Page.SaveToStream(image);
  return WriteUniqueFile(PageFilePrefix(Dir), ".tmp", image.Memory(),
                         static_cast<size_t>(image.Size()));
}

// The temporary directory that a file request names in its payload: an absolute path with a
// trailing delimiter and no "." or ".." step; empty for none or one that is not such a path.
std::string RequestedTempDir(const std::string& Message) {
  std::string dir = Message.substr(kRequestHeaderLength);
  if (dir.empty() || dir.front() != '/' || dir.back() != '/' ||
      dir.find('\0') != std::string::npos || dir.find("/./") != std::string::npos ||
      dir.find("/../") != std::string::npos) {
    return {};
  }
  return dir;
}

// A reply of a fixed header, then Size bytes of Data (a path), in one piece.
template <class THeader>
void SendReply(TTcpSocket& Socket, THeader Header, const std::string& Data) {
  Header.DataSize = static_cast<int32_t>(Data.size());
  Header.TotalLength = static_cast<int32_t>(Data.size() + sizeof(THeader));
  std::string reply(reinterpret_cast<const char*>(&Header), sizeof Header);
  reply += Data;
  Socket.SendBuffer(reply.data(), reply.size());
}

// A page reply as one block: the header's room, then the BMP file image, then the header.
template <class THeader>
void SendImageReply(TTcpSocket& Socket, THeader Header, TDIB* Page) {
  TMemoryStream reply;
  reply.WriteBuffer(&Header, sizeof Header);
  if (Page != nullptr) Page->SaveToStream(reply);
  int64_t size = reply.Size() - static_cast<int64_t>(sizeof Header);
  if (size > INT32_MAX - static_cast<int64_t>(sizeof Header)) {
    throw Exception("Page too large for a reply");
  }
  Header.DataSize = static_cast<int32_t>(size);
  Header.TotalLength = static_cast<int32_t>(reply.Size());
  std::memcpy(reply.Memory(), &Header, sizeof Header);
  Socket.SendBuffer(reply.Memory(), static_cast<size_t>(reply.Size()));
}

}  // namespace

TClarivoThread::TClarivoThread(TTcpSocket& Socket, TScanServer& Server, uint64_t Connection)
    : Server(Server), MainForm(Server.Window()), Socket(Socket), Connection(Connection) {}

TClarivoThread::~TClarivoThread() {
  if (PageHandle != nullptr) win32::GlobalFree(PageHandle);
}

void TClarivoThread::Execute() noexcept {
  Guarded([this] { Serve(); },
          [this] {
            const std::string text = FailureText();
            Guarded([&] { Log("failure", kErrorLinesPerBurst, text); }, [] {});
            Terminated = true;
          });
}

// The idle time starts anew once a request has been answered.
void TClarivoThread::Serve() {
  Buffer.clear();
  RemoteAddress = Socket.RemoteAddress();
  Local = IsThisComputer(RemoteAddress, Socket.LocalAddress());
  Socket.SetSendTimeout(Server.Limits().SendTimeoutMs);
  const auto idle = std::chrono::milliseconds(Server.Limits().IdleTimeoutMs);
  TClock::time_point deadline = TClock::now() + idle;
  while (!Terminated && ReadAvailable(deadline)) {
    if (HandleMessages()) deadline = TClock::now() + idle;
  }
  if (!Terminated && TClock::now() >= deadline) {
    Log("idle", 1, "WARNING: idle connection from IP " + RemoteAddress + " closed !");
  }
}

bool TClarivoThread::ReadAvailable(TClock::time_point Deadline) {
  for (;;) {
    // Rounded up: the wait never ends before the deadline, which the caller checks again.
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(Deadline - TClock::now()).count();
    if (left <= 0) return false;
    if (Socket.WaitReadable(static_cast<int>(left))) break;
  }
  char chunk[kReadChunk];
  int64_t taken = Socket.ReceiveNow(chunk, sizeof chunk);
  if (taken == 0) return false;
  if (taken > 0) Buffer.append(chunk, static_cast<size_t>(taken));
  return true;
}

// A length that no request has ends the connection before anything more is buffered.
bool TClarivoThread::HandleMessages() {
  std::string message;
  bool handled = false;
  while (!Terminated) {
    switch (CutRequest(Buffer, message)) {
      case TRequestCut::Incomplete:
        return handled;
      case TRequestCut::Invalid:
        Log("invalid", kErrorLinesPerBurst,
            "Invalid request length " + std::to_string(MessageLength(Buffer)) + " from IP " +
                RemoteAddress + ": connection closed !");
        Terminated = true;
        return handled;
      case TRequestCut::Taken:
        HandleMessage(message);
        handled = true;
    }
  }
  return handled;
}

void TClarivoThread::HandleMessage(const std::string& Message) {
  switch (RequestCommand(Message)) {
    case CMD_START_SCAN:
      CopyScanRequest(Message, Request);
      StartScan();
      break;
    case CMD_STORE_REQUEST:
      CopyScanRequest(Message, Request);
      break;
    case CMD_STOP_SCAN:
      ScanRefused = false;
      SyncStopScan();
      break;
    case CMD_GET_PAGE:
      SendPageReply();
      break;
    case CMD_GET_ORIGINAL:
      SendOriginalReply();
      break;
    case CMD_GET_PAGE_FILE:
      SendPageFileReply(Message);
      break;
    case CMD_GET_ORIGINAL_FILE:
      SendOriginalFileReply(Message);
      break;
    case CMD_GET_PENDING:
      SendPendingReply();
      break;
    case CMD_GET_REFUSAL:
      SendReply(Socket, TOriginalReplyHeader{0, 0}, Refusal);
      break;
    default:
      Log("unknown", kErrorLinesPerBurst, "Errore inaspettato: messaggio non riconosciuto !");
  }
}

// A request that the window refuses keeps the connection: the client may ask why, and its page
// requests find no page (never one of an earlier scan) until a scan starts or it stops.
void TClarivoThread::StartScan() {
  ScanRefused = false;
  try {
    SyncStartScan();
  } catch (...) {
    // A closed synchronizer raises here too; the log's own call then ends the thread.
    Refusal = FailureText();
    ScanRefused = true;
    Log("refused", kErrorLinesPerBurst,
        "Scan request from IP " + RemoteAddress + " refused: " + Refusal);
  }
}

void TClarivoThread::NextPage(TServedPage& Served) {
  PageHandle = nullptr;
  if (ScanRefused) return;
  SyncNextPage(Served);
  if (PageHandle == nullptr) {
    Refusal =
        "The control panel has no page to serve: none came from the scanner within its "
        "time-out, or the scan has ended (its Log page says more)";
  }
}

void TClarivoThread::OriginalPage() {
  SyncOriginalPage();
  if (PageHandle == nullptr) Refusal = "The control panel holds no original of the last page";
}

std::unique_ptr<TDIB> TClarivoThread::TakePage() {
  win32::HGLOBAL handle = PageHandle;
  PageHandle = nullptr;
  if (handle == nullptr) return nullptr;
  auto page = std::make_unique<TDIB>();
  try {
    page->SetHandle(handle);
  } catch (...) {
    // A block the page refused stays ours to free.
    win32::GlobalFree(handle);
    throw;
  }
  page->SetOwnsHandle(true);
  return page;
}

std::string TClarivoThread::WritePageFile(TDIB& Page, const std::string& Message) {
  const std::string own = win32::GetTempPath();
  const std::string asked = Local ? RequestedTempDir(Message) : std::string();
  std::string path;
  if (!asked.empty() && asked != own) {
    path = Guarded([&] { return WritePageFileIn(asked, Page); }, [] { return std::string(); });
  }
  if (path.empty()) path = WritePageFileIn(own, Page);
  Server.Files().Add(Connection, path);
  return path;
}

template <class TReply>
void TClarivoThread::Deliver(const TServedPage* Served, const std::string& File, TReply&& Reply) {
  try {
    Reply();
  } catch (...) {
    if (!File.empty()) Server.Files().Drop(File);
    if (Served != nullptr) Guarded([&] { SyncReturnPage(*Served); }, [] {});
    throw;
  }
}

void TClarivoThread::SendPageReply() {
  TServedPage served;
  NextPage(served);
  const bool some = PageHandle != nullptr;
  Deliver(some ? &served : nullptr, {}, [&] {
    std::unique_ptr<TDIB> page = TakePage();
    SendImageReply(Socket, TPageReplyHeader{0, QCFailed, 0}, page.get());
  });
}

void TClarivoThread::SendOriginalReply() {
  OriginalPage();
  std::unique_ptr<TDIB> page = TakePage();
  SendImageReply(Socket, TOriginalReplyHeader{0, 0}, page.get());
}

void TClarivoThread::SendPageFileReply(const std::string& Message) {
  TServedPage served;
  NextPage(served);
  const bool some = PageHandle != nullptr;
  std::string path;
  Deliver(some ? &served : nullptr, path, [&] {
    std::unique_ptr<TDIB> page = TakePage();
    if (page) path = WritePageFile(*page, Message);
    SendReply(Socket, TPageReplyHeader{0, QCFailed, 0}, path);
  });
}

void TClarivoThread::SendOriginalFileReply(const std::string& Message) {
  OriginalPage();
  std::string path;
  Deliver(nullptr, path, [&] {
    std::unique_ptr<TDIB> page = TakePage();
    if (page) path = WritePageFile(*page, Message);
    SendReply(Socket, TOriginalReplyHeader{0, 0}, path);
  });
}

// The whole reply leaves after the window's wait for pages, in one piece.
void TClarivoThread::SendPendingReply() {
  if (!ScanRefused) SyncPendingCount();
  TPendingReply reply{sizeof(TPendingReply), ScanRefused ? 0 : PendingCount};
  Socket.SendBuffer(&reply, sizeof reply);
}

void TClarivoThread::Log(const std::string& Kind, size_t Allowance, const std::string& Text) {
  Server.Log(Kind, Allowance, Text);
}

void TClarivoThread::SyncStartScan() {
  Server.Sync().Synchronize([this] { MainForm.StartScan(Request); });
}

void TClarivoThread::SyncStopScan() {
  Server.Sync().Synchronize([this] { MainForm.StopScan(); });
}

void TClarivoThread::SyncNextPage(TServedPage& Served) {
  Server.Sync().Synchronize([&] { PageHandle = MainForm.NextProcessedPage(QCFailed, Served); });
}

void TClarivoThread::SyncReturnPage(const TServedPage& Served) {
  Server.Sync().Synchronize([&] { MainForm.ReturnPage(Served); });
}

void TClarivoThread::SyncPendingCount() {
  Server.Sync().Synchronize([this] { PendingCount = MainForm.PendingCount(); });
}

void TClarivoThread::SyncOriginalPage() {
  Server.Sync().Synchronize([this] {
    QCFailed = 1;
    PageHandle = MainForm.OriginalPage();
  });
}
