// Annotation payloads and TIFF files through the annotation reader: a TIFF (starting "II" or
// "MM") is asked for its first three pages, anything else is parsed as a tag payload.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "AnnotationsUnit.h"
#include "exception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  annotations::TAnnotations List;
  const bool Tiff = Size >= 2 && Data[0] == Data[1] && (Data[0] == 'I' || Data[0] == 'M');
  if (Tiff) {
    TMemoryStream Stream(std::vector<uint8_t>(Data, Data + Size));
    for (int32_t Page = 0; Page < 3; ++Page) {
      try {
        List.LoadFromTiffStream(Stream, Page);
      } catch (const Exception&) {
      }
    }
  } else {
    try {
      List.LoadFromBuffer(Data, static_cast<int64_t>(Size));
    } catch (const Exception&) {
    }
  }
  for (int32_t I = 0; I < List.Count(); ++I) (void)List.Items(I)->Kind;
  return 0;
}
