// The scan server's log rate: lines of one kind that follow each other closely form a burst,
// of which only the first few are logged. A peer that opens a thousand connections or sends a
// thousand bad frames costs a few lines, not a thousand. The count of the lines left out is
// said when the next burst of that kind begins.
#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class TLogBursts {
 public:
  using TClock = std::chrono::steady_clock;

  // A burst ends after Quiet without a line of its kind.
  explicit TLogBursts(TClock::duration Quiet) : FQuiet(Quiet) {}

  // The lines to log for Text, a line of Kind at Now: Text while fewer than Allowance lines of
  // the burst went before, nothing after; in front of it the count of the lines that the last
  // burst of the kind left out, when this line begins a burst. Safe from any thread.
  std::vector<std::string> Admit(const std::string& Kind, size_t Allowance, const std::string& Text,
                                 TClock::time_point Now);

 private:
  struct TBurst {
    TClock::time_point Last;
    size_t Logged = 0;
    size_t Left = 0;  // lines not logged
    std::string First;
  };

  TClock::duration FQuiet;
  std::mutex FLock;
  std::map<std::string, TBurst> FBursts;
};
