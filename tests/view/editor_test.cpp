// The annotation editor and its marks, driven headless: their rectangles at each zoom and
// quarter turn, what each kind renders (key colours, highlighting, pen widths), selection with
// the frame, the marks made from annotations, and the properties dialog opened from the view.
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTimer>
#include <cstring>

#include "AnnotationsEditor.h"
#include "viewfixture.h"

namespace {

using namespace annotations;

struct TEditorFixture : ::testing::Test {
  TEditorFixture() {
    Surface.resize(400, 300);
    Editor.SetSurface(&Surface);
    Editor.SetVisible(true);
    Editor.SetResolution(200);
  }
  QWidget Surface;
  TAnnotationsEditor Editor;
};

bool SameRect(const TRect& A, const TRect& B) {
  return A.Left == B.Left && A.Top == B.Top && A.Right == B.Right && A.Bottom == B.Bottom;
}

// The mark drawn with DrawMark over a canvas of one colour.
QImage DrawnOver(const TGenericMark& Mark, QRgb Page) {
  const TMarkBitmap Bitmap = Mark.RenderBitmap();
  QImage Canvas(std::max(1, Bitmap.Image.width()), std::max(1, Bitmap.Image.height()),
                QImage::Format_RGB32);
  Canvas.fill(Page);
  QPainter Painter(&Canvas);
  Mark.DrawMark(Painter, 0, 0);
  return Canvas;
}

// The run of pixels of the colour along row Y from the left edge.
int RunFromLeft(const QImage& Image, int Y, QRgb Color) {
  int X = 0;
  while (X < Image.width() && Image.pixel(X, Y) == Color) ++X;
  return X;
}

void Mouse(QWidget* W, QEvent::Type Type, QPoint At) {
  const Qt::MouseButtons Held = Type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent E(Type, QPointF(At), W->mapToGlobal(QPointF(At)),
                Type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, Held, Qt::NoModifier);
  QApplication::sendEvent(W, &E);
}

void Drag(QWidget* W, QPoint From, QPoint To) {
  Mouse(W, QEvent::MouseButtonPress, From);
  Mouse(W, QEvent::MouseMove, To);
  Mouse(W, QEvent::MouseButtonRelease, To);
}

}  // namespace

TEST_F(TEditorFixture, BoundsAndBitmapFollowTheZoom) {
  const struct {
    TRect Given;
    double Zoom;
    TRect Stored;
    QRect Bounds;
    QSize Bitmap;
  } cases[] = {
      {{10, 20, 109, 219}, 50, {10, 20, 109, 219}, QRect(5, 10, 49, 100), QSize(50, 100)},
      {{100, 50, 10, 5}, 100, {10, 5, 100, 50}, QRect(10, 5, 90, 45), QSize(91, 46)},
      {{0, 0, 99, 49}, 200, {0, 0, 99, 49}, QRect(0, 0, 198, 98), QSize(200, 100)},
      {{3, 3, 3, 3}, 25, {3, 3, 3, 3}, QRect(1, 1, 0, 0), QSize(0, 0)},
  };
  for (const auto& c : cases) {
    Editor.SetZoom(c.Zoom);
    TRectangleMark& Mark = Editor.AddRectangle();
    Mark.SetMarkRect(c.Given);
    EXPECT_TRUE(SameRect(Mark.ImageRect(), c.Stored)) << c.Zoom;
    EXPECT_EQ(Mark.geometry(), c.Bounds) << c.Zoom;
    EXPECT_EQ(Mark.RenderBitmap().Image.size(), c.Bitmap) << c.Zoom;
  }
  Editor.SetZoom(100);  // every mark follows, the first as the last
  EXPECT_EQ(Editor.Marks(0).geometry(), QRect(10, 20, 99, 199));
}

