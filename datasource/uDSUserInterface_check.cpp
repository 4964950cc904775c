// TFormSource: the page size of the dialog as the control panel will judge it.
#include <string>

#include "ProcessingPipeline.h"
#include "boundaryguard.h"
#include "floattext.h"
#include "uDSUserInterface.h"

namespace {

const QString kWidth = "\"Width (In)\"";
const QString kHeight = "\"Height (In)\"";

// The control panel's reason for refusing Request, or an empty text when it takes it.
QString Refusal(const TScanRequest& Request) {
  try {
    CheckScanRequest(Request);
    return {};
  } catch (...) {
    return QString::fromStdString(FailureText());
  }
}

}  // namespace

// Each side is tried against a side of one inch, so that the message names the field at fault;
// a size that only fails as a whole (a page too large to hold) names both.
QString TFormSource::RefusedSize(const TScanRequest& Request) {
  const double width = Request.PageWidth, height = Request.PageHeight;
  TScanRequest probe = Request;
  probe.PageWidth = 1;
  probe.PageHeight = 1;
  if (!Refusal(probe).isEmpty()) return {};  // the page size is not what the panel refuses
  probe.PageWidth = width;
  if (QString why = Refusal(probe); !why.isEmpty()) {
    return "The control panel refuses the " + kWidth + " " + FloatToStr(width) + ": " + why;
  }
  probe.PageWidth = 1;
  probe.PageHeight = height;
  if (QString why = Refusal(probe); !why.isEmpty()) {
    return "The control panel refuses the " + kHeight + " " + FloatToStr(height) + ": " + why;
  }
  if (QString why = Refusal(Request); !why.isEmpty()) {
    return "The control panel refuses the " + kWidth + " " + FloatToStr(width) + " with the " +
           kHeight + " " + FloatToStr(height) + ": " + why;
  }
  return {};
}
