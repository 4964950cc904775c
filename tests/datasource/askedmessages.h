// Message boxes answered "OK" by the test while the object lives, their texts kept in order.
#pragma once

#include <QString>
#include <vector>

#include "userprompt.h"

class TAskedMessages {
 public:
  TAskedMessages() {
    win32::SetMessageBoxHook([this](const QString& Text, const QString&, unsigned) {
      Texts.push_back(Text);
      return win32::IDOK;
    });
  }
  ~TAskedMessages() { win32::SetMessageBoxHook(nullptr); }
  TAskedMessages(const TAskedMessages&) = delete;
  TAskedMessages& operator=(const TAskedMessages&) = delete;

  std::vector<QString> Texts;
};
