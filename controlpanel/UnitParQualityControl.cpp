#include "UnitParQualityControl.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QGroupBox* Range(const QString& Caption, const char* Name, QSpinBox* Min, QSpinBox* Max,
                 QWidget* Parent) {
  auto* group = new QGroupBox(Caption, Parent);
  group->setObjectName(Name);
  auto* grid = new QGridLayout(group);
  grid->addWidget(new QLabel("Min", group), 0, 0);
  grid->addWidget(Min, 0, 1);
  grid->addWidget(new QLabel("Max", group), 0, 2);
  grid->addWidget(Max, 0, 3);
  return group;
}

}  // namespace

TDialogoQualityControl::TDialogoQualityControl(QWidget* Owner)
    : TParameterDialog("Quality Control Parameters", "DialogoQualityControl", Owner) {
  SpinEditMinBrightness = SpinEdit("SpinEditMinBrightness", ParameterRange::Byte);
  SpinEditMaxBrightness = SpinEdit("SpinEditMaxBrightness", ParameterRange::Byte);
  SpinEditMinContrast = SpinEdit("SpinEditMinContrast", ParameterRange::Byte);
  SpinEditMaxContrast = SpinEdit("SpinEditMaxContrast", ParameterRange::Byte);
  auto* layout = new QVBoxLayout;
  layout->addWidget(Range("Allowed Brightness", "GroupBoxBrightness", SpinEditMinBrightness,
                          SpinEditMaxBrightness, this));
  layout->addWidget(Range("Allowed Contrast", "GroupBoxContrast", SpinEditMinContrast,
                          SpinEditMaxContrast, this));
  SetControls(layout);
}
