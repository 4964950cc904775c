#include "UnitParDespeckle.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>

TDialogoDespeckle::TDialogoDespeckle(QWidget* Owner)
    : TParameterDialog("Despeckle Parameters", "DialogoDespeckle", Owner) {
  SpinEditBlack = SpinEdit("SpinEditBlack", ParameterRange::BlackSize);
  CheckBoxSmart = new QCheckBox("Smart (Save Textual Points .,;:' )", this);
  CheckBoxSmart->setObjectName("CheckBoxSmart");
  auto* grid = new QGridLayout;
  auto* label = new QLabel("Max Black Speckle Size", this);
  label->setBuddy(SpinEditBlack);
  grid->addWidget(label, 0, 0);
  grid->addWidget(SpinEditBlack, 0, 1);
  grid->addWidget(new QLabel("Pixel", this), 0, 2);
  grid->addWidget(CheckBoxSmart, 1, 0, 1, 3);
  SetControls(grid);
}
