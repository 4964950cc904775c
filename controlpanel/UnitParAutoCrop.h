// The auto-crop parameters: the white percentage of an empty margin, the paper sizes that
// the page may be cropped to, and the smallest margin kept.
#pragma once

#include "ParameterDialog.h"

class QCheckBox;
class QLineEdit;

class TDialogoAutoCrop : public TParameterDialog {
 public:
  explicit TDialogoAutoCrop(QWidget* Owner);

  // The eight paper sizes, bits 1 to 128 of "Sizes" in this order.
  QCheckBox* PaperSize(int Bit) const { return FPaperSizes[Bit]; }

  QLineEdit* EditPercent;
  QLineEdit* EditMargin;
  QCheckBox* CheckBoxA6;
  QCheckBox* CheckBoxA5;
  QCheckBox* CheckBoxA4;
  QCheckBox* CheckBoxA3;
  QCheckBox* CheckBoxStatement;
  QCheckBox* CheckBoxLetter;
  QCheckBox* CheckBoxLegal;
  QCheckBox* CheckBoxLedger;

 private:
  QCheckBox* FPaperSizes[8];
};