TEST_F(TEditorFixture, MarksBelongToAnEditorAndNeverRenderUnscaled) {
  QObject NotAnEditor;
  try {
    TRectangleMark Mark(&NotAnEditor);
    ADD_FAILURE() << "a mark outside an editor was made";
  } catch (const Exception& E) {
    EXPECT_STREQ(E.what(), "Invalid Parent for Mark");
  }
  Editor.AddStickNote();
  Editor.AddRectangle();
  Editor.AddTextMark();
  Editor.AddLineMark();
  Editor.AddImageMark();
  for (int32_t I = 0; I < Editor.Count(); ++I) {
    EXPECT_EQ(Editor.Marks(I).parentWidget(), &Surface);
    EXPECT_FALSE(Editor.Marks(I).isHidden());
    try {
      Editor.Marks(I).RenderUnscaled();
      ADD_FAILURE() << "mark " << I << " rendered unscaled";
    } catch (const Exception& E) {
      EXPECT_STREQ(E.what(), "Non dovrebbe passare di qua...");
    }
  }
  EXPECT_TRUE(Editor.Modified());
  Editor.SetModified(false);
  EXPECT_FALSE(Editor.Modified());
  Editor.Clear();
  EXPECT_EQ(Editor.Count(), 0);
  EXPECT_TRUE(Editor.Modified());
}

// What a mark leaves on a page of one colour: the pixel at a point of the bitmap.
TEST_F(TEditorFixture, EachKindRendersWithItsKeyColour) {
  constexpr QRgb Page = 0xFF808080, White = 0xFFFFFFFF, Black = 0xFF000000;
  constexpr QRgb Yellow = 0xFFFFFF00, Lime = 0xFF00FF00;
  Editor.SetZoom(100);
  TRectangleMark& Highlight = Editor.AddRectangle();  // filled and highlighted
  TRectangleMark& Opaque = Editor.AddRectangle();
  Opaque.SetHighlighted(false);
  TRectangleMark& Hollow = Editor.AddRectangle();
  Hollow.SetFilled(false);
  Hollow.SetHighlighted(false);
  TStickNoteMark& Note = Editor.AddStickNote();
  Note.SetText("");
  TStickNoteMark& GrayNote = Editor.AddStickNote();
  GrayNote.SetColor(QColor(128, 128, 128));
  GrayNote.SetText("");
  TTextMark& Text = Editor.AddTextMark();
  Text.SetText("");
  TLineMark& Line = Editor.AddLineMark();
  Line.AddPoint(0, 20);
  Line.AddPoint(79, 20);
  TImageMark& Empty = Editor.AddImageMark();
  Empty.SetColor(QColor(0, 0, 255));
  for (int32_t I = 0; I < Editor.Count(); ++I) Editor.Marks(I).SetMarkRect({0, 0, 79, 39});

  const struct {
    const char* What;
    const TGenericMark& Mark;
    QPoint At;
    QRgb Over;  // the page's colour
    QRgb Seen;
    std::optional<QRgb> Key;
  } cases[] = {
      {"highlighter ANDs with the page", Highlight, {40, 20}, Page, 0xFF008000, std::nullopt},
      {"highlighter over black", Highlight, {40, 20}, Black, Black, std::nullopt},
      {"plain filled rectangle hides the page", Opaque, {40, 20}, Page, Lime, std::nullopt},
      {"hollow rectangle: inside left out", Hollow, {40, 20}, Page, Page, White},
      {"hollow rectangle: its outline", Hollow, {0, 20}, Page, Lime, White},
      {"note in its colour", Note, {10, 10}, Page, Yellow, Page},
      {"note's shadow", Note, {78, 38}, Page, Black, Page},
      {"note's last column is key", Note, {79, 20}, Black, Black, Page},
      {"gray note keys on white", GrayNote, {10, 10}, Black, Page, White},
      {"text on an opaque white box", Text, {10, 10}, Black, White, Yellow},
      {"line in red", Line, {40, 20}, Page, 0xFFFF0000, White},
      {"line leaves the rest", Line, {40, 5}, Page, Page, White},
      {"image without a picture in its colour", Empty, {40, 20}, Page, 0xFF0000FF, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.Mark.RenderBitmap().Transparent, c.Key) << c.What;
    EXPECT_EQ(DrawnOver(c.Mark, c.Over).pixel(c.At), c.Seen) << c.What;
  }
}

