#include "fakepanel.h"

#include <cstring>
#include <thread>

#include "ScanProtocol.h"
#include "streams.h"

int32_t TSeenRequest::Command() const {
  return MessageInt32(Header, offsetof(TRequestHeader, Command));
}

TBytes Int32Bytes(int32_t Value) {
  TBytes bytes(4, '\0');
  std::memcpy(bytes.data(), &Value, 4);
  return bytes;
}

TBytes BmpImage(TDIB& Page) {
  TMemoryStream stream;
  Page.SaveToStream(stream);
  return TBytes(reinterpret_cast<const char*>(stream.Memory()), stream.Size());
}

std::unique_ptr<TDIB> SmallPage(uint8_t Type, int32_t Width, int32_t Height, int32_t DPI) {
  auto page = std::make_unique<TDIB>();
  page->NewImage(Width, Height, Type, DPI, DPI);
  for (int32_t y = 0; y < Height; ++y) {
    for (int32_t x = 0; x < Width; ++x) {
      const int32_t level = (x * 7 + y * 13) % 256;
      const int32_t value = Type == pt1bit    ? ((x / 4 + y / 4) % 2)
                            : Type == pt24bit ? level + 256 * (255 - level) + 65536 * (x % 256)
                                              : level;
      page->SetPixel(x, y, value);
    }
  }
  return page;
}

TBytes PageReply(uint8_t QCFailed, const TBytes& Data) {
  return Int32Bytes(static_cast<int32_t>(Data.size()) + 9) + TBytes(1, char(QCFailed)) +
         Int32Bytes(static_cast<int32_t>(Data.size())) + Data;
}

TBytes OriginalReply(const TBytes& Data) {
  return Int32Bytes(static_cast<int32_t>(Data.size()) + 8) +
         Int32Bytes(static_cast<int32_t>(Data.size())) + Data;
}

void SendInPieces(TTcpSocket& Socket, const TBytes& Bytes, int Pieces,
                  std::chrono::milliseconds Pause) {
  const size_t piece = (Bytes.size() + Pieces - 1) / Pieces;
  for (size_t at = 0; at < Bytes.size(); at += piece) {
    if (at > 0) std::this_thread::sleep_for(Pause);
    Socket.SendBuffer(Bytes.data() + at, std::min(piece, Bytes.size() - at));
  }
}

TFakePanel::TFakePanel(TScript Script)
    : FScript(std::move(Script)),
      FServer([](TTcpSocket&) { return true; }, [this](TTcpSocket& Socket) { Serve(Socket); }) {
  FServer.Open(0);
}

TFakePanel::~TFakePanel() {
  FServer.Close();
}

namespace {

// Reads exactly Count bytes; false when the connection ends first.
bool ReceiveAll(TTcpSocket& Socket, char* Into, size_t Count) {
  while (Count > 0) {
    const int64_t taken = Socket.Receive(Into, Count);
    if (taken <= 0) return false;
    Into += taken;
    Count -= static_cast<size_t>(taken);
  }
  return true;
}

}  // namespace

void TFakePanel::Serve(TTcpSocket& Socket) {
  for (;;) {
    TSeenRequest request;
    request.Header.resize(sizeof(TRequestHeader));
    if (!ReceiveAll(Socket, request.Header.data(), 4)) return;
    const int32_t length = MessageLength(request.Header);
    if (length < kRequestHeaderLength || length > kLongestRequestLength) return;
    if (!ReceiveAll(Socket, request.Header.data() + 4, sizeof(TRequestHeader) - 4)) return;
    request.Payload.resize(length - kRequestHeaderLength);
    if (!ReceiveAll(Socket, request.Payload.data(), request.Payload.size())) return;
    {
      std::lock_guard lock(FLock);
      FRequests.push_back(request);
    }
    FArrived.notify_all();
    if (FScript) FScript(request, Socket);
  }
}

std::vector<TSeenRequest> TFakePanel::Requests() {
  std::lock_guard lock(FLock);
  return FRequests;
}

std::vector<int32_t> TFakePanel::Commands() {
  std::vector<int32_t> commands;
  for (const TSeenRequest& request : Requests()) commands.push_back(request.Command());
  return commands;
}

bool TFakePanel::WaitForRequests(size_t Count, std::chrono::milliseconds Timeout) {
  std::unique_lock lock(FLock);
  return FArrived.wait_for(lock, Timeout, [&] { return FRequests.size() >= Count; });
}
