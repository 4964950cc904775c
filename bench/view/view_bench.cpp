// One paint of the page view as the screen asks for it: an A4 300 dpi page (1 and 8 bits) in a
// 1000 x 1400 view, at fit to page and at 100 % while scrolling, painting the exposed part into
// an image as the window system's backing store would. The gray reduction that a 1-bit page
// needs below 50 % is timed on its own: it is made once for a panel size, not at every paint.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <memory>
#include <string>

#include "AnnotationsEditor.h"
#include "NewObjImage.h"
#include "benchpages.h"
#include "peak_memory.h"

namespace {

// A shown 1000 x 1400 view of a copy of the reference page of the type.
std::unique_ptr<TNorvaneImage> ViewOf(uint8_t Type) {
  auto view = std::make_unique<TNorvaneImage>();
  view->resize(1000, 1400);
  view->show();
  std::unique_ptr<TDIB> page = ReferencePage(Type).Duplicate();
  page->SetOwnsHandle(false);
  view->SetImageHandle(page->GetHandle());
  return view;
}

// Paints what the client area shows of the panel.
void PaintExposed(TNorvaneImage& View, QImage& Surface) {
  TDisplayPanel& panel = View.DisplayPanel();
  const QRect exposed = View.ClientRect().translated(-panel.pos()) & panel.rect();
  panel.render(&Surface, exposed.topLeft() + panel.pos(), QRegion(exposed));
}

void BM_PaintFitToPage(benchmark::State& state) {
  auto view = ViewOf(static_cast<uint8_t>(state.range(0)));
  view->SetZoomMode(TZoomMode::zmFitToPage);
  QImage surface(1000, 1400, QImage::Format_RGB32);
  PaintExposed(*view, surface);  // the gray reduction, once
  for (auto _ : state) PaintExposed(*view, surface);
  state.SetLabel(state.range(0) == pt1bit ? "1-bit, from the gray reduction" : "8-bit");
}

void BM_GrayReductionFirstPaint(benchmark::State& state) {
  auto view = ViewOf(pt1bit);
  view->SetZoomMode(TZoomMode::zmFitToPage);
  QImage surface(1000, 1400, QImage::Format_RGB32);
  for (auto _ : state) {
    view->DisplayPanel().Repaint();
    PaintExposed(*view, surface);
  }
}

void BM_Paint100WhileScrolling(benchmark::State& state) {
  auto view = ViewOf(static_cast<uint8_t>(state.range(0)));
  view->SetZoom(100);
  QImage surface(1000, 1400, QImage::Format_RGB32);
  QScrollBar& bar = view->VertScrollBar();
  for (auto _ : state) {
    bar.setValue(bar.value() + 40 > bar.maximum() ? 0 : bar.value() + 40);
    PaintExposed(*view, surface);
  }
}

// The same paint at 100 % with a mark of each kind over the shown part (or none): every mark
// renders a fresh bitmap of its zoomed size at each paint.
void BM_PaintWithMarks(benchmark::State& state) {
  auto view = ViewOf(pt8bit);
  view->SetZoom(100);
  auto& editor = dynamic_cast<TAnnotationsEditor&>(*view->AnnotationsEditor());
  editor.SetVisible(true);
  if (state.range(0) != 0) {
    editor.AddStickNote().SetMarkRect({100, 100, 499, 399});
    editor.AddRectangle().SetMarkRect({500, 100, 899, 599});
    TRectangleMark& hollow = editor.AddRectangle();
    hollow.SetFilled(false);
    hollow.SetMarkRect({100, 500, 499, 899});
    editor.AddTextMark().SetMarkRect({100, 900, 899, 1099});
    TLineMark& line = editor.AddLineMark();
    line.SetMarkRect({500, 700, 899, 899});
    line.AddPoint(0, 0);
    line.AddPoint(399, 199);
    QImage picture(200, 150, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    TImageMark& image = editor.AddImageMark();
    image.SetMarkRect({100, 1100, 499, 1399});
    image.SetImage(GraphicToPackedDib(picture));
  }
  QImage surface(1000, 1400, QImage::Format_RGB32);
  for (auto _ : state) PaintExposed(*view, surface);
  state.SetLabel(state.range(0) != 0 ? "8-bit, six marks" : "8-bit, no marks");
}

// A mark over the whole page at 400 %, one of each kind that fills (filled rectangle, note,
// picture): a paint renders the exposed part of it only. The label gives the peak memory the
// paints added beyond the page.
void BM_PaintFullPageMarkAt400(benchmark::State& state) {
  auto view = ViewOf(pt8bit);
  view->SetZoom(400);
  auto& editor = dynamic_cast<TAnnotationsEditor&>(*view->AnnotationsEditor());
  editor.SetVisible(true);
  const TRect page{0, 0, view->Image().HorzSize() - 1, view->Image().VertSize() - 1};
  switch (state.range(0)) {
    case 0:
      editor.AddRectangle().SetMarkRect(page);
      break;
    case 1:
      editor.AddStickNote().SetMarkRect(page);
      break;
    default: {
      QImage picture(400, 300, QImage::Format_RGB32);
      picture.fill(Qt::blue);
      TImageMark& image = editor.AddImageMark();
      image.SetMarkRect(page);
      image.SetImage(GraphicToPackedDib(picture));
    }
  }
  QScrollBar& bar = view->VertScrollBar();
  bar.setValue(bar.maximum() / 2);
  QImage surface(1000, 1400, QImage::Format_RGB32);
  TPeakMemory peak;
  for (auto _ : state) PaintExposed(*view, surface);
  const char* kinds[] = {"filled rectangle", "note", "picture"};
  state.SetLabel(std::string(kinds[state.range(0)]) + ", peak +" +
                 std::to_string(peak.Growth() >> 20) + " MB");
}

BENCHMARK(BM_PaintWithMarks)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintFullPageMarkAt400)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintFitToPage)->Arg(pt1bit)->Arg(pt8bit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GrayReductionFirstPaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paint100WhileScrolling)->Arg(pt1bit)->Arg(pt8bit)->Unit(benchmark::kMillisecond);

}  // namespace

// The widgets need an application that lives as long as the benchmarks run, and ends before
// the program does.
int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
