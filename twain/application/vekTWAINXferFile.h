// The file-name rules of file transfers: the format an extension names and back, and the
// target file's name. Names are paths of this system ('/' between directories); a file's name
// is lower-cased, its directory kept as it is, since directories are told apart by case here.
#pragma once

#include <cstdint>
#include <string>

#include "exception.h"

// A file could not be deleted or created on the way to a transfer's file name.
class EInOutError : public Exception {
 public:
  using Exception::Exception;
};

// The extension of the name's last part, from its last '.', with the '.'; empty when there is
// none.
std::string ExtractFileExt(const std::string& Name);

// ".tif" TWFF_TIFF, ".pct" TWFF_PICT, ".xbm" TWFF_XBM, ".bmp" TWFF_BMP, ".jpg" TWFF_JFIF,
// ".fpx" TWFF_FPX, ".png" TWFF_PNG, in any case; anything else TTwnFileFmtUnknown. Never
// TWFF_TIFFMULTI.
uint8_t FileFormatOfExt(const std::string& Name);
// "tif" for both TIFF formats, "pct", "bmp", "xbm", "jpg", "fpx", "png"; empty for others.
std::string ExtOfFileFormat(uint8_t Format);
// The name with its file part lower-cased and without its extension; a name that has no
// extension, or is nothing but one, is only lower-cased.
std::string StripFileExt(const std::string& Name);
// StripFileExt(Name) + "." + Ext. When Name's directory does not exist, Name is first
// replaced by a fresh "TWN" name in the temporary directory, whose file is made by the system
// and deleted again at once. Raises EInOutError when that file cannot be made or deleted.
std::string MakeXferFileName(const std::string& Name, const std::string& Ext);
