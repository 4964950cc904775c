#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

#include "TFinestraPrincipale.h"
#include "TRadioGroup.h"
#include "floattext.h"
#include "registry.h"

namespace {

// A value saved under a locale with the other decimal separator ("99.5" read under a comma
// locale, or "99,5" under a full-stop one) still reads as the number it was; text that is no
// number under either separator gives the default.
double ReadFloat(const TRegIniFile& Registry, const QString& Section, const QString& Ident,
                 double Default) {
  QString text = Registry.ReadString(Section, Ident, QString());
  double value = Default;
  if (TryStrToFloat(text, value)) return value;
  QChar separator = DecimalSeparator();
  QChar other = separator == '.' ? QChar(',') : QChar('.');
  if (!text.contains(separator)) TryStrToFloat(QString(text).replace(other, separator), value);
  return value;
}

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
  EditIP->setText(reg.ReadString("Server", "IP", "127.0.0.1"));
  SpinEditServerPort->setValue(reg.ReadInteger("Server", "Port", 7098));
  SpinEditLocalPort->setValue(reg.ReadInteger("Server", "Local Port", 7098));
  // Two buttons of one group: the other one is checked when this one is not.
  if (reg.ReadBool("Server", "Local", true)) {
    RadioButtonLocalScanner->setChecked(true);
  } else {
    RadioButtonNetworkScanner->setChecked(true);
  }

  SelectScanner(ComboBoxScanners,
                reg.ReadString("Scanner", "Name", ComboBoxScanners->currentText()));
  CheckBoxBlackBackground->setChecked(reg.ReadBool("Scanner", "Black Background", false));
  SpinEditTimeout->setValue(reg.ReadInteger("Scanner", "Timeout", 20));
  CheckBoxShareLocalScanner->setChecked(reg.ReadBool("Scanner", "Share", true));

  if (QRadioButton* mode = ModeButton(*this, reg.ReadInteger("Images", "Type", 0))) {
    mode->setChecked(true);
  }
  CheckBoxMultiStream->setChecked(reg.ReadBool("Images", "Mirafold", false));
  RadioButtonCustomResolution->setChecked(reg.ReadBool("Images", "Use Custom Resolution", false));
  SpinEditResolution->setValue(reg.ReadInteger("Images", "Resolution", 200));
  RadioButtonCustomPage->setChecked(reg.ReadBool("Images", "Use Custom Size", false));
  ComboBoxPagina->setCurrentIndex(reg.ReadInteger("Images", "Size", 0));
  RadioButtonCustomLight->setChecked(reg.ReadBool("Images", "Use Custom Light Regulation", false));
  SpinEditCon->setValue(reg.ReadInteger("Images", "Contrast", 0));
  SpinEditLum->setValue(reg.ReadInteger("Images", "Brightness", 0));
  SpinEditThreshold->setValue(reg.ReadInteger("Images", "Threshold", 128));
  CheckBoxAutoBrightness->setChecked(reg.ReadBool("Images", "Auto Brightness", false));
  RadioGroupADF->SetItemIndex(reg.ReadInteger("Images", "ADF", 0));
  RadioGroupDuplex->SetItemIndex(reg.ReadInteger("Images", "Duplex", 0));
  CheckBoxDeskew->setChecked(reg.ReadBool("Images", "Deskew", true));
  CheckBoxDespeckle->setChecked(reg.ReadBool("Images", "Despeckle", false));
  CheckBoxAutoCrop->setChecked(reg.ReadBool("Images", "AutoCrop", false));
  CheckBoxBlackBorderRemoval->setChecked(reg.ReadBool("Images", "BlackBorderRemoval", false));
  CheckBoxThresholding->setChecked(reg.ReadBool("Images", "Dynamic Thresholding", true));
  CheckBoxQC->setChecked(reg.ReadBool("Images", "QC", false));

  TProcessingParameters& p = Pipeline.Parameters;
  p.Area = reg.ReadInteger("Thresholding", "Area", 9);
  p.Aggressivity = reg.ReadInteger("Thresholding", "Aggressivity", 50);
  p.Algo = reg.ReadInteger("Thresholding", "Algo", 1);
  p.AngleRange = reg.ReadInteger("Deskew", "Angle Range", 4);
  p.AngleMin = ReadFloat(reg, "Deskew", "Angle Min", 0.25);
  AngleResolution = ReadFloat(reg, "Deskew", "Angle Resolution", 0.25);
  p.BlackBackground = reg.ReadBool("Deskew", "Black Background", false);
  p.Interpolation = reg.ReadBool("Deskew", "Interpolation", false);
  p.AutoCropThreshold = ReadFloat(reg, "AutoCrop", "Threshold", 99.5);
  p.AutoCropMargin = ReadFloat(reg, "AutoCrop", "Margin", 0);
  p.AutoCropSizes = reg.ReadInteger("AutoCrop", "Sizes", 56);
  p.BlackBorderThreshold = ReadFloat(reg, "BlackBorderRemoval", "Threshold", 99.5);
  p.BlackBorderCrop = reg.ReadBool("BlackBorderRemoval", "Crop", true);
  p.BlackSize = reg.ReadInteger("Despeckle", "Black Size", 3);
  DespeckleSmart = reg.ReadBool("Despeckle", "Smart", false);
  // One unsigned byte each: a larger stored value keeps its low 8 bits.
  p.MinBrightness = static_cast<uint8_t>(reg.ReadInteger("QC", "Min Brightness", 32));
  p.MaxBrightness = static_cast<uint8_t>(reg.ReadInteger("QC", "Max Brightness", 192));
  p.MinContrast = static_cast<uint8_t>(reg.ReadInteger("QC", "Min Contrast", 32));
  p.MaxContrast = static_cast<uint8_t>(reg.ReadInteger("QC", "Max Contrast", 192));
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
