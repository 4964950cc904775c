#include "UnitParBlackBorderRemoval.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "RealKeyPress.h"

TDialogoBlackBorderRemoval::TDialogoBlackBorderRemoval(QWidget* Owner)
    : TParameterDialog("Black Border Removal Parameters", "DialogoBlackBorderRemoval", Owner) {
  EditPercent = new QLineEdit(this);
  EditPercent->setObjectName("EditPercent");
  CheckBoxCrop = new QCheckBox("Crop", this);
  CheckBoxCrop->setObjectName("CheckBoxCrop");
  // EditPercentKeyPress: the full stop is the decimal mark here.
  new TRealKeyPress(EditPercent, '.');
  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel("Black Percentage", this), 0, 0);
  grid->addWidget(EditPercent, 0, 1);
  grid->addWidget(new QLabel("%", this), 0, 2);
  grid->addWidget(CheckBoxCrop, 1, 0, 1, 3);
  SetControls(grid);
}
