#include "ScanClientUnit.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "ConnectionWords.h"
#include "DSLog.h"
#include "QualityControl.h"
#include "ScanProtocol.h"
#include "boundaryguard.h"
#include "dibunit.h"
#include "streams.h"
#include "tempfile.h"

namespace {

constexpr size_t kChunk = 256 * 1024;
// A reply's buffer grows with what arrives; it is never reserved beyond this ahead of the bytes.
constexpr int64_t kLargestReserve = 64 * 1024 * 1024;
constexpr int64_t kLongestPath = 4096;
constexpr int64_t kLongestRefusal = 4096;

void PutShortString(uint8_t (&Field)[256], const char* Text) {
  const size_t length = std::strlen(Text);
  Field[0] = static_cast<uint8_t>(length);
  std::memcpy(Field + 1, Text, length);
}

// The header fields of a reply in front of its data: the QCFailed byte (page replies only)
// and the length of the data.
struct TReplyFields {
  uint8_t QCFailed = 0;
  int32_t DataSize = 0;
  size_t DataOffset = 0;
};

bool ReadReplyFields(const std::string& Message, bool Flagged, TReplyFields& Fields) {
  const size_t fixed = Flagged ? sizeof(TPageReplyHeader) : sizeof(TOriginalReplyHeader);
  if (Message.size() < fixed) return false;
  if (Flagged) Fields.QCFailed = static_cast<uint8_t>(Message[4]);
  Fields.DataOffset = fixed;
  Fields.DataSize = MessageInt32(Message, fixed - 4);
  if (Fields.DataSize <= 0) return false;
  if (static_cast<size_t>(Fields.DataSize) > Message.size() - fixed) {
    DSLog("Refused a reply whose data length " + std::to_string(Fields.DataSize) +
          " exceeds its message of " + std::to_string(Message.size()) + " bytes");
    return false;
  }
  return true;
}

void LoadFromBytes(TDIB& Page, const std::string& Message, const TReplyFields& Fields) {
  const auto* first = reinterpret_cast<const uint8_t*>(Message.data()) + Fields.DataOffset;
  TMemoryStream stream(std::vector<uint8_t>(first, first + Fields.DataSize));
  Page.LoadFromStream(stream, 0);
}

// Right in the system's temporary directory, by the path's text.
bool InTempDir(const std::string& Path) {
  const std::string folder = win32::GetTempPath();
  return Path.size() > folder.size() && Path.compare(0, folder.size(), folder) == 0 &&
         Path.find('/', folder.size()) == std::string::npos;
}

bool IsRegularTmpFile(const std::string& Path) {
  if (Path.size() <= 4 || Path.compare(Path.size() - 4, 4, ".tmp") != 0) return false;
  struct stat info {};
  return ::lstat(Path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// A page file that a control panel with another temporary directory wrote: an absolute path
// without "." or ".." steps to a ".tmp" file that is a regular file and no link.
bool IsPageFileElsewhere(const std::string& Path) {
  return !Path.empty() && Path.front() == '/' && Path.find("/./") == std::string::npos &&
         Path.find("/../") == std::string::npos && IsRegularTmpFile(Path);
}

// Loads the served file and deletes it. A page file elsewhere is loaded and left alone: the
// control panel deletes the files it wrote that no one took. Any other path is refused.
bool LoadFromServedFile(TDIB& Page, const std::string& Path) {
  if (IsServedTempFile(Path)) {
    Page.LoadFromFile(Path, 0);
    if (::unlink(Path.c_str()) != 0) DSLog("Unable to delete the page file " + Path);
    return true;
  }
  if (!IsPageFileElsewhere(Path)) {
    DSLog("Refused a page file outside the temporary directory: " + Path);
    return false;
  }
  Page.LoadFromFile(Path, 0);
  DSLog("Loaded a page file outside the temporary directory, left to the control panel: " + Path);
  return true;
}

// The path that a file reply names; empty when it names none.
std::string ReplyPath(const std::string& Message, bool Flagged) {
  TReplyFields fields;
  if (!ReadReplyFields(Message, Flagged, fields)) return {};
  return Message.substr(fields.DataOffset, static_cast<size_t>(fields.DataSize));
}

}  // namespace

const int64_t TScanClient::kLongestPageReply =
    kMaxImageBlockSize + int64_t{sizeof(win32::BITMAPFILEHEADER)} + sizeof(TPageReplyHeader);
const int64_t TScanClient::kLongestFileReply = kLongestPath + sizeof(TPageReplyHeader);

bool IsServedTempFile(const std::string& Path) {
  return InTempDir(Path) && Path.size() > win32::GetTempPath().size() + 4 && IsRegularTmpFile(Path);
}

bool IsLoopbackHost(const std::string& Host) {
  in_addr address{};
  return ::inet_pton(AF_INET, Host.c_str(), &address) == 1 && (ntohl(address.s_addr) >> 24) == 127;
}

TScanClient::TScanClient() {
  QualityReview = [this](TDIB& Page) {
    ReviewFlaggedPage(
        Page, FetchOriginal ? FetchOriginal : [this] { return RequestOriginal(); },
        [this] { return FailureReason(); });
  };
}

TScanClient::~TScanClient() {
  Close();
}

void TScanClient::Open(uintptr_t OwnerHandle, const std::string& Host, int32_t Port) {
  FOwnerHandle = OwnerHandle;
  FHost = Host;
  FPort = Port;
  if (Port < 1 || Port > 65535) throw Exception("Invalid port " + std::to_string(Port));
  FSocket.Open(Host, static_cast<uint16_t>(Port), FConnectTimeoutMs);
}

void TScanClient::Close() {
  FSocket.Close();
}

void TScanClient::SendHeader(int32_t Command, int32_t PayloadLength) {
  SendRequest(Command, nullptr, 0, PayloadLength);
}

void TScanClient::SendRequest(int32_t Command, const void* Payload, size_t Size,
                              int32_t PayloadLength) {
  TRequestHeader header{};
  header.TotalLength = PayloadLength + kRequestHeaderLength;
  PutShortString(header.ClientHost, "LocalHost");
  PutShortString(header.ClientApp, "Application");
  header.Command = Command;
  std::string request(reinterpret_cast<const char*>(&header), sizeof header);
  if (Size > 0) request.append(static_cast<const char*>(Payload), Size);
  try {
    FSocket.SendBuffer(request.data(), request.size());
  } catch (const ESocketError& e) {
    FFailure = ConnectionFailureWords(e.Error(), FHost, FPort);
    throw;
  }
}

// A file request carries the client's temporary directory, where a panel on this computer
// writes the page file so that the client may take it; a panel that does not look at the
// payload writes it into its own.
void TScanClient::SendFetch(int32_t Command) {
  const std::string folder = win32::GetTempPath();
  const bool file = Command == CMD_GET_PAGE_FILE || Command == CMD_GET_ORIGINAL_FILE;
  if (!file || folder.size() > kLongestRequestLength - kRequestHeaderLength) {
    SendHeader(Command, 0);
    return;
  }
  SendRequest(Command, folder.data(), folder.size(), static_cast<int32_t>(folder.size()));
}

void TScanClient::SendSettings(const TScanRequest& Request) {
  EndSession();
  SendRequest(CMD_START_SCAN, &Request, sizeof Request, sizeof Request);
  FSessionOpen = true;
}

void TScanClient::EndSession() {
  if (!FSessionOpen) return;
  SendHeader(CMD_STOP_SCAN, 0);
  FSessionOpen = false;
}

bool TScanClient::UsesFiles() const {
  return IsLoopbackHost(FHost) && !FFilesElsewhere;
}

win32::HGLOBAL TScanClient::RequestPage() {
  return UsesFiles() ? ReceivePageFile() : ReceivePage();
}

win32::HGLOBAL TScanClient::RequestOriginal() {
  return UsesFiles() ? ReceiveOriginalFile() : ReceiveOriginal();
}

win32::HGLOBAL TScanClient::ReceivePage() {
  return Receive(CMD_GET_PAGE, true, false);
}

win32::HGLOBAL TScanClient::ReceivePageFile() {
  return Receive(CMD_GET_PAGE_FILE, true, true);
}

win32::HGLOBAL TScanClient::ReceiveOriginal() {
  return Receive(CMD_GET_ORIGINAL, false, false);
}

win32::HGLOBAL TScanClient::ReceiveOriginalFile() {
  return Receive(CMD_GET_ORIGINAL_FILE, false, true);
}

win32::HGLOBAL TScanClient::Receive(int32_t Command, bool Flagged, bool File) {
  if (FSocket.Connected()) FFailure.clear();  // else the failure that ended it stays
  FAnsweredWithoutPage = false;
  std::string message;
  if (!ReadReply(Command, File ? kLongestFileReply : kLongestPageReply, message, FReplyTimeoutMs)) {
    return nullptr;
  }
  return ParseReply(message, Flagged, File);
}

std::string TScanClient::FailureReason() {
  if (FAnsweredWithoutPage) {
    FAnsweredWithoutPage = false;
    FFailure = AskRefusal();
    if (FFailure.empty()) FFailure = "The control panel answered without a page.";
  }
  return FFailure;
}

std::string TScanClient::AskRefusal() {
  if (FNoRefusals) return {};
  std::string message;
  if (!ReadReply(CMD_GET_REFUSAL, kLongestRefusal + sizeof(TOriginalReplyHeader), message,
                 kRefusalWaitMs, true)) {
    if (FSocket.Connected()) {
      FNoRefusals = true;
      DSLog("The control panel does not say why it has no page");
    }
    return {};
  }
  TReplyFields fields;
  if (!ReadReplyFields(message, false, fields)) return {};
  return message.substr(fields.DataOffset, static_cast<size_t>(fields.DataSize));
}

bool TScanClient::ReadReply(int32_t Command, int64_t Longest, std::string& Message, int TimeoutMs,
                            bool KeepWhenSilent) {
  if (!FSocket.Connected()) {
    if (FFailure.empty()) {
      FFailure = "There is no connection to the control panel on " + FHost + " port " +
                 std::to_string(FPort) + " (it ended after an earlier failure).";
    }
    return false;
  }
  SendFetch(Command);
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(TimeoutMs);
  std::string buffer;
  std::vector<char> chunk(kChunk);
  bool reserved = false;
  while (FSocket.Connected()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      if (KeepWhenSilent && buffer.empty()) return false;
      DSLog("No reply from the control panel within " + std::to_string(TimeoutMs) +
            " ms; the connection is closed");
      FFailure = "The control panel did not answer within " + std::to_string(TimeoutMs / 1000) +
                 " s; the connection is closed.";
      Close();
      return false;
    }
    try {
      if (!FSocket.WaitReadable(static_cast<int>(left))) continue;
      const int64_t taken = FSocket.ReceiveNow(chunk.data(), chunk.size());
      if (taken > 0) buffer.append(chunk.data(), static_cast<size_t>(taken));
    } catch (const ESocketError& e) {
      DSLog("Connection to the control panel lost: " + FailureText());
      FFailure = ConnectionFailureWords(e.Error(), FHost, FPort);
      continue;  // the client is no longer connected
    } catch (...) {
      DSLog("Connection to the control panel lost: " + FailureText());
      FFailure = "The connection to the control panel failed: " + FailureText();
      continue;
    }
    if (buffer.size() < 4) continue;
    const int32_t length = MessageLength(buffer);
    if (length < 4 || length > Longest) {
      DSLog("Refused a reply of length " + std::to_string(length) + "; the connection is closed");
      FFailure = "The control panel's reply of " + std::to_string(length) +
                 " bytes is none of the scan protocol; the connection is closed.";
      Close();
      return false;
    }
    if (!reserved) {
      buffer.reserve(static_cast<size_t>(std::min<int64_t>(length, kLargestReserve)));
      reserved = true;
    }
    if (MessageComplete(buffer)) {
      Message = CutMessage(buffer);
      return true;
    }
  }
  if (FFailure.empty()) FFailure = "The control panel closed the connection.";
  return false;
}

bool ReadReplyPage(const std::string& Message, bool Flagged, bool File, TDIB& Page,
                   uint8_t& QCFailed) {
  TReplyFields fields;
  if (!ReadReplyFields(Message, Flagged, fields)) return false;
  QCFailed = fields.QCFailed;
  if (File) return LoadFromServedFile(Page, Message.substr(fields.DataOffset, fields.DataSize));
  LoadFromBytes(Page, Message, fields);
  return true;
}

win32::HGLOBAL TScanClient::ParseReply(const std::string& Message, bool Flagged, bool File) {
  TDIB page;
  uint8_t flagged = 0;
  try {
    if (!ReadReplyPage(Message, Flagged, File, page, flagged)) {
      FAnsweredWithoutPage = true;
      return nullptr;
    }
  } catch (...) {
    DSLog("Unable to load the page of the reply: " + FailureText());
    FFailure = "The page of the control panel's reply does not load: " + FailureText();
    return nullptr;
  }
  page.SetOwnsHandle(false);
  if (File && !InTempDir(ReplyPath(Message, Flagged))) {
    DSLog(
        "The control panel writes its page files where this process does not take them; "
        "pages come as bytes from now on");
    FFilesElsewhere = true;
  }
  if (flagged != 0) Review(page);
  return page.GetHandle();
}

void TScanClient::Review(TDIB& Page) {
  if (!QualityReview) return;
  try {
    QualityReview(Page);
  } catch (...) {
    DSLog("Quality review failed: " + FailureText());
  }
  Page.SetOwnsHandle(false);
}
