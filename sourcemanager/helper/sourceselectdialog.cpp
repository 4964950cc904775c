#include "sourceselectdialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TSourceSelectDialog::TSourceSelectDialog(const std::vector<QString>& Names, int DefaultRow,
                                         QWidget* Parent)
    : QDialog(Parent), FList(new QListWidget(this)) {
  setWindowTitle("Select Source");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("Sources:", this));
  for (const QString& name : Names) FList->addItem(name);
  if (DefaultRow >= 0 && DefaultRow < FList->count()) FList->setCurrentRow(DefaultRow);
  layout->addWidget(FList);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* select = buttons->addButton("Select", QDialogButtonBox::AcceptRole);
  buttons->addButton(QDialogButtonBox::Cancel);
  select->setDefault(true);
  select->setEnabled(FList->currentRow() >= 0);
  layout->addWidget(buttons);
  connect(FList, &QListWidget::currentRowChanged, select,
          [select](int Row) { select->setEnabled(Row >= 0); });
  connect(FList, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  resize(320, 240);
}

int TSourceSelectDialog::ChosenRow() const {
  return result() == QDialog::Accepted ? FList->currentRow() : -1;
}
