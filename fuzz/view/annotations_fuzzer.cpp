// Annotation payloads and TIFF files through the annotation reader and on into the page view:
// a TIFF (starting "II" or "MM") is asked for its first three pages, each from the start of
// the stream, anything else is parsed as a tag payload. The marks read are then made on the
// view of a small page, offscreen, and zoomed, fitted, turned, cropped and painted.
#include <QApplication>
#include <QImage>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "AnnotationsEditor.h"
#include "AnnotationsUnit.h"
#include "NewObjImage.h"
#include "exception.h"

namespace {

QApplication& Application() {
  static int argc = 1;
  static char name[] = "annotations_fuzzer";
  static char* argv[] = {name, nullptr};
  static std::unique_ptr<QApplication> application = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QApplication>(argc, argv);
  }();
  return *application;
}

// A fresh 200 x 100 page for the view, which owns it from then on.
void ShowNewPage(TNorvaneImage& View) {
  TDIB Page;
  Page.NewImage(200, 100, pt8bit, 200, 200);
  Page.SetOwnsHandle(false);
  View.SetImageHandle(Page.GetHandle());
}

void Paint(TNorvaneImage& View) {
  QImage Surface(View.size(), QImage::Format_RGB32);
  View.render(&Surface);
}

// The marks of the list on the view, through everything that moves or draws them.
void ShowMarks(const annotations::TAnnotations& List) {
  static TNorvaneImage View;
  View.resize(300, 200);
  ShowNewPage(View);
  auto& Editor = dynamic_cast<TAnnotationsEditor&>(*View.AnnotationsEditor());
  View.SetZoom(100);
  try {
    Editor.AnnotationsToMarks(List, View.Zoom(), 200);
  } catch (const Exception&) {
    // A referenced picture that cannot be read ends the marks; those made are shown.
  }
  Editor.SetVisible(true);
  Paint(View);
  for (double Zoom : {400.0, 0.1, 10000.0}) {
    View.SetZoom(Zoom);
    Paint(View);
  }
  View.SetZoomMode(TZoomMode::zmFitToPage);
  View.Rotate(90);
  Paint(View);
  View.Rotate(270);
  View.Crop({20, 10, 179, 89});
  Paint(View);
  View.SetZoomMode(TZoomMode::zmCustom);
  Editor.Clear();
  Editor.SetVisible(false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  Application();
  annotations::TAnnotations List;
  const bool Tiff = Size >= 2 && Data[0] == Data[1] && (Data[0] == 'I' || Data[0] == 'M');
  if (Tiff) {
    TMemoryStream Stream(std::vector<uint8_t>(Data, Data + Size));
    for (int32_t Page = 0; Page < 3; ++Page) {
      Stream.SetPosition(0);
      try {
        List.LoadFromTiffStream(Stream, Page);
      } catch (const Exception&) {
      }
      ShowMarks(List);
    }
  } else {
    try {
      List.LoadFromBuffer(Data, static_cast<int64_t>(Size));
    } catch (const Exception&) {
    }
    ShowMarks(List);
  }
  return 0;
}
