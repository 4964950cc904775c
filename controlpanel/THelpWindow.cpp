#include "THelpWindow.h"

#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

const char* const THelpWindow::StartPage = "qrc:/help/help.md";

THelpWindow::THelpWindow(QWidget* Parent) : QWidget(Parent, Qt::Window) {
  setObjectName("HelpWindow");
  setWindowTitle("Clarivo® Help");
  Browser = new QTextBrowser(this);
  Browser->setObjectName("HelpBrowser");
  Browser->setOpenExternalLinks(true);
  Browser->setSource(QUrl(StartPage), QTextDocument::MarkdownResource);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Browser);
  resize(720, 640);
}
