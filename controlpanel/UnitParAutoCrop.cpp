#include "UnitParAutoCrop.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "RealKeyPress.h"

TDialogoAutoCrop::TDialogoAutoCrop(QWidget* Owner)
    : TParameterDialog("AutoCrop Parameters", "DialogoAutoCrop", Owner) {
  EditPercent = new QLineEdit(this);
  EditPercent->setObjectName("EditPercent");
  EditMargin = new QLineEdit(this);
  EditMargin->setObjectName("EditMargin");
  // EditPercentKeyPress, EditMarginKeyPress: the locale's decimal separator.
  new TRealKeyPress(EditPercent, QChar());
  new TRealKeyPress(EditMargin, QChar());

  auto* sizes = new QGroupBox("Paper Sizes", this);
  sizes->setObjectName("GroupBoxPaperSizes");
  const struct {
    QCheckBox*& Box;
    const char* Name;
    const char* Caption;
  } boxes[] = {{CheckBoxA6, "CheckBoxA6", "UNI A6"},
               {CheckBoxA5, "CheckBoxA5", "UNI A5"},
               {CheckBoxA4, "CheckBoxA4", "UNI A4"},
               {CheckBoxA3, "CheckBoxA3", "UNI A3"},
               {CheckBoxStatement, "CheckBoxStatement", "Statement"},
               {CheckBoxLetter, "CheckBoxLetter", "Letter"},
               {CheckBoxLegal, "CheckBoxLegal", "Legal"},
               {CheckBoxLedger, "CheckBoxLedger", "Ledger"}};
  auto* sizeGrid = new QGridLayout(sizes);
  for (int bit = 0; bit < 8; ++bit) {
    boxes[bit].Box = new QCheckBox(boxes[bit].Caption, sizes);
    boxes[bit].Box->setObjectName(boxes[bit].Name);
    FPaperSizes[bit] = boxes[bit].Box;
    sizeGrid->addWidget(boxes[bit].Box, bit % 4, bit / 4);
  }

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel("White Percentage", this), 0, 0);
  grid->addWidget(EditPercent, 0, 1);
  grid->addWidget(new QLabel("%", this), 0, 2);
  grid->addWidget(sizes, 1, 0, 1, 3);
  grid->addWidget(new QLabel("Minimal Margin", this), 2, 0);
  grid->addWidget(EditMargin, 2, 1);
  grid->addWidget(new QLabel("Inches", this), 2, 2);
  SetControls(grid);
}