TEST_F(TEditorFixture, OutlinesKeepTheirPenAndLinesFollowTheZoom) {
  TRectangleMark& Hollow = Editor.AddRectangle();
  Hollow.SetFilled(false);
  Hollow.SetHighlighted(false);
  Hollow.SetPenWidth(6);
  Hollow.SetMarkRect({0, 0, 199, 99});
  TLineMark& Line = Editor.AddLineMark();
  Line.SetMarkRect({0, 0, 199, 99});
  Line.AddPoint(100, 0);
  Line.AddPoint(100, 99);
  const struct {
    double Zoom;
    int Outline, Pen;
  } cases[] = {{100, 3, 4}, {300, 3, 12}, {50, 3, 2}, {10, 3, 1}};
  for (const auto& c : cases) {
    Editor.SetZoom(c.Zoom);
    const QImage Rect = DrawnOver(Hollow, 0xFF808080);
    EXPECT_EQ(RunFromLeft(Rect, Rect.height() / 2, 0xFF00FF00), c.Outline) << c.Zoom;
    const QImage Drawn = DrawnOver(Line, 0xFFFFFFFF);
    int Red = 0;
    for (int X = 0; X < Drawn.width(); ++X) Red += Drawn.pixel(X, Drawn.height() / 2) == 0xFFFF0000;
    EXPECT_EQ(Red, c.Pen) << c.Zoom;
  }
}

TEST_F(TEditorFixture, LinePointsFollowTheirRectangle) {
  TLineMark& Line = Editor.AddLineMark();
  Line.SetMarkRect({0, 0, 100, 50});
  Line.AddPoint(10, 5);
  Line.AddPoint(100, 50);
  Line.SetMarkRect({0, 0, 200, 100});
  EXPECT_EQ(Line.Points(0), (TLineMark::TPoint{20, 10}));
  EXPECT_EQ(Line.Points(1), (TLineMark::TPoint{200, 100}));
  TLineMark& Flat = Editor.AddLineMark();
  Flat.SetMarkRect({0, 0, 100, 0});
  Flat.AddPoint(7, 0);
  Flat.SetMarkRect({0, 0, 300, 30});
  EXPECT_EQ(Flat.Points(0), (TLineMark::TPoint{7, 0}));

  const struct {
    int32_t Angle;
    TLineMark::TPoint First, Last;
  } turns[] = {{90, {49, 0}, {0, 99}}, {180, {99, 49}, {0, 0}}, {270, {0, 99}, {49, 0}}};
  for (const auto& t : turns) {
    TLineMark& Mark = Editor.AddLineMark();
    Mark.SetMarkRect({0, 0, 99, 49});
    Mark.AddPoint(0, 0);
    Mark.AddPoint(99, 49);
    Mark.Rotate(t.Angle);
    EXPECT_EQ(Mark.Points(0), t.First) << t.Angle;
    EXPECT_EQ(Mark.Points(1), t.Last) << t.Angle;
  }
}

// A page of 300 x 200 turned with a mark at (10, 20, 59, 39) and a line along its top edge:
// the rectangle turns with the page and the line stays on the same edge of the ink.
TEST_F(TEditorFixture, MarksTurnWithThePage) {
  const struct {
    int32_t Angle;
    TRect Turned;
    TLineMark::TPoint From, To;
  } cases[] = {
      {90, {160, 10, 179, 59}, {19, 0}, {19, 49}},
      {180, {240, 160, 289, 179}, {49, 19}, {0, 19}},
      {270, {20, 240, 39, 289}, {0, 49}, {0, 0}},
  };
  for (const auto& c : cases) {
    Editor.Clear();
    TRectangleMark& Rect = Editor.AddRectangle();
    Rect.SetMarkRect({10, 20, 59, 39});
    TLineMark& Line = Editor.AddLineMark();
    Line.SetMarkRect({10, 20, 59, 39});
    Line.AddPoint(0, 0);
    Line.AddPoint(49, 0);
    Editor.RotateMarks(c.Angle, 300, 200);
    EXPECT_TRUE(SameRect(Rect.ImageRect(), c.Turned)) << c.Angle;
    EXPECT_TRUE(SameRect(Line.ImageRect(), c.Turned)) << c.Angle;
    EXPECT_EQ(Line.Points(0), c.From) << c.Angle;
    EXPECT_EQ(Line.Points(1), c.To) << c.Angle;
  }
}

