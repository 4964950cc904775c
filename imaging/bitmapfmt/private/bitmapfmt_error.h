// The failure inside the bitmap format module: carries one of its result codes up to the
// operation, which answers the code.
#pragma once

#include "bitmapfmt.h"
#include "exception.h"

namespace bitmapfmt {

class EBitmapFormat : public Exception {
 public:
  explicit EBitmapFormat(int code) : Exception(ErrorText(code)), FCode(code) {}
  int Code() const { return FCode; }

 private:
  int FCode;
};

[[noreturn]] inline void Fail(int code) {
  throw EBitmapFormat(code);
}

}  // namespace bitmapfmt
