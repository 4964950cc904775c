#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

#include "SettingsReader.h"
#include "TFinestraPrincipale.h"
#include "TRadioGroup.h"
#include "floattext.h"
#include "registry.h"

namespace {

void WriteFloat(TRegIniFile& Registry, const QString& Section, const QString& Ident, double Value) {
  Registry.WriteString(Section, Ident, FloatToStr(Value));
}

void SelectScanner(QComboBox* Scanners, const QString& Name) {
  Scanners->setCurrentIndex(Scanners->findText(Name, Qt::MatchFixedString));
}

QRadioButton* ModeButton(const TFinestraPrincipale& Window, int Type) {
  switch (Type) {
    case 0:
      return Window.RadioButtonDriverMode;
    case 1:
      return Window.RadioButtonMono;
    case 2:
      return Window.RadioButtonGray;
    case 3:
      return Window.RadioButtonColor;
    default:
      return nullptr;
  }
}

}  // namespace

void TFinestraPrincipale::ReadSettings() {
  TRegIniFile reg(RegistryKey);
  TSettingsReader read(reg, [this](const QString& Line) { Log(Line); });
  EditIP->setText(reg.ReadString("Server", "IP", "127.0.0.1"));
  SpinEditServerPort->setValue(read.Spin("Server", "Port", 7098, *SpinEditServerPort));
  SpinEditLocalPort->setValue(read.Spin("Server", "Local Port", 7098, *SpinEditLocalPort));
  // Two buttons of one group: the other one is checked when this one is not.
  if (reg.ReadBool("Server", "Local", true)) {
    RadioButtonLocalScanner->setChecked(true);
  } else {
    RadioButtonNetworkScanner->setChecked(true);
  }

  SelectScanner(ComboBoxScanners,
                reg.ReadString("Scanner", "Name", ComboBoxScanners->currentText()));
  CheckBoxBlackBackground->setChecked(reg.ReadBool("Scanner", "Black Background", false));
  SpinEditTimeout->setValue(read.Spin("Scanner", "Timeout", 20, *SpinEditTimeout));
  CheckBoxShareLocalScanner->setChecked(reg.ReadBool("Scanner", "Share", true));

  ModeButton(*this, read.Choice("Images", "Type", 0, {0, 3}))->setChecked(true);
  CheckBoxMultiStream->setChecked(reg.ReadBool("Images", "Mirafold", false));
  RadioButtonCustomResolution->setChecked(reg.ReadBool("Images", "Use Custom Resolution", false));
  SpinEditResolution->setValue(read.Spin("Images", "Resolution", 200, *SpinEditResolution));
  RadioButtonCustomPage->setChecked(reg.ReadBool("Images", "Use Custom Size", false));
  ComboBoxPagina->setCurrentIndex(
      read.Choice("Images", "Size", 0, {0, static_cast<int32_t>(ComboBoxPagina->count()) - 1}));
  RadioButtonCustomLight->setChecked(reg.ReadBool("Images", "Use Custom Light Regulation", false));
  SpinEditCon->setValue(read.Spin("Images", "Contrast", 0, *SpinEditCon));
  SpinEditLum->setValue(read.Spin("Images", "Brightness", 0, *SpinEditLum));
  SpinEditThreshold->setValue(read.Spin("Images", "Threshold", 128, *SpinEditThreshold));
  CheckBoxAutoBrightness->setChecked(reg.ReadBool("Images", "Auto Brightness", false));
  RadioGroupADF->SetItemIndex(read.Choice("Images", "ADF", 0, {0, 2}));
  RadioGroupDuplex->SetItemIndex(read.Choice("Images", "Duplex", 0, {0, 2}));
  CheckBoxDeskew->setChecked(reg.ReadBool("Images", "Deskew", true));
  CheckBoxDespeckle->setChecked(reg.ReadBool("Images", "Despeckle", false));
  CheckBoxAutoCrop->setChecked(reg.ReadBool("Images", "AutoCrop", false));
  CheckBoxBlackBorderRemoval->setChecked(reg.ReadBool("Images", "BlackBorderRemoval", false));
  CheckBoxThresholding->setChecked(reg.ReadBool("Images", "Dynamic Thresholding", true));
  CheckBoxQC->setChecked(reg.ReadBool("Images", "QC", false));

  namespace R = ParameterRange;
  TProcessingParameters& p = Pipeline.Parameters;
  p.Area = read.Integer("Thresholding", "Area", 9, R::Area);
  p.Aggressivity = read.Integer("Thresholding", "Aggressivity", 50, R::Aggressivity);
  p.Algo = read.Choice("Thresholding", "Algo", 1, R::Algo);
  p.AngleRange = read.Integer("Deskew", "Angle Range", 4, R::AngleRange);
  p.AngleMin = read.Float("Deskew", "Angle Min", 0.25, R::AngleMin);
  AngleResolution = read.Float("Deskew", "Angle Resolution", 0.25, R::AngleResolution);
  p.BlackBackground = reg.ReadBool("Deskew", "Black Background", false);
  p.Interpolation = reg.ReadBool("Deskew", "Interpolation", false);
  p.AutoCropThreshold = read.Float("AutoCrop", "Threshold", 99.5, R::Percent);
  p.AutoCropMargin = read.Float("AutoCrop", "Margin", 0, R::Margin);
  p.AutoCropSizes = read.Choice("AutoCrop", "Sizes", 56, R::PaperSizes);
  p.BlackBorderThreshold = read.Float("BlackBorderRemoval", "Threshold", 99.5, R::Percent);
  p.BlackBorderCrop = reg.ReadBool("BlackBorderRemoval", "Crop", true);
  p.BlackSize = read.Integer("Despeckle", "Black Size", 3, R::BlackSize);
  DespeckleSmart = reg.ReadBool("Despeckle", "Smart", false);
  p.MinBrightness = static_cast<uint8_t>(read.Integer("QC", "Min Brightness", 32, R::Byte));
  p.MaxBrightness = static_cast<uint8_t>(read.Integer("QC", "Max Brightness", 192, R::Byte));
  p.MinContrast = static_cast<uint8_t>(read.Integer("QC", "Min Contrast", 32, R::Byte));
  p.MaxContrast = static_cast<uint8_t>(read.Integer("QC", "Max Contrast", 192, R::Byte));
}

