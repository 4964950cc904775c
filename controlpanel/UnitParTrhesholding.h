// The dynamic thresholding parameters: window size, local contrast and the algorithm.
#pragma once

#include "ParameterDialog.h"

class QRadioButton;
class QSpinBox;

class TDialogoThresholding : public TParameterDialog {
 public:
  explicit TDialogoThresholding(QWidget* Owner);

  QSpinBox* SpinEditArea;
  QSpinBox* SpinEditAggressivity;
  QRadioButton* RadioButtonAuto;
  QRadioButton* RadioButtonDynamic;
  QRadioButton* RadioButtonAdvanced;
};
