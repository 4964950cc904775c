// The page files that the scan server wrote for its clients and that a client is to take
// (load and delete). A file that no one took within the keeping time is deleted, as is every
// file still there when the keeper ends, and one connection holds at most a few at once: a
// peer that asks for files and never takes them cannot fill the disk. The keeper's thread
// sleeps until the oldest file is due, and without end while there is none.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

class TPageFiles {
 public:
  using TClock = std::chrono::steady_clock;

  TPageFiles(TClock::duration Keep, size_t PerConnection);
  // Deletes every file still kept.
  ~TPageFiles();
  TPageFiles(const TPageFiles&) = delete;
  TPageFiles& operator=(const TPageFiles&) = delete;

  // Keeps Path, written for the connection Owner; the connection's oldest file goes when it
  // holds more than PerConnection.
  void Add(uint64_t Owner, const std::string& Path);
  // Deletes Path at once: its reply did not reach the client.
  void Drop(const std::string& Path);
  size_t Count();

 private:
  struct TFile {
    uint64_t Owner;
    std::string Path;
    TClock::time_point Due;
  };

  void Sweep();
  void DeleteDue(TClock::time_point Now);

  TClock::duration FKeep;
  size_t FPerConnection;
  std::mutex FLock;
  std::condition_variable FChanged;
  std::deque<TFile> FFiles;  // oldest first
  bool FEnding = false;
  std::thread FSweeper;
};
