// Drawing a page onto a device context.
#include "devicecontext.h"
#include "dibunit.h"

namespace {

// The context's stretch mode and brush origin, given back when the drawing ends.
class TDrawModes {
 public:
  TDrawModes(TDeviceContext& DC, uint8_t Mode) : FDC(DC), FOldMode(DC.GetStretchBltMode()) {
    switch (Mode) {
      case 0:
        DC.SetStretchBltMode(win32::COLORONCOLOR);
        break;
      case 1:
        DC.SetStretchBltMode(win32::BLACKONWHITE);
        break;
      case 2:
        DC.SetStretchBltMode(win32::WHITEONBLACK);
        break;
      case 3:
        DC.SetStretchBltMode(win32::HALFTONE);
        FOldOrigin = DC.SetBrushOrgEx({0, 0});
        FRestoreOrigin = true;
        break;
      default:
        break;
    }
  }
  ~TDrawModes() {
    if (FRestoreOrigin) FDC.SetBrushOrgEx(FOldOrigin);
    FDC.SetStretchBltMode(FOldMode);
  }
  TDrawModes(const TDrawModes&) = delete;
  TDrawModes& operator=(const TDrawModes&) = delete;

 private:
  TDeviceContext& FDC;
  int32_t FOldMode;
  win32::POINT FOldOrigin;
  bool FRestoreOrigin = false;
};

}  // namespace

void TDIB::Draw(TDeviceContext& DC, int32_t X, int32_t Y, int32_t Width, int32_t Height,
                uint8_t Mode) const {
  TDrawModes modes(DC, Mode);
  if (Empty()) return;
  DC.StretchDIBits(X, Y, Width, Height, 0, 0, this->Width(), this->Height(), FBits, *FHeader);
}
