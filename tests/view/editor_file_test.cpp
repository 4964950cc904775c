// Marks made from the annotations of real TIFF files: an embedded picture is shown from a block
// of the mark's own, which outlives the annotations and is freed once, with the mark.
#include <gtest/gtest.h>

#include <QPainter>
#include <cstdlib>
#include <filesystem>

#include "AnnotationsEditor.h"
#include "annotationwriter.h"

using namespace annotest;

namespace {

struct TMarkFiles : ::testing::Test {
  TMarkFiles() {
    char Pattern[] = "/tmp/clarivo-marks-XXXXXX";
    Dir = mkdtemp(Pattern);
  }
  ~TMarkFiles() override {
    std::error_code Error;
    std::filesystem::remove_all(Dir, Error);
  }
  std::string File(const std::string& Name) const { return (Dir / Name).string(); }
  std::filesystem::path Dir;
};

QRgb CentreOf(const TGenericMark& Mark) {
  QImage Canvas(Mark.RenderBitmap().Image.size(), QImage::Format_RGB32);
  Canvas.fill(Qt::white);
  QPainter Painter(&Canvas);
  Mark.DrawMark(Painter, 0, 0);
  return Canvas.pixel(Canvas.width() / 2, Canvas.height() / 2);
}

}  // namespace

TEST_F(TMarkFiles, EmbeddedPicturesGetABlockOfTheirOwn) {
  for (const bool Big : {false, true}) {
    const TBytes Payload = TPayloadWriter()
                               .Attributes(Kind(1, 10, 10, 49, 29))
                               .Block(6, "OiDIB", PackedDib(4, 3, 77))
                               .Attributes(Kind(6, 0, 0, 9, 9))
                               .Bytes();
    const TBytes Broken = TPayloadWriter()
                              .Attributes(Kind(1, 0, 0, 19, 19))
                              .Block(6, "OiDIB", PackedDib(2, 2, 200))
                              .Block(6, "OiDIB", TBytes(4), 400)  // runs past the payload
                              .Bytes();
    const std::string Name = File(Big ? "big.tif" : "little.tif");
    WriteTiff(Name, {{Payload}, {Broken}}, Big);
    const size_t Before = win32::GlobalLiveBytes();
    {
      QWidget Surface;
      TAnnotationsEditor Editor;
      Editor.SetSurface(&Surface);
      Editor.LoadMarks(Name, 0);
      ASSERT_EQ(Editor.Count(), 2);
      EXPECT_FALSE(Editor.Modified());
      auto& Image = dynamic_cast<TImageMark&>(Editor.Marks(0));
      ASSERT_NE(Image.Dib(), nullptr);
      EXPECT_EQ(CentreOf(Image), qRgb(77, 77, 77));
      EXPECT_TRUE(dynamic_cast<TRectangleMark*>(&Editor.Marks(1)) != nullptr);

      Editor.LoadMarks(Name, 1);  // what was read before the failure is shown
      ASSERT_EQ(Editor.Count(), 1);
      EXPECT_EQ(CentreOf(Editor.Marks(0)), qRgb(200, 200, 200));
      Editor.LoadMarks("", 0);
      EXPECT_EQ(Editor.Count(), 0);
      Editor.LoadMarks(Name, 0);
    }
    EXPECT_EQ(win32::GlobalLiveBytes(), Before) << Big;
  }
}
