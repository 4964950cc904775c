// A program started by a test as a user starts it: its own arguments, the test's environment,
// its standard output and error written to one file. The child is killed and reaped when the
// object goes, unless it ended before.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class TChildProcess {
 public:
  // Starts Program (a path, or a name looked for on PATH) with the arguments; Output names the
  // file of its standard output and error. Raises Exception when it cannot be started.
  TChildProcess(const std::string& Program, const std::vector<std::string>& Arguments,
                const std::string& Output);
  ~TChildProcess();
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  // The exit code (128 + the signal for a child ended by one), or -1 when the child is still
  // running after Seconds.
  int Wait(int Seconds);
  void Signal(int Number);
  bool Running();
  // What the child wrote so far.
  std::string Output() const;

 private:
  pid_t FPid = -1;
  int FStatus = -1;
  std::string FOutput;
};
