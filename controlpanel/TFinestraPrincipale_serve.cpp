#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSpinBox>
#include <algorithm>
#include <cerrno>
#include <new>

#include "ClientRequest.h"
#include "TFinestraPrincipale.h"
#include "boundaryguard.h"
#include "streams.h"

namespace {

// A file written less than this long ago may still be being written.
constexpr qint64 kSettlingMs = 2000;

// Inside a handler: whether the failure to serve the page at Path may pass by itself.
bool PassingFailure(const std::string& Path) noexcept {
  try {
    throw;
  } catch (const EFOpenError& e) {
    const int error = e.ErrorCode;
    if (error == EMFILE || error == ENFILE || error == ENOMEM || error == EAGAIN) return true;
  } catch (const EOutOfMemory&) {
    return true;
  } catch (const std::bad_alloc&) {
    return true;
  } catch (...) {
  }
  const QFileInfo file(QString::fromStdString(Path));
  return file.exists() && file.lastModified().msecsTo(QDateTime::currentDateTime()) < kSettlingMs;
}

// The page's block, given to the caller; the page object is freed.
win32::HGLOBAL GiveAway(std::unique_ptr<TDIB> Page) {
  Page->SetOwnsHandle(false);
  return Page->GetHandle();
}

// The cache holds the bitmaps that the panel wrote: a file that is no bitmap is refused as
// one, not handed to the reader of some other format.
std::unique_ptr<TDIB> LoadCachedPage(const std::string& Path) {
  TFileStream file(Path, TFileMode::fmOpenRead);
  auto page = std::make_unique<TDIB>();
  page->LoadBMP(file);
  return page;
}

}  // namespace

// A page that cannot be loaded or processed for a reason that passes (out of descriptors or
// memory, a file written a moment ago and perhaps not yet whole) stays and is tried again
// while the request may wait; one whose contents are bad is logged and taken out of the list,
// and the next one is served in its place: one bad file never blocks the pages after it.
win32::HGLOBAL TFinestraPrincipale::NextProcessedPage(uint8_t& QCFailed, TServedPage& Served) {
  QElapsedTimer waited;
  waited.start();
  std::string logged;  // the page whose passing failure is in the log already
  TClientRequest request(*this);
  for (;;) {
    WaitForPage();
    if (PageCache.PendingPages.empty()) {
      Log("WARNING: cached image asked from driver not found ! (Timeout)");
      return nullptr;
    }
    const std::string path = PageCache.PendingPages.front().Path;
    bool passing = false;
    win32::HGLOBAL page = Guarded([&] { return ServeFirstPage(QCFailed, Served); },
                                  [&]() -> win32::HGLOBAL {
                                    passing = PassingFailure(path);
                                    if (!passing || logged != path) {
                                      Log("WARNING: cached image " + QString::fromStdString(path) +
                                          " not served: " + QString::fromStdString(FailureText()));
                                    }
                                    return nullptr;
                                  });
    if (page != nullptr) return page;
    if (!passing) {
      std::erase_if(PageCache.PendingPages, [&](const TPendingPage& p) { return p.Path == path; });
      continue;
    }
    logged = path;
    if (FClosing || waited.elapsed() >= SpinEditTimeout->value() * 1000LL) return nullptr;
    WaitStep();
  }
}

win32::HGLOBAL TFinestraPrincipale::ServeFirstPage(uint8_t& QCFailed, TServedPage& Served) {
  TPendingPage& entry = PageCache.PendingPages.front();
  PageCache.LastServedFile = entry.Path;
  std::unique_ptr<TDIB> page = LoadCachedPage(entry.Path);
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
  Served = {entry.Path, entry.ServeCount};
  if (MirafoldMode() && entry.ServeCount == 0) {
    entry.ServeCount = 1;
  } else {
    PageCache.PendingPages.erase(PageCache.PendingPages.begin());
  }
  QCFailed = failed ? 1 : 0;
  return GiveAway(std::move(page));
}

// A page whose file went meanwhile (a new scan cleared the cache) has nothing to come back to.
void TFinestraPrincipale::ReturnPage(const TServedPage& Served) {
  if (!QFileInfo::exists(QString::fromStdString(Served.Path))) return;
  std::vector<TPendingPage>& pages = PageCache.PendingPages;
  auto it = std::find_if(pages.begin(), pages.end(),
                         [&](const TPendingPage& p) { return p.Path == Served.Path; });
  if (it != pages.end()) {
    it->ServeCount = Served.ServeCount;
  } else {
    pages.insert(pages.begin(), {Served.Path, Served.ServeCount});
  }
  Log("WARNING: cached image " + QString::fromStdString(Served.Path) +
      " not delivered: kept for the next request");
}

win32::HGLOBAL TFinestraPrincipale::OriginalPage() {
  TClientRequest request(*this);
  const std::string& path = PageCache.LastServedFile;
  if (path.empty() || !QFileInfo::exists(QString::fromStdString(path))) {
    Log("WARNING: originale cached image asked from driver not found !");
    return nullptr;
  }
  Log("Retrieving unprocessed cached original image...");
  return Guarded([&] { return GiveAway(LoadCachedPage(path)); },
                 [&]() -> win32::HGLOBAL {
                   Log("WARNING: original image " + QString::fromStdString(path) +
                       " not loaded: " + QString::fromStdString(FailureText()));
                   return nullptr;
                 });
}
