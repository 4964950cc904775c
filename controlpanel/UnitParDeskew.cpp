#include "UnitParDeskew.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include "RealKeyPress.h"

TDialogoDeskew::TDialogoDeskew(QWidget* Owner)
    : TParameterDialog("Deskew Parameters", "DialogoDeskew", Owner) {
  EditMin = new QLineEdit(this);
  EditMin->setObjectName("EditMin");
  EditRes = new QLineEdit(this);
  EditRes->setObjectName("EditRes");
  SpinEditAngle = SpinEdit("SpinEditAngle", ParameterRange::AngleRange);
  CheckBoxBlack = new QCheckBox("Use black color for new background", this);
  CheckBoxBlack->setObjectName("CheckBoxBlack");
  CheckBoxInterpolation = new QCheckBox("Use Interpolation", this);
  CheckBoxInterpolation->setObjectName("CheckBoxInterpolation");
  // CheckRealKeyPress: these two take the full stop as their decimal mark.
  new TRealKeyPress(EditMin, '.');
  new TRealKeyPress(EditRes, '.');

  auto* form = new QFormLayout;
  form->addRow("Min Angle", EditMin);
  form->addRow("Resolution", EditRes);
  form->addRow("Range (+/-)", SpinEditAngle);
  auto* layout = new QVBoxLayout;
  layout->addLayout(form);
  layout->addWidget(CheckBoxBlack);
  layout->addWidget(CheckBoxInterpolation);
  SetControls(layout);
}
