#include "defaultsource.h"

#include "exception.h"
#include "registry.h"

namespace {

constexpr char kKey[] = "Software\\Dovantic Technologies\\TWAIN_32";
constexpr char kSection[] = "Default Source";
constexpr char kPath[] = "Path";

}  // namespace

std::string ReadDefaultSource() {
  TRegIniFile settings(kKey);
  return settings.ReadString(kSection, kPath, QString()).toStdString();
}

bool RememberDefaultSource(const std::string& Path) {
  try {
    TRegIniFile settings(kKey);
    settings.WriteString(kSection, kPath, QString::fromStdString(Path));
    settings.UpdateFile();
    return true;
  } catch (const Exception&) {
    return false;
  }
}
