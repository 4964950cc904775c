// The program's help: the pages built into the program (what each page and dialog of the
// control panel does, and the clean-up steps), shown in a window of their own. Links between
// the pages stay in the window; a web address opens in the desktop's browser.
#pragma once

#include <QWidget>

class QTextBrowser;

class THelpWindow : public QWidget {
  Q_OBJECT

 public:
  // The first help page.
  static const char* const StartPage;

  explicit THelpWindow(QWidget* Parent = nullptr);

  QTextBrowser* Browser;
};
