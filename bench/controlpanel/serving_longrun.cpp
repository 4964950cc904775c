// The serving path for a long run in one process, run by hand (not a test): PAGES pages of the
// bench page (the generated page without the test data), each loaded from its BMP file,
// processed, checked and written out, with one pipeline. Every hundred pages it prints the mean
// time per page and per step, the minor page faults per page, the resident memory and the
// pipeline's working memory, so that a drift in time or memory shows.
//   serving_longrun [PAGES=1000]
#include <chrono>
#include <cstdio>
#include <map>
#include <string>

#include "servingpath.h"

namespace {

using TMilliseconds = std::chrono::duration<double, std::milli>;

constexpr int kBlock = 100;

double MiB(size_t Bytes) {
  return static_cast<double>(Bytes) / (1 << 20);
}

}  // namespace

int main(int argc, char** argv) {
  const int pages = argc > 1 ? std::atoi(argv[1]) : 1000;
  TCachedPage bench(kBenchPage);
  TCachedPage generated(kGeneratedPage);
  const TCachedPage& cached = bench.File().empty() ? generated : bench;
  if (cached.File().empty()) {
    std::fprintf(stderr, "no page: %s\n", cached.Reason().c_str());
    return 1;
  }
  std::printf("%d pages of %s\n", pages,
              &cached == &bench ? "the bench page" : "the generated page");
  std::printf("%6s %8s %8s %8s %8s %8s %8s %9s %9s\n", "pages", "ms/page", "load", "process", "qc",
              "save", "faults", "RSS MiB", "work MiB");
  TProcessingPipeline pipeline = ServingPipeline();
  std::map<std::string, double> spent;
  double total = 0;
  long faults = MinorFaults();
  for (int n = 1; n <= pages; ++n) {
    try {
      ServePage(pipeline, cached.File(), [&](const char* name, auto&& step) {
        const auto start = std::chrono::steady_clock::now();
        step();
        const double ms = TMilliseconds(std::chrono::steady_clock::now() - start).count();
        spent[name] += ms;
        total += ms;
      });
    } catch (const Exception& e) {
      std::fprintf(stderr, "page %d: %s\n", n, e.what());
      return 1;
    }
    if (n % kBlock == 0 || n == pages) {
      const int block = n % kBlock == 0 ? kBlock : n % kBlock;
      const long now = MinorFaults();
      std::printf("%6d %8.2f %8.2f %8.2f %8.2f %8.2f %8.1f %9.1f %9.1f\n", n, total / block,
                  spent["load"] / block, spent["process"] / block, spent["qc"] / block,
                  spent["save"] / block, static_cast<double>(now - faults) / block,
                  MiB(ResidentBytes()), MiB(pipeline.WorkingMemory()));
      std::fflush(stdout);
      spent.clear();
      total = 0;
      faults = now;
    }
  }
  return 0;
}
