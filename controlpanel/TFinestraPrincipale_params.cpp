// Each parameter button shows its dialog filled from the processing parameters and, on
// "OK", reads every control back in order. An edit that does not read as a number stops the
// reading there with its conversion error: the parameters read before it keep their new
// values, the others their old ones. A number outside its parameter's range takes the nearer
// end of the range.
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <algorithm>

#include "ParameterRanges.h"
#include "TFinestraPrincipale.h"
#include "UnitParAutoCrop.h"
#include "UnitParBlackBorderRemoval.h"
#include "UnitParDeskew.h"
#include "UnitParDespeckle.h"
#include "UnitParQualityControl.h"
#include "UnitParTrhesholding.h"
#include "floattext.h"

namespace {

double InRange(const QString& Text, TFloatRange Range) {
  return std::clamp(StrToFloat(Text), Range.Min, Range.Max);
}

}  // namespace

void TFinestraPrincipale::ButtonDeskewClick() {
  TProcessingParameters& p = Pipeline.Parameters;
  TDialogoDeskew dialog(this);
  dialog.EditMin->setText(FloatToStr(p.AngleMin));
  dialog.EditRes->setText(FloatToStr(AngleResolution));
  dialog.SpinEditAngle->setValue(p.AngleRange);
  dialog.CheckBoxBlack->setChecked(p.BlackBackground);
  dialog.CheckBoxInterpolation->setChecked(p.Interpolation);
  if (dialog.exec() != QDialog::Accepted) return;
  p.AngleMin = InRange(dialog.EditMin->text(), ParameterRange::AngleMin);
  AngleResolution = InRange(dialog.EditRes->text(), ParameterRange::AngleResolution);
  p.AngleRange = dialog.SpinEditAngle->value();
  p.BlackBackground = dialog.CheckBoxBlack->isChecked();
  p.Interpolation = dialog.CheckBoxInterpolation->isChecked();
}

void TFinestraPrincipale::ButtonDespeckleClick() {
  TProcessingParameters& p = Pipeline.Parameters;
  TDialogoDespeckle dialog(this);
  dialog.SpinEditBlack->setValue(p.BlackSize);
  dialog.CheckBoxSmart->setChecked(DespeckleSmart);
  if (dialog.exec() != QDialog::Accepted) return;
  p.BlackSize = dialog.SpinEditBlack->value();
  DespeckleSmart = dialog.CheckBoxSmart->isChecked();
}

void TFinestraPrincipale::ButtonAutoCropClick() {
  TProcessingParameters& p = Pipeline.Parameters;
  TDialogoAutoCrop dialog(this);
  dialog.EditPercent->setText(FloatToStr(p.AutoCropThreshold));
  for (int bit = 0; bit < 8; ++bit) {
    dialog.PaperSize(bit)->setChecked((p.AutoCropSizes & (1 << bit)) != 0);
  }
  dialog.EditMargin->setText(FloatToStr(p.AutoCropMargin));
  if (dialog.exec() != QDialog::Accepted) return;
  p.AutoCropThreshold = InRange(dialog.EditPercent->text(), ParameterRange::Percent);
  int32_t sizes = 0;
  for (int bit = 0; bit < 8; ++bit) {
    if (dialog.PaperSize(bit)->isChecked()) sizes |= 1 << bit;
  }
  p.AutoCropSizes = sizes;
  p.AutoCropMargin = InRange(dialog.EditMargin->text(), ParameterRange::Margin);
}

void TFinestraPrincipale::ButtonBlackBorderRemovalClick() {
  TProcessingParameters& p = Pipeline.Parameters;
  TDialogoBlackBorderRemoval dialog(this);
  dialog.EditPercent->setText(FloatToStr(p.BlackBorderThreshold));
  dialog.CheckBoxCrop->setChecked(p.BlackBorderCrop);
  if (dialog.exec() != QDialog::Accepted) return;
  p.BlackBorderThreshold = InRange(dialog.EditPercent->text(), ParameterRange::Percent);
  p.BlackBorderCrop = dialog.CheckBoxCrop->isChecked();
}

void TFinestraPrincipale::ButtonThresholdingClick() {
  TProcessingParameters& p = Pipeline.Parameters;
  TDialogoThresholding dialog(this);
  dialog.SpinEditArea->setValue(p.Area);
  dialog.SpinEditAggressivity->setValue(p.Aggressivity);
  dialog.RadioButtonAuto->setChecked(p.Algo == 0);
  dialog.RadioButtonDynamic->setChecked(p.Algo == 1);
  dialog.RadioButtonAdvanced->setChecked(p.Algo == 2);
  if (dialog.exec() != QDialog::Accepted) return;
  p.Area = dialog.SpinEditArea->value();
  p.Aggressivity = dialog.SpinEditAggressivity->value();
  if (dialog.RadioButtonAuto->isChecked()) {
    p.Algo = 0;
  } else if (dialog.RadioButtonDynamic->isChecked()) {
    p.Algo = 1;
  } else {
    p.Algo = 2;
  }
}

void TFinestraPrincipale::ButtonQualityControlClick() {
  TProcessingParameters& p = Pipeline.Parameters;
  TDialogoQualityControl dialog(this);
  dialog.SpinEditMinBrightness->setValue(p.MinBrightness);
  dialog.SpinEditMaxBrightness->setValue(p.MaxBrightness);
  dialog.SpinEditMinContrast->setValue(p.MinContrast);
  dialog.SpinEditMaxContrast->setValue(p.MaxContrast);
  if (dialog.exec() != QDialog::Accepted) return;
  p.MinBrightness = static_cast<uint8_t>(dialog.SpinEditMinBrightness->value());
  p.MaxBrightness = static_cast<uint8_t>(dialog.SpinEditMaxBrightness->value());
  p.MinContrast = static_cast<uint8_t>(dialog.SpinEditMinContrast->value());
  p.MaxContrast = static_cast<uint8_t>(dialog.SpinEditMaxContrast->value());
}
