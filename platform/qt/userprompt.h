// Message boxes. Where nobody can answer one (the offscreen platform of headless runs), the
// box is not shown: its caption and text go to the standard error, and it is answered by the
// test hook when one is set, else with its first button. A test hook answers shown boxes too.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace win32 {

enum : unsigned {
  MB_OK = 0x0,
  MB_YESNO = 0x4,
  MB_ICONERROR = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONINFORMATION = 0x40,
};

enum : int { IDOK = 1, IDYES = 6, IDNO = 7 };

// Shows a modal message box over Parent (or the desktop) and answers the button chosen.
int MessageBox(QWidget* Parent, const QString& Text, const QString& Caption, unsigned Type);

// Answers every message box in place of the user while set; an empty hook removes it.
using TMessageBoxHook =
    std::function<int(const QString& Text, const QString& Caption, unsigned Type)>;
void SetMessageBoxHook(TMessageBoxHook Hook);

}  // namespace win32
