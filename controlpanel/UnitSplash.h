// The window shown while the control panel starts: a picture, what the product does, and
// its name.
#pragma once

#include <QWidget>

class TSplashForm : public QWidget {
 public:
  TSplashForm();
};
