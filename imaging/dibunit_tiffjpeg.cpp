#include "dibunit.h"

void TDIB::LoadTIFF(TStream&, int32_t) {
  FreeImage();
  throw Exception("TIFF pages cannot be read yet");
}

void TDIB::LoadJPEG(TStream&) {
  FreeImage();
  throw Exception("JPEG pages cannot be read yet");
}