TEST_F(TEditorFixture, SelectionShowsTheFrameThatMovesOnlyWhenEditable) {
  Surface.show();
  Editor.SetZoom(50);
  TRectangleMark& Mark = Editor.AddRectangle();
  Mark.SetMarkRect({100, 100, 199, 179});
  EXPECT_EQ(Mark.Resizer(), nullptr);
  Mark.SelectMark(true);
  ASSERT_NE(Mark.Resizer(), nullptr);
  TControlResizer& Frame = *Mark.Resizer();
  EXPECT_EQ(Frame.geometry(), Mark.geometry());
  EXPECT_EQ(Frame.BoxColor(), QColor(0, 0, 255));
  EXPECT_TRUE(Frame.isVisible());
  EXPECT_FALSE(Frame.Movable);  // the editor is read-only at creation

  Drag(&Frame, {10, 10}, {40, 30});
  EXPECT_TRUE(SameRect(Mark.ImageRect(), {100, 100, 199, 179}));
  EXPECT_FALSE(Mark.Modified);

  Editor.SetReadOnly(false);  // deselects
  EXPECT_FALSE(Mark.Selected());
  EXPECT_FALSE(Frame.isVisible());
  Mark.SelectMark(true);
  EXPECT_EQ(Mark.Resizer(), &Frame);
  EXPECT_TRUE(Frame.Movable && Frame.Resizable);
  Drag(&Frame, {10, 10}, {40, 30});  // 30 x 20 panel pixels are 60 x 40 page pixels
  EXPECT_TRUE(SameRect(Mark.ImageRect(), {160, 140, 260, 220}));
  EXPECT_TRUE(Mark.Modified);
  EXPECT_EQ(Frame.geometry(), Mark.geometry());

  Editor.SetZoom(100);  // the frame follows the mark
  EXPECT_EQ(Frame.geometry(), QRect(160, 140, 100, 80));
  Editor.SetVisible(false);
  EXPECT_FALSE(Mark.Selected());
  EXPECT_FALSE(Mark.isVisible());
  EXPECT_FALSE(Frame.isVisible());
}

TEST_F(TEditorFixture, MarksForwardTheirMouse) {
  Surface.show();
  TRectangleMark& Mark = Editor.AddRectangle();
  Mark.SetMarkRect({10, 10, 59, 59});
  std::vector<std::string> Seen;
  Editor.OnMarkClick = [&](QObject* S) { Seen.push_back(S == &Mark ? "click" : "?"); };
  Editor.OnMarkMouseDown = [&](QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int X, int Y) {
    Seen.push_back("down " + std::to_string(X) + "," + std::to_string(Y));
  };
  Editor.OnMarkMouseUp = [&](QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
    Seen.push_back("up");
  };
  Mouse(&Mark, QEvent::MouseButtonPress, {3, 4});
  Mouse(&Mark, QEvent::MouseButtonRelease, {3, 4});
  EXPECT_EQ(Seen, (std::vector<std::string>{"down 3,4", "up", "click"}));
}

TEST(MarkFonts, FontFromLogFont) {
  const struct {
    const char* Face;
    int32_t Height, Weight;
    uint8_t Italic, Underline, StrikeOut;
    const char* Described;
  } cases[] = {
      {"Arial", 12, 700, 1, 0, 0, "Arial, 12, Bold, Italic"},
      {"Times New Roman", 10, 400, 0, 1, 1, "Times New Roman, 10, Underline, Strikeout"},
      {"Courier New", -14, 699, 0, 0, 0, "Courier New, 14"},
      {"Arial", 0, 0, 0, 0, 0, "Arial, 12"},  // no height: the size stays
  };
  for (const auto& c : cases) {
    TLogFont Log;
    std::strncpy(Log.FaceName.data(), c.Face, Log.FaceName.size());
    Log.Height = c.Height;
    Log.Weight = c.Weight;
    Log.Italic = c.Italic;
    Log.Underline = c.Underline;
    Log.StrikeOut = c.StrikeOut;
    QFont Font("Arial", 12);
    FontFromLogFont(Log, Font);
    EXPECT_EQ(TDialogAnnotationProperties::FontDescription(Font), c.Described);
  }
  TLogFont Full;  // a face name that fills its 32 bytes without a terminating zero
  Full.FaceName.fill('A');
  QFont Font;
  FontFromLogFont(Full, Font);
  EXPECT_EQ(Font.family(), QString(32, 'A'));
}

TEST(PackedDibs, PicturesRoundTrip) {
  QImage Picture(5, 3, QImage::Format_RGB32);
  Picture.fill(QColor(10, 200, 30));
  Picture.setPixel(4, 2, qRgb(255, 0, 0));
  const size_t Before = win32::GlobalLiveBytes();
  win32::HGLOBAL Dib = GraphicToPackedDib(Picture);
  QImage Back;
  PackedDibToGraphic(Dib, Back);
  EXPECT_EQ(Back.size(), QSize(5, 3));
  EXPECT_EQ(Back.pixel(0, 0), qRgb(10, 200, 30));
  EXPECT_EQ(Back.pixel(4, 2), qRgb(255, 0, 0));
  win32::HGLOBAL Junk = win32::GlobalAlloc(win32::GHND, 8);
  EXPECT_THROW(PackedDibToGraphic(Junk, Back), Exception);
  EXPECT_EQ(Back.size(), QSize(5, 3));
  win32::GlobalFree(Junk);
  win32::GlobalFree(Dib);
  EXPECT_EQ(win32::GlobalLiveBytes(), Before);
}

