#include "vekTWAINXferFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "twain.h"

namespace {

struct TExtFormat {
  const char* Ext;
  uint8_t Format;
};

// In the order the extensions are compared.
constexpr std::array<TExtFormat, 7> kExtFormats = {{
    {".tif", TWFF_TIFF},
    {".pct", TWFF_PICT},
    {".xbm", TWFF_XBM},
    {".bmp", TWFF_BMP},
    {".jpg", TWFF_JFIF},
    {".fpx", TWFF_FPX},
    {".png", TWFF_PNG},
}};

std::string LowerCase(std::string Text) {
  for (char& c : Text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return Text;
}

size_t FilePartStart(const std::string& Name) {
  const size_t slash = Name.rfind('/');
  return slash == std::string::npos ? 0 : slash + 1;
}

// The directory with its closing '/', empty for a bare file name.
std::string ExtractFilePath(const std::string& Name) {
  return Name.substr(0, FilePartStart(Name));
}

bool DirectoryExists(const std::string& Directory) {
  struct stat info;
  return !Directory.empty() && stat(Directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string TempDirectory() {
  const char* tmp = std::getenv("TMPDIR");
  std::string directory = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  if (directory.back() != '/') directory += '/';
  return directory;
}

// A name the system made unique in the temporary directory; its file is gone again.
std::string FreshTempName() {
  const std::string pattern = TempDirectory() + "TWNXXXXXX.tmp";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int file = mkstemps(name.data(), 4);
  if (file < 0) throw EInOutError(std::string("I/O error ") + std::to_string(errno));
  close(file);
  if (unlink(name.data()) != 0)
    throw EInOutError(std::string("I/O error ") + std::to_string(errno));
  return name.data();
}

}  // namespace

std::string ExtractFileExt(const std::string& Name) {
  const size_t dot = Name.rfind('.');
  if (dot == std::string::npos || dot < FilePartStart(Name)) return "";
  return Name.substr(dot);
}

uint8_t FileFormatOfExt(const std::string& Name) {
  const std::string ext = LowerCase(ExtractFileExt(Name));
  for (const TExtFormat& entry : kExtFormats) {
    if (ext == entry.Ext) return entry.Format;
  }
  return TTwnFileFmtUnknown;
}

std::string ExtOfFileFormat(uint8_t Format) {
  switch (Format) {
    case TWFF_TIFF:
    case TWFF_TIFFMULTI:
      return "tif";
    case TWFF_PICT:
      return "pct";
    case TWFF_BMP:
      return "bmp";
    case TWFF_XBM:
      return "xbm";
    case TWFF_JFIF:
      return "jpg";
    case TWFF_FPX:
      return "fpx";
    case TWFF_PNG:
      return "png";
    default:
      return "";
  }
}

std::string StripFileExt(const std::string& Name) {
  const size_t start = FilePartStart(Name);
  const std::string lowered = Name.substr(0, start) + LowerCase(Name.substr(start));
  const std::string ext = ExtractFileExt(lowered);
  if (ext.empty() || ext.size() == lowered.size()) return lowered;
  return lowered.substr(0, lowered.size() - ext.size());
}

std::string MakeXferFileName(const std::string& Name, const std::string& Ext) {
  const std::string name = DirectoryExists(ExtractFilePath(Name)) ? Name : FreshTempName();
  return StripFileExt(name) + "." + Ext;
}
