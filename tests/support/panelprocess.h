// A control panel `clarivo` of the caller's own, as a user would start it: a program folder
// (with its "test" folder for the test scanner), settings, a runtime folder, a temporary
// directory and a Windows directory (TWAIN_32.DLL and Clarivo.ds, where given) in a folder of
// its own, and a free port. The environment points at them while the object lives. Every
// control panel that runs from its program folder, whoever started it, is ended with it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class TPanelProcess {
 public:
  // Makes the folders and the settings for the test scanner, with deskew and thresholding off.
  // An empty Manager or DataSource leaves it out of the Windows directory. Settings written
  // before Start are the program's.
  TPanelProcess(const std::string& Name, const std::string& Clarivo, const std::string& Manager,
                const std::string& DataSource);
  ~TPanelProcess();
  TPanelProcess(const TPanelProcess&) = delete;
  TPanelProcess& operator=(const TPanelProcess&) = delete;

  // Starts the program, its standard error to the file "clarivo.err" of Root; true once its
  // port accepts, within 20 seconds; false at once when it ends before.
  bool Start();
  // Ends the program Start started as a session ends (SIGTERM): its exit code (128 + the
  // signal for one ended by a signal), or -1 when it has not ended within Seconds.
  int Terminate(int Seconds = 20);
  // Ends every running control panel as a session ends (SIGTERM), killing what has not ended
  // within ten seconds.
  void End();
  // The control panels running from the program folder.
  std::vector<int> Running() const;
  // The standard error of the program Start started.
  std::string ErrorLog() const;

  std::filesystem::path Root;
  std::filesystem::path ProgramDir;
  uint16_t Port = 0;

 private:
  // The exit code once the started program has ended, within Seconds, else -1.
  int Wait(int Seconds);
  // Reaps Pid, a child of this process, by waitpid with Options; the exit code is kept when it
  // is the started program.
  void Reap(int Pid, int Options);

  std::string FPath, FTmpDir;
  bool FHadTmpDir = false;
  pid_t FChild = -1;
  int FStatus = -1;
};