TEST_F(TEditorFixture, MarksFromAnnotations) {
  QImage Picture(4, 4, QImage::Format_RGB32);
  Picture.fill(QColor(0, 0, 200));
  const size_t Before = win32::GlobalLiveBytes();
  {
    auto List = std::make_unique<TAnnotations>();
    auto* Note = static_cast<TAnnotationAttachANote*>(List->AddAnnotation(akAttachANote));
    Note->Bounds = {50, 60, 10, 20};
    Note->Color1 = {0, 255, 255, 0};  // blue, green, red: yellow
    Note->Color2 = {0, 0, 128, 0};
    Note->Text = "Vedi";
    std::strcpy(Note->Font.FaceName.data(), "Arial");
    Note->Font.Height = 9;
    auto* Hollow = List->AddAnnotation(akHollowRectangle);
    Hollow->Bounds = {0, 0, 30, 30};
    Hollow->Color1 = {255, 0, 0, 0};
    Hollow->Highlighting = true;
    Hollow->LineSize = 3;
    auto* Filled = List->AddAnnotation(akFilledRectangle);
    Filled->Bounds = {0, 0, 30, 30};
    auto* Line = static_cast<TGenericLineAnnotation*>(List->AddAnnotation(akFreeHandLine));
    Line->Bounds = {5, 5, 40, 40};
    Line->LineSize = 2;
    Line->AddPoint({1, 2});
    Line->AddPoint({30, 31});
    auto* Stamp = static_cast<TGenericTextAnnotation*>(List->AddAnnotation(akTextStamp));
    Stamp->Bounds = {0, 0, 99, 19};
    Stamp->Text = " \tRICEVUTO\r\n ";
    Stamp->Color1 = {0, 0, 255, 0};
    auto* Typed = static_cast<TGenericTextAnnotation*>(List->AddAnnotation(akTypedRectangle));
    Typed->Text = " x ";
    auto* Image = static_cast<TAnnotationImageEmbedded*>(List->AddAnnotation(akImageEmbedded));
    Image->Bounds = {0, 0, 7, 7};
    Image->SetDib(GraphicToPackedDib(Picture));
    Editor.AnnotationsToMarks(*List, 50, 300);
    EXPECT_EQ(Editor.Count(), 7);
    EXPECT_FALSE(Editor.Modified());
    EXPECT_EQ(Editor.Zoom(), 50);
    auto* I = dynamic_cast<TImageMark*>(&Editor.Marks(6));
    ASSERT_NE(I, nullptr);
    EXPECT_NE(I->Dib(), Image->Dib());  // a block of its own
  }  // the annotations and their block are gone; the mark still shows its copy
  auto& N = dynamic_cast<TStickNoteMark&>(Editor.Marks(0));
  EXPECT_TRUE(SameRect(N.ImageRect(), {10, 20, 50, 60}));
  EXPECT_EQ(N.Color(), QColor(255, 255, 0));
  EXPECT_EQ(N.Text(), "Vedi");
  EXPECT_EQ(TDialogAnnotationProperties::FontDescription(N.Font()), "Arial, 9");
  EXPECT_EQ(N.FontColor(), QColor(128, 0, 0));
  EXPECT_EQ(N.Resolution(), 300);
  auto& H = dynamic_cast<TRectangleMark&>(Editor.Marks(1));
  EXPECT_FALSE(H.Filled());
  EXPECT_TRUE(H.Highlighted());
  EXPECT_EQ(H.PenWidth(), 3);
  EXPECT_EQ(H.Color(), QColor(0, 0, 255));
  auto& F = dynamic_cast<TRectangleMark&>(Editor.Marks(2));
  EXPECT_TRUE(F.Filled());
  EXPECT_FALSE(F.Highlighted());
  auto& L = dynamic_cast<TLineMark&>(Editor.Marks(3));
  EXPECT_EQ(L.PointCount(), 2);
  EXPECT_EQ(L.Points(1), (TLineMark::TPoint{30, 31}));
  EXPECT_EQ(L.PenWidth(), 2);
  auto& S = dynamic_cast<TTextMark&>(Editor.Marks(4));
  EXPECT_EQ(S.Text(), "RICEVUTO");
  EXPECT_EQ(S.FontColor(), QColor(255, 0, 0));
  EXPECT_EQ(dynamic_cast<TTextMark&>(Editor.Marks(5)).Text(), " x ");  // only stamps are trimmed
  const QImage Shown = DrawnOver(Editor.Marks(6), 0xFFFFFFFF);
  EXPECT_EQ(Shown.size(), QSize(4, 4));
  EXPECT_EQ(Shown.pixel(2, 2), qRgb(0, 0, 200));
  Editor.Clear();
  EXPECT_EQ(win32::GlobalLiveBytes(), Before);
}

