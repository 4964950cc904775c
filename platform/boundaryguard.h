// The guard of every boundary that no exception may cross: an exported C entry point, a C
// library's callback, a thread's entry, an operation that answers result codes.
#pragma once

#include <exception>
#include <string>

// Runs Body and answers what it answers. When Body raises, answers Translate(), called inside
// the handler so that it may rethrow (`throw;`) to tell the exception's kinds apart; Translate
// must not raise itself. Nothing leaves Guarded as an exception.
template <class Body, class Translate>
auto Guarded(Body&& body, Translate&& translate) noexcept -> decltype(body()) {
  try {
    return body();
  } catch (...) {
    return translate();
  }
}

// The text of the exception being handled, for a log line; call it inside a handler only.
inline std::string FailureText() noexcept {
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown exception";
  }
}
