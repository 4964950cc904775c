// A memory stream that takes bytes up to a limit, then refuses every write, like a full disk.
#pragma once

#include "streams.h"

class TFullStream : public TMemoryStream {
 public:
  explicit TFullStream(int64_t Limit) : FLimit(Limit) {}
  int64_t Write(const void* buffer, int64_t count) override {
    return Size() + count > FLimit ? 0 : TMemoryStream::Write(buffer, count);
  }

 private:
  int64_t FLimit;
};
