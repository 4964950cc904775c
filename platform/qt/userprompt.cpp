#include "userprompt.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <cstdio>

namespace win32 {

namespace {

TMessageBoxHook& Hook() {
  static TMessageBoxHook hook;
  return hook;
}

bool NobodyCanAnswer() {
  QString platform = QGuiApplication::platformName();
  return platform == "offscreen" || platform == "minimal";
}

int FirstButton(unsigned Type) {
  return (Type & 0xF) == MB_YESNO ? IDYES : IDOK;
}

QMessageBox::Icon IconOf(unsigned Type) {
  switch (Type & 0xF0) {
    case MB_ICONERROR:
      return QMessageBox::Critical;
    case MB_ICONQUESTION:
      return QMessageBox::Question;
    case MB_ICONINFORMATION:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

int Show(QWidget* Parent, const QString& Text, const QString& Caption, unsigned Type) {
  bool yesNo = (Type & 0xF) == MB_YESNO;
  // Texts made for a line feed followed by a carriage return break their lines once.
  QMessageBox box(IconOf(Type), Caption, QString(Text).replace("\n\r", "\n"),
                  yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, Parent);
  box.setDefaultButton(yesNo ? QMessageBox::Yes : QMessageBox::Ok);
  int answer = box.exec();
  if (!yesNo) return IDOK;
  return answer == QMessageBox::Yes ? IDYES : IDNO;
}

}  // namespace

int MessageBox(QWidget* Parent, const QString& Text, const QString& Caption, unsigned Type) {
  if (NobodyCanAnswer()) {
    std::fprintf(stderr, "%s: %s\n", qUtf8Printable(Caption), qUtf8Printable(Text));
  }
  if (Hook()) return Hook()(Text, Caption, Type);
  if (NobodyCanAnswer()) return FirstButton(Type);
  return Show(Parent, Text, Caption, Type);
}

void SetMessageBoxHook(TMessageBoxHook NewHook) {
  Hook() = std::move(NewHook);
}

}  // namespace win32
