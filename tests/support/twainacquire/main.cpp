// twain-acquire: a small TWAIN application. It opens the Source Manager of the Windows
// directory, takes a short batch from one source by native transfer and then by memory
// transfer, writes each page as a BMP file and prints where it is and how long it took.
//
//   twain-acquire [--source NAME] [--pages N] [--out DIR] [--ui] [--duplex]
//                 [--timeout SECONDS]
//   twain-acquire --list
//
// Exit code 0 when each pass brought at least one page, 1 when one brought none, 2 for a
// failure (told on the standard error).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "acquisition.h"
#include "exception.h"

namespace {

struct TCommandLine {
  TAcquireOptions Options;
  bool List = false;
};

[[noreturn]] void Usage(const std::string& Problem) {
  std::fprintf(stderr,
               "twain-acquire: %s\n"
               "usage: twain-acquire [--source NAME] [--pages N] [--out DIR] [--ui] [--duplex] "
               "[--timeout SECONDS]\n"
               "       twain-acquire --list\n",
               Problem.c_str());
  std::exit(2);
}

int Count(const std::string& Text, const char* Option) {
  char* end = nullptr;
  long value = std::strtol(Text.c_str(), &end, 10);
  if (Text.empty() || *end != '\0' || value < 1 || value > 10000)
    Usage(std::string(Option) + " needs a number from 1 to 10000");
  return static_cast<int>(value);
}

TCommandLine Parse(int argc, char** argv) {
  TCommandLine line;
  line.Options.OutDir = "twain-acquire-pages";
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) Usage(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--source")
      line.Options.Source = value();
    else if (arg == "--pages")
      line.Options.Pages = Count(value(), "--pages");
    else if (arg == "--out")
      line.Options.OutDir = value();
    else if (arg == "--timeout")
      line.Options.TimeoutMs = Count(value(), "--timeout") * 1000;
    else if (arg == "--ui")
      line.Options.ShowUI = true;
    else if (arg == "--duplex")
      line.Options.Duplex = true;
    else if (arg == "--list")
      line.List = true;
    else
      Usage("unknown argument " + arg);
  }
  return line;
}

void PrintPage(const TReceivedPage& Page) {
  std::printf("%s page %d: %s (%d x %d, %d bit) in %.1f ms\n", Page.Mechanism.c_str(), Page.Number,
              Page.File.c_str(), Page.Width, Page.Height, Page.BitCount, Page.Milliseconds);
  std::fflush(stdout);
}

int Run(const TCommandLine& Line) {
  TAcquisition acquisition(Line.Options);
  if (Line.List) {
    for (const std::string& name : acquisition.SourceNames()) std::printf("%s\n", name.c_str());
    return 0;
  }
  std::filesystem::create_directories(Line.Options.OutDir);
  int result = 0;
  for (TW_UINT16 mechanism : {TWSX_NATIVE, TWSX_MEMORY}) {
    if (acquisition.Pass(mechanism, PrintPage).empty()) {
      std::fprintf(stderr, "twain-acquire: no page came by %s transfer\n",
                   mechanism == TWSX_NATIVE ? "native" : "memory");
      result = 1;
    }
  }
  std::printf("pages written to %s\n",
              std::filesystem::absolute(Line.Options.OutDir).string().c_str());
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  TCommandLine line = Parse(argc, argv);
  try {
    return Run(line);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "twain-acquire: %s\n", e.what());
    return 2;
  }
}
