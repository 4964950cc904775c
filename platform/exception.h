// The general exception class of the system: every failure carries an English text that
// callers show or log as it stands.
#pragma once

#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

// Opening or creating a file failed; the text names the file.
class EFOpenError : public Exception {
 public:
  explicit EFOpenError(const std::string& message, int Error = 0)
      : Exception(message), ErrorCode(Error) {}
  int ErrorCode;  // the system's error of the open, 0 when not known
};

class EFCreateError : public Exception {
 public:
  using Exception::Exception;
};

// A stream delivered fewer bytes than asked for, or refused to take them.
class EReadError : public Exception {
 public:
  using Exception::Exception;
};

class EWriteError : public Exception {
 public:
  using Exception::Exception;
};

// Memory for a block could not be had.
class EOutOfMemory : public Exception {
 public:
  using Exception::Exception;
};

// A text does not read as the number it should hold.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};
