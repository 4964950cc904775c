// Running the manager's helper program, twain_32-helper, which lives beside TWAIN_32.DLL.
#pragma once

#include <string>
#include <vector>

struct THelperRun {
  bool Finished = false;  // it exited with status 0
  int ExitStatus = -1;    // when it exited
  std::string Output;     // what it wrote to its standard output
  std::string Why;        // for a run that did not finish: what happened, for a message
};

// Runs the helper with these arguments (its standard input empty, its standard error the
// application's) and waits for it to end; after TimeoutMs (-1: no limit) it is killed. Never
// raises and leaves no child behind.
THelperRun RunHelper(const std::vector<std::string>& Arguments, int TimeoutMs);
