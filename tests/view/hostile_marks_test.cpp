// Marks that other people's files carry, through the view as a user drives it: the page of a
// TIFF file is loaded and shown with its marks, zoomed, fitted, turned and painted. Whatever
// the marks hold, nothing raises, nothing blocks, the memory stays bounded, and each mark is
// either made (with what it can show) or left out.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QImage>
#include <climits>
#include <cstdio>
#include <functional>

#include "AnnotationsEditor.h"
#include "annotationwriter.h"
#include "peak_memory.h"
#include "viewfixture.h"

using namespace annotest;

namespace {

constexpr int64_t kMiB = int64_t{1} << 20;

TAttributes WithFont(TAttributes A, int32_t Height) {
  A.FontHeight = Height;
  return A;
}

TAttributes WithPen(TAttributes A, int32_t LineSize) {
  A.LineSize = LineSize;
  return A;
}

// A mark referring to a picture file.
TBytes Referring(const std::string& Name) {
  return TPayloadWriter().Attributes(Kind(2, 0, 0, 15, 7)).Text(6, "OiFilNam", Name).Bytes();
}

TBytes One(const TAttributes& A) {
  return TPayloadWriter().Attributes(A).Bytes();
}

// What happens to the first mark of the file.
enum class TFate { Dropped, Made, MadeWithoutPicture };

struct TViewOfFile {
  TViewOfFile() {
    View.resize(300, 200);
    View.show();
    Editor = dynamic_cast<TAnnotationsEditor*>(View.AnnotationsEditor());
    Editor->SetVisible(true);
  }
  // Loads the page, shows it with its marks and drives the view through every setter that
  // moves or draws them.
  void ShowAndDrive(const std::string& Name) {
    View.Image().LoadImage(Name, 0);
    View.SetPage(0);
    Rendered(View);
    for (double Zoom : {400.0, 10000.0, 0.1}) {
      View.SetZoom(Zoom);
      Rendered(View);
    }
    View.SetZoomMode(TZoomMode::zmFitToPage);
    View.Rotate(90);
    View.SetZoomMode(TZoomMode::zmFitToWidth);
    View.Rotate(180);
    Rendered(View);
  }
  TNorvaneImage View;
  TAnnotationsEditor* Editor = nullptr;
};

}  // namespace

