#include "ClarivoThread.h"

#include <cstring>
#include <ctime>

#include "ScanProtocol.h"
#include "boundaryguard.h"
#include "streams.h"
#include "tempfile.h"

namespace {

constexpr int kReadWaitMs = 250;
constexpr size_t kReadChunk = 16384;

// The temporary page file's name up to its unique part: the temporary directory and the local
// time as "ddhhnnss".
std::string PageFilePrefix() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[16];
  std::strftime(stamp, sizeof stamp, "%d%H%M%S", &local);
  return win32::GetTempPath() + stamp;
}

std::string WritePageFile(TDIB& Page) {
  TMemoryStream image;
  Page.SaveToStream(image);
  return WriteUniqueFile(PageFilePrefix(), ".tmp", image.Memory(),
                         static_cast<size_t>(image.Size()));
}

// A reply of a fixed header, then Size bytes of Data (a page image or a path).
template <class THeader>
void SendReply(TTcpSocket& Socket, THeader Header, const void* Data, size_t Size) {
  Header.DataSize = static_cast<int32_t>(Size);
  Header.TotalLength = static_cast<int32_t>(Size + sizeof(THeader));
  Socket.SendBuffer(&Header, sizeof Header);
  if (Size > 0) Socket.SendBuffer(Data, Size);
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

TClarivoThread::TClarivoThread(TTcpSocket& Socket, TServerWindow& MainForm,
                               TSynchronizer& Synchronizer)
    : MainForm(MainForm), Socket(Socket), Synchronizer(Synchronizer) {}

TClarivoThread::~TClarivoThread() {
  if (PageHandle != nullptr) win32::GlobalFree(PageHandle);
}

void TClarivoThread::Execute() noexcept {
  Guarded([this] { Serve(); },
          [this] {
            LogText = FailureText();
            Guarded([this] { SyncLog(); }, [] {});
            Terminated = true;
          });
}

void TClarivoThread::Serve() {
  Buffer.clear();
  RemoteAddress = Socket.RemoteAddress();
  while (!Terminated && ReadAvailable()) HandleMessages();
}

bool TClarivoThread::ReadAvailable() {
  if (!Socket.WaitReadable(kReadWaitMs)) return true;
  char chunk[kReadChunk];
  int64_t taken = Socket.ReceiveNow(chunk, sizeof chunk);
  if (taken == 0) return false;
  if (taken > 0) Buffer.append(chunk, static_cast<size_t>(taken));
  return true;
}

// Every complete request in the buffer, in order. A length that no request has ends the
// connection before anything more is buffered.
void TClarivoThread::HandleMessages() {
  std::string message;
  while (!Terminated) {
    switch (CutRequest(Buffer, message)) {
      case TRequestCut::Incomplete:
        return;
      case TRequestCut::Invalid:
        Log("Invalid request length " + std::to_string(MessageLength(Buffer)) + " from IP " +
            RemoteAddress + ": connection closed !");
        Terminated = true;
        return;
      case TRequestCut::Taken:
        HandleMessage(message);
    }
  }
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
      SendPageFileReply();
      break;
    case CMD_GET_ORIGINAL_FILE:
      SendOriginalFileReply();
      break;
    case CMD_GET_PENDING:
      SendPendingReply();
      break;
    case CMD_GET_REFUSAL:
      SendReply(Socket, TOriginalReplyHeader{0, 0}, Refusal.data(), Refusal.size());
      break;
    default:
      Log("Errore inaspettato: messaggio non riconosciuto !");
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
    Log("Scan request from IP " + RemoteAddress + " refused: " + Refusal);
  }
}

void TClarivoThread::NextPage() {
  PageHandle = nullptr;
  if (ScanRefused) return;
  SyncNextPage();
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

void TClarivoThread::SendPageReply() {
  NextPage();
  std::unique_ptr<TDIB> page = TakePage();
  SendImageReply(Socket, TPageReplyHeader{0, QCFailed, 0}, page.get());
}

void TClarivoThread::SendOriginalReply() {
  OriginalPage();
  std::unique_ptr<TDIB> page = TakePage();
  SendImageReply(Socket, TOriginalReplyHeader{0, 0}, page.get());
}

void TClarivoThread::SendPageFileReply() {
  NextPage();
  std::unique_ptr<TDIB> page = TakePage();
  std::string path = page ? WritePageFile(*page) : std::string();
  SendReply(Socket, TPageReplyHeader{0, QCFailed, 0}, path.data(), path.size());
}

void TClarivoThread::SendOriginalFileReply() {
  OriginalPage();
  std::unique_ptr<TDIB> page = TakePage();
  std::string path = page ? WritePageFile(*page) : std::string();
  SendReply(Socket, TOriginalReplyHeader{0, 0}, path.data(), path.size());
}

// The length leaves at once; the count follows after the window's wait for pages.
void TClarivoThread::SendPendingReply() {
  TPendingReply reply{sizeof(TPendingReply), 0};
  Socket.SendBuffer(&reply.TotalLength, sizeof reply.TotalLength);
  if (!ScanRefused) SyncPendingCount();
  reply.PendingCount = ScanRefused ? 0 : PendingCount;
  Socket.SendBuffer(&reply.PendingCount, sizeof reply.PendingCount);
}

void TClarivoThread::Log(const std::string& Text) {
  LogText = Text;
  SyncLog();
}

void TClarivoThread::SyncLog() {
  Synchronizer.Synchronize([this] { MainForm.Log(LogText); });
}

void TClarivoThread::SyncStartScan() {
  Synchronizer.Synchronize([this] { MainForm.StartScan(Request); });
}

void TClarivoThread::SyncStopScan() {
  Synchronizer.Synchronize([this] { MainForm.StopScan(); });
}

void TClarivoThread::SyncNextPage() {
  Synchronizer.Synchronize([this] { PageHandle = MainForm.NextProcessedPage(QCFailed); });
}

void TClarivoThread::SyncPendingCount() {
  Synchronizer.Synchronize([this] { PendingCount = MainForm.PendingCount(); });
}

void TClarivoThread::SyncOriginalPage() {
  Synchronizer.Synchronize([this] {
    QCFailed = 1;
    PageHandle = MainForm.OriginalPage();
  });
}
