#include "childprocess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "exception.h"

extern char** environ;

TChildProcess::TChildProcess(const std::string& Program, const std::vector<std::string>& Arguments,
                             const std::string& Output)
    : FOutput(Output) {
  std::vector<std::string> words{Program};
  words.insert(words.end(), Arguments.begin(), Arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, Output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  int error = posix_spawnp(&FPid, Program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) throw Exception("Unable to start " + Program + ": " + std::strerror(error));
}

TChildProcess::~TChildProcess() {
  if (Running()) {
    ::kill(FPid, SIGKILL);
    ::waitpid(FPid, nullptr, 0);
  }
}

bool TChildProcess::Running() {
  if (FStatus != -1) return false;
  int status = 0;
  if (::waitpid(FPid, &status, WNOHANG) != FPid) return true;
  FStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return false;
}

int TChildProcess::Wait(int Seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(Seconds);
  while (Running()) {
    if (std::chrono::steady_clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return FStatus;
}

void TChildProcess::Signal(int Number) {
  if (Running()) ::kill(FPid, Number);
}

std::string TChildProcess::Output() const {
  std::ifstream in(FOutput);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}