TEST(HostileMarks, NoMarkHurtsTheView) {
  TTempDir Dir;
  const std::string Fifo = Dir.File("fifo.bmp");
  ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
  const std::string Folder = Dir.File("folder.bmp");
  ASSERT_EQ(::mkdir(Folder.c_str(), 0700), 0);
  const std::string Huge = Dir.File("huge.bmp");  // sparse: it takes no room on the disk
  {
    std::FILE* File = std::fopen(Huge.c_str(), "wb");
    ASSERT_NE(File, nullptr);
    ASSERT_EQ(::ftruncate(::fileno(File), TAnnotationsEditor::kMaxPictureFileBytes + 1), 0);
    std::fclose(File);
  }
  QImage Picture(6, 4, QImage::Format_RGB32);
  Picture.fill(Qt::red);
  const std::string Good = Dir.File("good.bmp");
  ASSERT_TRUE(Picture.save(QString::fromStdString(Good), "BMP"));

  const struct {
    const char* What;
    TBytes Payload;
    TFate Fate;
  } cases[] = {
      {"bounds at the ends of 32 bits", One(Kind(6, INT_MIN, INT_MIN, INT_MAX, INT_MAX)),
       TFate::Dropped},
      {"a mark two billion pixels away", One(Kind(5, 2000000000, 10, 2000000100, 50)),
       TFate::Dropped},
      {"bounds just inside the reach",
       One(Kind(6, -TAnnotationsEditor::kMaxMarkCoordinate, 0,
                TAnnotationsEditor::kMaxMarkCoordinate, 7)),
       TFate::Made},
      {"a 30000 x 30000 filled rectangle on a small page", One(Kind(6, 0, 0, 29999, 29999)),
       TFate::Made},
      {"a hollow rectangle with the widest pen", One(WithPen(Kind(5, 0, 0, 29999, 29999), INT_MAX)),
       TFate::Made},
      {"a note with font height INT_MIN", One(WithFont(Kind(10, 0, 0, 29999, 29999), INT_MIN)),
       TFate::Made},
      {"a stamp with font height INT_MAX",
       TPayloadWriter()
           .Attributes(WithFont(Kind(9, 0, 0, 29999, 29999), INT_MAX))
           .AnText(72, "RICEVUTO")
           .Bytes(),
       TFate::Made},
      {"a line with points at the ends of 32 bits",
       TPayloadWriter()
           .Attributes(Kind(4, 0, 0, 15, 7))
           .Points({{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}})
           .Bytes(),
       TFate::Dropped},
      {"a huge line with the widest pen",
       TPayloadWriter()
           .Attributes(WithPen(Kind(3, 0, 0, 29999, 29999), INT_MAX))
           .Points({{0, 0}, {29999, 29999}})
           .Bytes(),
       TFate::Made},
      {"a picture that is a FIFO", Referring(Fifo), TFate::MadeWithoutPicture},
      {"a picture that is a folder", Referring(Folder), TFate::MadeWithoutPicture},
      {"a picture that is /dev/zero", Referring("/dev/zero"), TFate::MadeWithoutPicture},
      {"a picture larger than any", Referring(Huge), TFate::MadeWithoutPicture},
      {"a picture that is a bitmap file", Referring(Good), TFate::Made},
  };
  int Index = 0;
  for (const auto& c : cases) {
    const std::string Name = Dir.File("page" + std::to_string(Index++) + ".tif");
    WriteTiff(Name, {{c.Payload}}, false);
    TPeakMemory Memory;
    TViewOfFile Shown;
    EXPECT_NO_THROW(Shown.ShowAndDrive(Name)) << c.What;
    if (Memory.Available()) {
      EXPECT_LT(Memory.Growth(), 64 * kMiB) << c.What;
    }
    if (c.Fate == TFate::Dropped) {
      EXPECT_EQ(Shown.Editor->Count(), 0) << c.What;
      continue;
    }
    ASSERT_EQ(Shown.Editor->Count(), 1) << c.What;
    TGenericMark& Made = Shown.Editor->Marks(0);
    EXPECT_LE(Made.width(), QWIDGETSIZE_MAX) << c.What;
    if (auto* Image = dynamic_cast<TImageMark*>(&Made)) {
      EXPECT_EQ(Image->Dib() == nullptr, c.Fate == TFate::MadeWithoutPicture) << c.What;
    }
  }
}

// Marks placed by code as far out as 32 bits reach never make a setter of the view fail, and
// their bounds stay what a widget can take.
TEST(HostileMarks, FarMarksNeverMakeASetterFail) {
  const TRect cases[] = {
      {2000000000, 10, 2000000100, 50},
      {INT_MIN, INT_MIN, INT_MAX, INT_MAX},
      {INT_MAX, INT_MAX, INT_MAX, INT_MAX},
      {-5, INT_MIN, 5, -2000000000},
  };
  for (const TRect& Rect : cases) {
    TNorvaneImage View;
    View.resize(300, 200);
    View.show();
    std::unique_ptr<TDIB> Page = WhitePage(200, 100, pt8bit);
    Page->SetOwnsHandle(false);
    View.SetImageHandle(Page->GetHandle());
    auto& Editor = dynamic_cast<TAnnotationsEditor&>(*View.AnnotationsEditor());
    Editor.SetVisible(true);
    Editor.AddRectangle().SetMarkRect(Rect);
    TLineMark& Line = Editor.AddLineMark();
    Line.SetMarkRect(Rect);
    Line.AddPoint(INT_MAX, INT_MIN);
    Line.SetMarkRect({0, 0, 1, 1});
    Editor.AddStickNote().SetMarkRect(Rect);
    const std::string What = std::to_string(Rect.Left) + ", " + std::to_string(Rect.Top);
    EXPECT_NO_THROW({
      View.SetZoom(400);
      View.SetZoomMode(TZoomMode::zmFitToPage);
      View.SetZoom(10000);
      View.Rotate(90);
      View.Rotate(270);
      Rendered(View);
    }) << What;
    for (int32_t I = 0; I < Editor.Count(); ++I) {
      const QRect Bounds = Editor.Marks(I).geometry();
      EXPECT_GE(Bounds.width(), 0) << What;
      EXPECT_LE(Bounds.width(), QWIDGETSIZE_MAX) << What;
      EXPECT_LE(Bounds.height(), QWIDGETSIZE_MAX) << What;
    }
  }
}
