// The serving path as the control panel runs it, shared by its benchmark and its long run: the
// page is loaded from the uncompressed BMP file that the page cache stores, processed for a
// black-and-white target, quality-checked and written out as a BMP image in memory.
#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "ProcessingPipeline.h"
#include "pagegen.h"

enum TServedPage { kGeneratedPage, kBenchPage };
inline const char* const kServedPageNames[] = {"generated", "bench_page"};

// The page as a BMP file in the temporary folder, written when it is made and removed with it;
// File() is "" and Reason() says why when the page cannot be had.
class TCachedPage {
 public:
  explicit TCachedPage(TServedPage Which) {
    try {
      std::unique_ptr<TDIB> page;
      if (Which == kGeneratedPage) {
        page = MakeReferencePage(ReferencePageOptions(pt8bit));
      } else {
        page = std::make_unique<TDIB>();
        page->LoadFromFile(CLARIVO_TESTDATA "/bench/page-a4-300-gray.png");
      }
      const char* tmp = std::getenv("TMPDIR");
      FFile = std::string(tmp != nullptr ? tmp : "/tmp") + "/clarivo-serving-" +
              std::to_string(getpid()) + "-" + kServedPageNames[Which] + ".bmp";
      page->SaveToFile(FFile);
    } catch (const Exception& e) {
      FFile.clear();
      FReason = e.what();
    }
  }
  ~TCachedPage() {
    if (!FFile.empty()) std::remove(FFile.c_str());
  }
  TCachedPage(const TCachedPage&) = delete;
  TCachedPage& operator=(const TCachedPage&) = delete;

  const std::string& File() const { return FFile; }
  const std::string& Reason() const { return FReason; }

 private:
  std::string FFile, FReason;
};

// The settings of the pipeline benchmark, quality control on.
inline TProcessingPipeline ServingPipeline() {
  TProcessingPipeline p;
  p.Checks.Despeckle = p.Checks.BlackBorderRemoval = p.Checks.AutoCrop = p.Checks.QC = true;
  p.Parameters.BlackBackground = true;
  p.Parameters.BlackBorderThreshold = 30;
  p.ScanRequest.Threshold = 128;
  return p;
}

// One page through the path; Time(name, step) runs each step (load, process, qc, save).
template <class TTime>
void ServePage(TProcessingPipeline& Pipeline, const std::string& File, TTime&& Time) {
  TDIB page;
  Time("load", [&] { page.LoadFromFile(File); });
  Time("process", [&] { Pipeline.ProcessPage(page, pt1bit, 300, 300); });
  volatile bool failed = false;
  Time("qc", [&] { failed = Pipeline.QualityCheck(page); });
  Time("save", [&] {
    TMemoryStream image;
    page.SaveToStream(image);
    volatile uint8_t first = image.Memory()[0];
    (void)first;
  });
  (void)failed;
}

inline long MinorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

// The process's resident memory in bytes.
inline size_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  size_t pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}
