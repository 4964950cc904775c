// twain_32-helper, the Source Manager's helper program beside TWAIN_32.DLL. The manager runs
// it for what must not happen inside the application's process, one question a run:
//
//   twain_32-helper identity <library> <asker identity in hex>
//       loads the data source, asks DAT_IDENTITY / MSG_GET with the application's identity as
//       origin and writes the TW_IDENTITY answered (its 156 bytes) to the standard output. A
//       source that crashes or hangs takes only this process with it.
//   twain_32-helper default
//       writes the path of the data source this user chose or opened last (may be empty).
//   twain_32-helper remember <library>
//       keeps that path in the user's settings.
//   twain_32-helper select <default row> <product name>...
//       shows the list of sources to choose from and writes the row chosen; exit status 1
//       when the user cancels.
//
// Exit status 0 when the answer is written; kNoAnswer (3) when a library loads but is no data
// source or answers no identity. The process ends with _exit once it is written,
// so that nothing a data source left behind runs after its answer.
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "boundaryguard.h"
#include "defaultsource.h"
#include "identityhex.h"
#include "library.h"
#include "sourceselectdialog.h"
#include "twain.h"

namespace {

constexpr int kNoAnswer = 3;

int Answer(const void* Data, size_t Size) {
  bool written = std::fwrite(Data, 1, Size, stdout) == Size && std::fflush(stdout) == 0;
  _exit(written ? 0 : 1);
}

int AnswerText(const std::string& Text) {
  return Answer(Text.data(), Text.size());
}

int Identity(const char* Path, const char* AskerHex) {
  TW_IDENTITY asker{};
  if (!IdentityFromHex(AskerHex, asker)) return 2;
  win32::HMODULE module = win32::LoadLibrary(Path);
  if (module == nullptr) return kNoAnswer;
  auto entry = reinterpret_cast<DSENTRYPROC>(win32::GetProcAddress(module, "DS_Entry"));
  TW_IDENTITY identity{};
  TW_UINT16 rc = TWRC_FAILURE;
  if (entry != nullptr)
    rc = Guarded([&] { return entry(&asker, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity); },
                 [] { return TWRC_FAILURE; });
  win32::FreeLibrary(module);
  if (rc != TWRC_SUCCESS) return kNoAnswer;
  return Answer(&identity, sizeof identity);
}

int Select(int Argc, char** Argv) {
  QApplication application(Argc, Argv);
  std::vector<QString> names;
  for (int i = 3; i < Argc; ++i) names.push_back(QString::fromUtf8(Argv[i]));
  TSourceSelectDialog dialog(names, std::atoi(Argv[2]));
  if (dialog.exec() != QDialog::Accepted || dialog.ChosenRow() < 0) _exit(1);
  return AnswerText(std::to_string(dialog.ChosenRow()));
}

}  // namespace

int main(int Argc, char** Argv) {
  const std::string mode = Argc > 1 ? Argv[1] : "";
  if (mode == "identity" && Argc == 4) return Identity(Argv[2], Argv[3]);
  if (mode == "default" && Argc == 2) return AnswerText(ReadDefaultSource());
  if (mode == "remember" && Argc == 3) return RememberDefaultSource(Argv[2]) ? 0 : 1;
  if (mode == "select" && Argc >= 4) return Select(Argc, Argv);
  std::fprintf(stderr, "twain_32-helper: the Source Manager's helper, not to be run by hand\n");
  return 2;
}
