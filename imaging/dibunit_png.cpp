#include "dibunit.h"

void TDIB::LoadPNG(TStream&) {
  FreeImage();
  throw Exception("PNG pages cannot be read yet");
}