TEST_F(TEditorFixture, AReferencedPictureThatCannotBeReadEndsTheMarks) {
  TTempDir Dir;
  QImage Picture(6, 6, QImage::Format_RGB32);
  Picture.fill(Qt::red);
  ASSERT_TRUE(Picture.save(QString::fromStdString(Dir.File("p.bmp")), "BMP"));
  TAnnotations List;
  auto* Good = static_cast<TGenericImageAnnotation*>(List.AddAnnotation(akImageReference));
  Good->FileName = Dir.File("p.bmp");
  List.AddAnnotation(akHollowRectangle);
  auto* Bad = static_cast<TGenericImageAnnotation*>(List.AddAnnotation(akForm));
  Bad->FileName = Dir.File("missing.bmp");
  List.AddAnnotation(akHollowRectangle);
  EXPECT_THROW(Editor.AnnotationsToMarks(List, 100, 200), Exception);
  ASSERT_EQ(Editor.Count(), 3);
  EXPECT_NE(dynamic_cast<TImageMark&>(Editor.Marks(0)).Dib(), nullptr);
}

// ---- through the view ----

namespace {

// Answers the next modal dialog: Change edits it, then "OK" (or "Annulla" without Accept).
void AnswerDialog(std::function<void(TDialogAnnotationProperties&)> Change, bool Accept) {
  QTimer::singleShot(0, [Change, Accept] {
    auto* Dialog = dynamic_cast<TDialogAnnotationProperties*>(QApplication::activeModalWidget());
    ASSERT_NE(Dialog, nullptr);
    Change(*Dialog);
    (Accept ? Dialog->OkBtn : Dialog->CancelBtn)->click();
  });
}

// The dialog as the user sees it, filled from a mark of the view.
void Shoot(QWidget& Dialog, const char* Name) {
  QDir().mkpath(CLARIVO_SCREENSHOTS);
  EXPECT_TRUE(Dialog.grab().save(QString(CLARIVO_SCREENSHOTS) + "/" + Name));
}

struct TViewWithMarks : ::testing::Test {
  TViewWithMarks() {
    View.resize(700, 500);
    View.show();
    Page = WhitePage(600, 400, pt24bit);
    Page->FillRect({0, 150, 599, 249}, 0);  // a black band across the page
    Page->SetOwnsHandle(false);
    View.SetImageHandle(Page->GetHandle());
    Editor = dynamic_cast<TAnnotationsEditor*>(View.AnnotationsEditor());
    Editor->SetVisible(true);
  }
  TNorvaneImage View;
  std::unique_ptr<TDIB> Page;
  TAnnotationsEditor* Editor = nullptr;
};

}  // namespace

TEST_F(TViewWithMarks, TheViewMakesAHiddenReadOnlyEditor) {
  TNorvaneImage Fresh;
  auto* Made = dynamic_cast<TAnnotationsEditor*>(Fresh.AnnotationsEditor());
  ASSERT_NE(Made, nullptr);
  EXPECT_FALSE(Made->Visible());
  EXPECT_TRUE(Made->ReadOnly());
  EXPECT_EQ(Made->Surface(), &Fresh.DisplayPanel());
  EXPECT_EQ(Made->Resolution(), 200);
  EXPECT_EQ(Made->Zoom(), 100);
}

