// The peak resident memory of the test process from a given moment on: the kernel's high-water
// mark is reset when the object is made, and read back as the growth over the memory resident
// then. Where the kernel does not allow the reset, Available() is false.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

class TPeakMemory {
 public:
  TPeakMemory() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.close();
    FAvailable = static_cast<bool>(clear);
    FStart = Field("VmRSS:");
  }

  bool Available() const { return FAvailable && FStart >= 0; }
  // Bytes by which the peak has grown over the resident memory at the start.
  int64_t Growth() const { return Field("VmHWM:") - FStart; }

 private:
  static int64_t Field(const std::string& Name) {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
      if (key == Name) {
        int64_t kb = 0;
        status >> kb;
        return kb * 1024;
      }
      status.ignore(1 << 12, '\n');
    }
    return -1;
  }

  bool FAvailable = false;
  int64_t FStart = -1;
};
