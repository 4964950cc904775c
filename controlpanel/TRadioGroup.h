// A group box of exclusive radio buttons addressed by item index, laid out in columns.
#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QStringList>

class TRadioGroup : public QGroupBox {
  Q_OBJECT

 public:
  TRadioGroup(const QString& Caption, const QStringList& Items, int Columns,
              QWidget* Parent = nullptr);

  // -1 when no item is checked.
  int ItemIndex() const { return FButtons->checkedId(); }
  // Clamps to -1 .. the last item; -1 checks none.
  void SetItemIndex(int Index);
  QAbstractButton* Item(int Index) const { return FButtons->button(Index); }

 signals:
  void Clicked();

 private:
  QButtonGroup* FButtons;
};
