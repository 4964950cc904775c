// The quality-control limits: the brightness and contrast range a page may have.
#pragma once

#include "ParameterDialog.h"

class QSpinBox;

class TDialogoQualityControl : public TParameterDialog {
 public:
  explicit TDialogoQualityControl(QWidget* Owner);

  QSpinBox* SpinEditMinBrightness;
  QSpinBox* SpinEditMaxBrightness;
  QSpinBox* SpinEditMinContrast;
  QSpinBox* SpinEditMaxContrast;
};
