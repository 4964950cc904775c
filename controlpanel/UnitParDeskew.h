// The deskew parameters: smallest angle corrected, search resolution, search range, the
// colour of the uncovered corners, interpolation.
#pragma once

#include "ParameterDialog.h"

class QCheckBox;
class QLineEdit;
class QSpinBox;

class TDialogoDeskew : public TParameterDialog {
 public:
  explicit TDialogoDeskew(QWidget* Owner);

  QLineEdit* EditMin;
  QLineEdit* EditRes;
  QSpinBox* SpinEditAngle;
  QCheckBox* CheckBoxBlack;
  QCheckBox* CheckBoxInterpolation;
};
