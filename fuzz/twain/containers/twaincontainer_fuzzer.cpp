// Arbitrary bytes as a block handed to a container, then as operations on it.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "vekTWAINContainer.h"

namespace {
struct TReader {
  const uint8_t* Data;
  size_t Size;
  uint8_t Byte() {
    if (!Size) return 0;
    --Size;
    return *Data++;
  }
  uint16_t Word() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
};
class TStep : public TTwnContainer {
 public:
  using TTwnContainer::SetRangeValue;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TReader in{data, size};
  uint16_t kind = 2 + in.Byte() % 6;
  uint16_t cap = in.Byte() % 2 ? ICAP_FRAMES : in.Word();
  size_t blockSize = in.Word() % 600;
  if (blockSize > in.Size) blockSize = in.Size;
  TTwnBlock block(in.Data, in.Data + blockSize);
  in.Data += blockSize;
  in.Size -= blockSize;
  TStep c;
  c.SetCapability(cap);
  try {
    c.SetContainer(cap, kind, block);
  } catch (const Exception&) {
  }
  const Variant values[] = {0, -1, 7, 65536, 2.5, -40000.0, true, "", "12", std::string(300, 'q')};
  while (in.Size) {
    uint8_t op = in.Byte();
    int index = static_cast<int16_t>(in.Word());
    const Variant& v = values[in.Byte() % std::size(values)];
    Variant item = -1;
    try {
      switch (op % 16) {
        case 0:
          c.GetItem(index, item);
          break;
        case 1:
          c.SetItem(index, v);
          break;
        case 2:
          c.SetCurrentValue(v);
          break;
        case 3:
          c.SetDefaultValue(v);
          break;
        case 4:
          (void)c.GetCurrentValue();
          (void)c.GetDefaultValue();
          break;
        case 5:
          (void)c.GetMaxValue();
          (void)c.GetMinValue();
          (void)c.GetStepSize();
          break;
        case 6:
          c.SetNumItems(index % 2000);
          break;
        case 7:
          c.SetItemType(static_cast<uint16_t>(index));
          break;
        case 8:
          c.AddItem(v);
          break;
        case 9:
          c.SetCurrentIndex(index);
          c.SetDefaultIndex(index);
          break;
        case 10: {
          const TTwnBlock* b = c.GetContainerData(index & 1);
          if (b) {
            volatile uint8_t s = 0;
            for (uint8_t x : *b) s = s + x;
          }
          (void)c.IndexOf(v);
          break;
        }
        case 11: {
          TTwnContainer copy;
          copy.Assign(c);
          c.UpdateFrames(index);
          break;
        }
        case 12:
          c.SetContainerType(static_cast<uint16_t>(2 + index % 6));
          break;
        case 13:
          c.SetCapability(static_cast<uint16_t>(index));
          break;
        case 14:
          c.SetRangeValue(static_cast<size_t>(index) % 24, v);
          c.SetMaxValue(v);
          c.SetMinValue(v);
          break;
        case 15:
          c.Clear();
          break;
      }
    } catch (const Exception&) {
    }
    for (const auto& f : c.Frames()) f->FrameData()->Bottom.Whole ^= 1;
  }
  return 0;
}
