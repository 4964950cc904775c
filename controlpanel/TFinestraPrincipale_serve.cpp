#include <QFileInfo>

#include "TFinestraPrincipale.h"
#include "boundaryguard.h"

namespace {

// The page's block, given to the caller; the page object is freed.
win32::HGLOBAL GiveAway(std::unique_ptr<TDIB> Page) {
  Page->SetOwnsHandle(false);
  return Page->GetHandle();
}

}  // namespace

// A page that cannot be loaded or processed is logged and taken out of the list, and the next
// one is served in its place: one bad file never blocks the pages after it.
win32::HGLOBAL TFinestraPrincipale::NextProcessedPage(uint8_t& QCFailed) {
  for (;;) {
    WaitForPage();
    if (PageCache.PendingPages.empty()) {
      Log("WARNING: cached image asked from driver not found ! (Timeout)");
      return nullptr;
    }
    const std::string path = PageCache.PendingPages.front().Path;
    win32::HGLOBAL page = Guarded([&] { return ServeFirstPage(QCFailed); },
                                  [&]() -> win32::HGLOBAL {
                                    Log("WARNING: cached image " + QString::fromStdString(path) +
                                        " not served: " + QString::fromStdString(FailureText()));
                                    return nullptr;
                                  });
    if (page != nullptr) return page;
    std::erase_if(PageCache.PendingPages, [&](const TPendingPage& p) { return p.Path == path; });
  }
}

win32::HGLOBAL TFinestraPrincipale::ServeFirstPage(uint8_t& QCFailed) {
  TPendingPage& entry = PageCache.PendingPages.front();
  PageCache.LastServedFile = entry.Path;
  auto page = std::make_unique<TDIB>();
  page->LoadFromFile(entry.Path);
  const TScanRequest& request = Pipeline.ScanRequest;
  if (entry.ServeCount != 0) {
    Log("Processing cached image (Mirafold®)...");
    ProcessPage(*page, page->PixelType(), request.XResolution, request.YResolution);
  } else {
    Log("Processing cached image...");
    if (uint8_t target = TargetPixelType(request.PixelType); target != 0) {
      ProcessPage(*page, target, request.XResolution, request.YResolution);
    }
  }
  const bool failed = QualityCheck(*page);
  if (MirafoldMode() && entry.ServeCount == 0) {
    entry.ServeCount = 1;
  } else {
    PageCache.PendingPages.erase(PageCache.PendingPages.begin());
  }
  QCFailed = failed ? 1 : 0;
  return GiveAway(std::move(page));
}

win32::HGLOBAL TFinestraPrincipale::OriginalPage() {
  const std::string& path = PageCache.LastServedFile;
  if (path.empty() || !QFileInfo::exists(QString::fromStdString(path))) {
    Log("WARNING: originale cached image asked from driver not found !");
    return nullptr;
  }
  Log("Retrieving unprocessed cached original image...");
  auto page = std::make_unique<TDIB>();
  page->LoadFromFile(path);
  return GiveAway(std::move(page));
}