void TFinestraPrincipale::SaveSettings() {
  TRegIniFile reg(RegistryKey);
  reg.WriteString("Server", "IP", EditIP->text().trimmed());
  reg.WriteInteger("Server", "Port", SpinEditServerPort->value());
  reg.WriteInteger("Server", "Local Port", SpinEditLocalPort->value());
  reg.WriteBool("Server", "Local", RadioButtonLocalScanner->isChecked());

  reg.WriteString("Scanner", "Name", ComboBoxScanners->currentText());
  reg.WriteBool("Scanner", "Black Background", CheckBoxBlackBackground->isChecked());
  reg.WriteInteger("Scanner", "Timeout", SpinEditTimeout->value());
  reg.WriteBool("Scanner", "Share", CheckBoxShareLocalScanner->isChecked());

  for (int type = 0; type <= 3; ++type) {
    if (ModeButton(*this, type)->isChecked()) reg.WriteInteger("Images", "Type", type);
  }
  reg.WriteBool("Images", "Mirafold", CheckBoxMultiStream->isChecked());
  reg.WriteBool("Images", "Use Custom Resolution", RadioButtonCustomResolution->isChecked());
  reg.WriteInteger("Images", "Resolution", SpinEditResolution->value());
  reg.WriteBool("Images", "Use Custom Size", RadioButtonCustomPage->isChecked());
  reg.WriteInteger("Images", "Size", ComboBoxPagina->currentIndex());
  reg.WriteBool("Images", "Use Custom Light Regulation", RadioButtonCustomLight->isChecked());
  reg.WriteInteger("Images", "Contrast", SpinEditCon->value());
  reg.WriteInteger("Images", "Brightness", SpinEditLum->value());
  reg.WriteInteger("Images", "Threshold", SpinEditThreshold->value());
  reg.WriteBool("Images", "Auto Brightness", CheckBoxAutoBrightness->isChecked());
  reg.WriteInteger("Images", "ADF", RadioGroupADF->ItemIndex());
  reg.WriteInteger("Images", "Duplex", RadioGroupDuplex->ItemIndex());
  reg.WriteBool("Images", "Deskew", CheckBoxDeskew->isChecked());
  reg.WriteBool("Images", "Despeckle", CheckBoxDespeckle->isChecked());
  reg.WriteBool("Images", "AutoCrop", CheckBoxAutoCrop->isChecked());
  reg.WriteBool("Images", "BlackBorderRemoval", CheckBoxBlackBorderRemoval->isChecked());
  reg.WriteBool("Images", "Dynamic Thresholding", CheckBoxThresholding->isChecked());
  reg.WriteBool("Images", "QC", CheckBoxQC->isChecked());

  const TProcessingParameters& p = Pipeline.Parameters;
  reg.WriteInteger("Thresholding", "Area", p.Area);
  reg.WriteInteger("Thresholding", "Aggressivity", p.Aggressivity);
  reg.WriteInteger("Thresholding", "Algo", p.Algo);
  reg.WriteInteger("Deskew", "Angle Range", p.AngleRange);
  WriteFloat(reg, "Deskew", "Angle Min", p.AngleMin);
  WriteFloat(reg, "Deskew", "Angle Resolution", AngleResolution);
  reg.WriteBool("Deskew", "Black Background", p.BlackBackground);
  reg.WriteBool("Deskew", "Interpolation", p.Interpolation);
  WriteFloat(reg, "AutoCrop", "Threshold", p.AutoCropThreshold);
  WriteFloat(reg, "AutoCrop", "Margin", p.AutoCropMargin);
  reg.WriteInteger("AutoCrop", "Sizes", p.AutoCropSizes);
  WriteFloat(reg, "BlackBorderRemoval", "Threshold", p.BlackBorderThreshold);
  reg.WriteBool("BlackBorderRemoval", "Crop", p.BlackBorderCrop);
  reg.WriteInteger("Despeckle", "Black Size", p.BlackSize);
  reg.WriteBool("Despeckle", "Smart", DespeckleSmart);
  reg.WriteInteger("QC", "Min Brightness", p.MinBrightness);
  reg.WriteInteger("QC", "Max Brightness", p.MaxBrightness);
  reg.WriteInteger("QC", "Min Contrast", p.MinContrast);
  reg.WriteInteger("QC", "Max Contrast", p.MaxContrast);
  reg.UpdateFile();
}
