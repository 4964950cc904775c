#include "TRadioGroup.h"

#include <QGridLayout>
#include <QRadioButton>
#include <algorithm>

TRadioGroup::TRadioGroup(const QString& Caption, const QStringList& Items, int Columns,
                         QWidget* Parent)
    : QGroupBox(Caption, Parent), FButtons(new QButtonGroup(this)) {
  auto* layout = new QGridLayout(this);
  for (int i = 0; i < Items.size(); ++i) {
    auto* button = new QRadioButton(Items[i], this);
    FButtons->addButton(button, i);
    layout->addWidget(button, i / Columns, i % Columns);
  }
  connect(FButtons, &QButtonGroup::idClicked, this, &TRadioGroup::Clicked);
}

void TRadioGroup::SetItemIndex(int Index) {
  Index = std::clamp(Index, -1, static_cast<int>(FButtons->buttons().size()) - 1);
  if (Index >= 0) {
    FButtons->button(Index)->setChecked(true);
    return;
  }
  // An exclusive group never lets its checked button go by itself.
  FButtons->setExclusive(false);
  for (QAbstractButton* button : FButtons->buttons()) button->setChecked(false);
  FButtons->setExclusive(true);
}
