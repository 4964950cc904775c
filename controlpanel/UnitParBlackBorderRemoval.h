// The black-border parameters: the black percentage of a border line, and whether the page
// is cropped to the border or painted white outside it.
#pragma once

#include "ParameterDialog.h"

class QCheckBox;
class QLineEdit;

class TDialogoBlackBorderRemoval : public TParameterDialog {
 public:
  explicit TDialogoBlackBorderRemoval(QWidget* Owner);

  QLineEdit* EditPercent;
  QCheckBox* CheckBoxCrop;
};
