#include "ParameterDialog.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

TParameterDialog::TParameterDialog(const QString& Caption, const char* Name, QWidget* Owner)
    : QDialog(Owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(Name);
  setWindowTitle(Caption);
  setModal(true);
}

void TParameterDialog::SetControls(QLayout* Controls) {
  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("ButtonOK");
  ok->setDefault(true);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("ButtonCancel");
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(Controls);
  layout->addSpacing(layout->spacing());
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

QSpinBox* TParameterDialog::SpinEdit(const char* Name, TIntRange Range) {
  auto* spin = new QSpinBox(this);
  spin->setObjectName(Name);
  spin->setRange(Range.Min, Range.Max);
  return spin;
}