TEST_F(TViewWithMarks, ClicksSelectAndDoubleClicksEditOnOkOnly) {
  TRectangleMark& First = Editor->AddRectangle();
  First.SetMarkRect({100, 50, 10, 5});
  TRectangleMark& Second = Editor->AddRectangle();
  Second.SetMarkRect({200, 100, 300, 200});
  First.SelectMark(true);
  Mouse(&Second, QEvent::MouseButtonPress, {5, 5});
  Mouse(&Second, QEvent::MouseButtonRelease, {5, 5});
  EXPECT_FALSE(First.Selected());
  EXPECT_TRUE(Second.Selected());

  AnswerDialog([](TDialogAnnotationProperties& D) { D.SpinEditRectanglePen->setValue(9); }, false);
  View.MarkDoubleClicked(&First);
  EXPECT_TRUE(First.Selected());
  EXPECT_FALSE(Second.Selected());
  EXPECT_EQ(First.PenWidth(), 4);  // "Annulla" leaves the mark
  EXPECT_FALSE(First.Modified);

  AnswerDialog([](TDialogAnnotationProperties&) {}, true);  // "OK" without changes
  View.ShowMarkProperties();
  EXPECT_TRUE(SameRect(First.ImageRect(), {10, 5, 100, 50}));
  EXPECT_EQ(First.PenWidth(), 4);
  EXPECT_TRUE(First.Filled());
  EXPECT_TRUE(First.Modified);

  AnswerDialog(
      [](TDialogAnnotationProperties& D) {
        D.SpinEditRight->setValue(150);
        D.CheckBoxRectangleFilled->setChecked(false);
        D.CheckBoxVisible->setChecked(false);
      },
      true);
  View.ShowMarkProperties();
  EXPECT_TRUE(SameRect(First.ImageRect(), {10, 5, 150, 50}));
  EXPECT_FALSE(First.Filled());
  EXPECT_TRUE(First.isHidden());
}

TEST_F(TViewWithMarks, TheDialogEditsEachKind) {
  TStickNoteMark& Note = Editor->AddStickNote();
  Note.SetMarkRect({0, 0, 50, 50});
  TLineMark& Line = Editor->AddLineMark();
  Line.SetMarkRect({0, 0, 50, 50});
  Line.AddPoint(3, 4);
  Line.AddPoint(10, 20);
  TImageMark& Image = Editor->AddImageMark();
  Image.SetMarkRect({0, 0, 50, 50});
  QImage Picture(3, 3, QImage::Format_RGB32);
  Picture.fill(Qt::green);
  Image.SetImage(GraphicToPackedDib(Picture));
  for (int32_t I = 0; I < Editor->Count(); ++I) Editor->Marks(I).SelectMark(true);
  std::vector<std::string> Order;
  // Opened from the last selected mark to the first.
  AnswerDialog(
      [&](TDialogAnnotationProperties& D) {
        Order.push_back("image");
        Shoot(D, "markprops-image.png");
        EXPECT_EQ(D.PageControl1->currentWidget(), D.TabSheetImage);
        EXPECT_FALSE(D.Image->pixmap().isNull());
        D.ButtonClearClick();
        AnswerDialog(
            [&](TDialogAnnotationProperties& D) {
              Order.push_back("line");
              Shoot(D, "markprops-line.png");
              ASSERT_EQ(D.ListBoxPoints->count(), 2);
              EXPECT_EQ(D.ListBoxPoints->item(0)->text(), "3,4");
              D.ListBoxPoints->item(0)->setSelected(true);
              D.ButtonDeleteClick();
              AnswerDialog(
                  [&](TDialogAnnotationProperties& D) {
                    Order.push_back("note");
                    Shoot(D, "markprops-note.png");
                    EXPECT_EQ(D.MemoText->toPlainText(), "Nota");
                    EXPECT_EQ(D.EditFont->text(), "Arial, 12");
                    D.MemoText->setPlainText("Firmare qui");
                  },
                  true);
            },
            true);
      },
      true);
  View.ShowMarkProperties();
  EXPECT_EQ(Order, (std::vector<std::string>{"image", "line", "note"}));
  EXPECT_EQ(Image.Dib(), nullptr);
  ASSERT_EQ(Line.PointCount(), 1);
  EXPECT_EQ(Line.Points(0), (TLineMark::TPoint{10, 20}));
  EXPECT_EQ(Note.Text(), "Firmare qui");
}

