#include "ScanProtocol.h"

#include <algorithm>
#include <cstring>

#include "exception.h"

int32_t MessageInt32(const std::string& Message, size_t Offset) {
  int32_t value;
  std::memcpy(&value, Message.data() + Offset, sizeof value);
  return value;
}

int32_t MessageLength(const std::string& Buffer) {
  return MessageInt32(Buffer, 0);
}

bool MessageComplete(const std::string& Buffer) {
  return Buffer.size() >= 4 && static_cast<int64_t>(Buffer.size()) >= MessageLength(Buffer);
}

std::string CutMessage(std::string& Buffer) {
  int32_t length = MessageLength(Buffer);
  if (length < 4) throw Exception("Invalid message length " + std::to_string(length));
  std::string message = Buffer.substr(0, length);
  Buffer.erase(0, length);
  return message;
}

TRequestCut CutRequest(std::string& Buffer, std::string& Message) {
  if (Buffer.size() < 4) return TRequestCut::Incomplete;
  int32_t length = MessageLength(Buffer);
  if (length < kRequestHeaderLength || length > kLongestRequestLength) {
    return TRequestCut::Invalid;
  }
  if (!MessageComplete(Buffer)) return TRequestCut::Incomplete;
  Message = CutMessage(Buffer);
  return TRequestCut::Taken;
}

int32_t RequestCommand(const std::string& Message) {
  return MessageInt32(Message, offsetof(TRequestHeader, Command));
}

void CopyScanRequest(const std::string& Message, TScanRequest& Request) {
  size_t payload = std::min(Message.size() - kRequestHeaderLength, sizeof(TScanRequest));
  std::memcpy(&Request, Message.data() + kRequestHeaderLength, payload);
}
