#include "LogBursts.h"

std::vector<std::string> TLogBursts::Admit(const std::string& Kind, size_t Allowance,
                                           const std::string& Text, TClock::time_point Now) {
  std::lock_guard lock(FLock);
  std::vector<std::string> lines;
  auto [it, fresh] = FBursts.try_emplace(Kind);
  TBurst& burst = it->second;
  if (!fresh && Now - burst.Last >= FQuiet) {
    if (burst.Left > 0) {
      lines.push_back(std::to_string(burst.Left) + " more lines like \"" + burst.First +
                      "\" not logged");
    }
    burst = TBurst{};
  }
  burst.Last = Now;
  if (burst.Logged == 0) burst.First = Text;
  if (burst.Logged < Allowance) {
    ++burst.Logged;
    lines.push_back(Text);
  } else {
    ++burst.Left;
  }
  return lines;
}