// A crop takes the marks with the content they lie on; those left outside the page go.
TEST_F(TViewWithMarks, MarksMoveWithACrop) {
  TRectangleMark& Kept = Editor->AddRectangle();
  Kept.SetMarkRect({100, 50, 199, 99});
  TLineMark& Line = Editor->AddLineMark();
  Line.SetMarkRect({60, 30, 90, 60});  // reaches into the kept part
  Line.AddPoint(30, 30);
  Editor->AddRectangle().SetMarkRect({500, 300, 550, 350});  // wholly outside
  Editor->SetModified(false);
  View.Crop({80, 40, 299, 199});
  EXPECT_EQ(View.Image().HorzSize(), 220);
  ASSERT_EQ(Editor->Count(), 2);
  EXPECT_TRUE(SameRect(Kept.ImageRect(), {20, 10, 119, 59}));
  EXPECT_TRUE(SameRect(Line.ImageRect(), {-20, -10, 10, 20}));
  EXPECT_EQ(Line.Points(0), (TLineMark::TPoint{30, 30}));
  EXPECT_TRUE(Editor->Modified());
  EXPECT_TRUE(Kept.Modified);

  View.Crop({10, 10, 5, 5});  // keeps nothing: the page and its marks stay
  EXPECT_TRUE(SameRect(Kept.ImageRect(), {20, 10, 119, 59}));
  View.Crop({-30, -30, 99, 99});  // a corner before the page's: the content does not move
  EXPECT_TRUE(SameRect(Kept.ImageRect(), {20, 10, 119, 59}));
}

// A page in the view with one mark of each kind, the rectangle selected, as the user sees it.
TEST_F(TViewWithMarks, ScreenshotWithOneMarkOfEachKind) {
  View.SetZoom(100);
  TStickNoteMark& Note = Editor->AddStickNote();
  Note.SetMarkRect({30, 20, 229, 119});
  Note.SetText("Controllare la firma in fondo alla pagina");
  TRectangleMark& Highlight = Editor->AddRectangle();
  Highlight.SetMarkRect({300, 130, 549, 269});
  Highlight.SetColor(QColor(255, 255, 0));
  TRectangleMark& Frame = Editor->AddRectangle();
  Frame.SetFilled(false);
  Frame.SetHighlighted(false);
  Frame.SetColor(QColor(0, 0, 255));
  Frame.SetMarkRect({40, 280, 239, 379});
  TTextMark& Text = Editor->AddTextMark();
  Text.SetMarkRect({300, 20, 569, 99});
  Text.SetText("RICEVUTO");
  Text.SetFontColor(QColor(200, 0, 0));
  TLineMark& Line = Editor->AddLineMark();
  Line.SetMarkRect({300, 290, 569, 379});
  Line.AddPoint(0, 89);
  Line.AddPoint(90, 0);
  Line.AddPoint(180, 89);
  Line.AddPoint(269, 0);
  TImageMark& Image = Editor->AddImageMark();
  Image.SetMarkRect({40, 140, 139, 219});
  QImage Picture(20, 16, QImage::Format_RGB32);
  Picture.fill(QColor(30, 120, 200));
  {
    QPainter P(&Picture);
    P.fillRect(5, 4, 10, 8, QColor(250, 200, 0));
  }
  Image.SetImage(GraphicToPackedDib(Picture));
  Editor->SetReadOnly(false);
  Highlight.SelectMark(true);

  const QImage Shot = Rendered(View);
  QDir().mkpath(CLARIVO_SCREENSHOTS);
  EXPECT_TRUE(Shot.save(QString(CLARIVO_SCREENSHOTS) + "/view-marks.png"));
  const QPoint Panel = View.DisplayPanel().mapTo(&View, QPoint(0, 0));
  const auto At = [&](int X, int Y) { return Shot.pixel(Panel + QPoint(X, Y)); };
  EXPECT_EQ(At(400, 140), qRgb(255, 255, 0));    // the highlighter over white paper
  EXPECT_EQ(At(400, 200), qRgb(0, 0, 0));        // and over the black band
  EXPECT_EQ(At(100, 30), qRgb(255, 255, 0));     // the note
  EXPECT_EQ(At(140, 330), qRgb(255, 255, 255));  // inside the hollow frame: the page
  EXPECT_EQ(At(41, 330), qRgb(0, 0, 255));       // its outline
  EXPECT_EQ(At(90, 180), qRgb(250, 200, 0));     // the picture, stretched
  EXPECT_EQ(At(345, 335), qRgb(255, 0, 0));      // on the line
}
