#include "UnitParTrhesholding.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

TDialogoThresholding::TDialogoThresholding(QWidget* Owner)
    : TParameterDialog("Dynamic Thresholding Parameters", "DialogoThresholding", Owner) {
  SpinEditArea = SpinEdit("SpinEditArea", ParameterRange::Area);
  SpinEditAggressivity = SpinEdit("SpinEditAggressivity", ParameterRange::Aggressivity);
  auto* algorithms = new QGroupBox(this);
  algorithms->setObjectName("GroupBoxAlgo");
  RadioButtonAuto = new QRadioButton("Dynamic Global", algorithms);
  RadioButtonAuto->setObjectName("RadioButtonAuto");
  RadioButtonDynamic = new QRadioButton("Dynamic Local", algorithms);
  RadioButtonDynamic->setObjectName("RadioButtonDynamic");
  RadioButtonAdvanced = new QRadioButton("Dynamic Local Advanced (Slow)", algorithms);
  RadioButtonAdvanced->setObjectName("RadioButtonAdvanced");
  auto* column = new QVBoxLayout(algorithms);
  column->addWidget(RadioButtonAuto);
  column->addWidget(RadioButtonDynamic);
  column->addWidget(RadioButtonAdvanced);

  auto* form = new QFormLayout;
  form->addRow("Area Size", SpinEditArea);
  form->addRow("Local Contrast", SpinEditAggressivity);
  auto* layout = new QVBoxLayout;
  layout->addLayout(form);
  layout->addWidget(algorithms);
  SetControls(layout);
}
