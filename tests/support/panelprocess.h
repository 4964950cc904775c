// A control panel `clarivo` of the caller's own, as a user would start it: a program folder
// (with its "test" folder for the test scanner), settings, a runtime folder and a Windows
// directory (TWAIN_32.DLL and Clarivo.ds) in a folder of its own, and a free port. The
// environment points at them while the object lives. Every control panel that runs from its
// program folder, whoever started it, is ended with it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class TPanelProcess {
 public:
  // Makes the folders and the settings for the test scanner, with deskew and thresholding off.
  TPanelProcess(const std::string& Name, const std::string& Clarivo, const std::string& Manager,
                const std::string& DataSource);
  ~TPanelProcess();
  TPanelProcess(const TPanelProcess&) = delete;
  TPanelProcess& operator=(const TPanelProcess&) = delete;

  // Starts the program, its standard error to the file "clarivo.err" of Root; true once its
  // port accepts, within 20 seconds.
  bool Start();
  // Ends every running control panel as a session ends (SIGTERM), killing what has not ended
  // within ten seconds.
  void End();
  // The control panels running from the program folder.
  std::vector<int> Running() const;
  // The standard error of the program Start started.
  std::string ErrorLog() const;

  static uint16_t FreePort();

  std::filesystem::path Root;
  std::filesystem::path ProgramDir;
  uint16_t Port = 0;

 private:
  std::string FPath;
};
