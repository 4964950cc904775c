// What the six parameter dialogs share: a modal dialog of fixed size with its controls above
// "OK" (the default button) and "Cancel".
#pragma once

#include <QDialog>

#include "ParameterRanges.h"

class QLayout;
class QSpinBox;

class TParameterDialog : public QDialog {
 public:
  TParameterDialog(const QString& Caption, const char* Name, QWidget* Owner);

 protected:
  // Puts Controls above the two buttons; call once, at the end of the constructor.
  void SetControls(QLayout* Controls);
  QSpinBox* SpinEdit(const char* Name, TIntRange Range);
};
