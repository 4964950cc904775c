// The despeckle parameters: the largest black speckle removed, and the smart mode.
#pragma once

#include "ParameterDialog.h"

class QCheckBox;
class QSpinBox;

class TDialogoDespeckle : public TParameterDialog {
 public:
  explicit TDialogoDespeckle(QWidget* Owner);

  QSpinBox* SpinEditBlack;
  QCheckBox* CheckBoxSmart;
};
