// The small window in which the user chooses a data source (DAT_IDENTITY / MSG_USERSELECT):
// the product names in the order listed, the default one selected; "Select" or a double
// click chooses, "Cancel" or closing the window chooses nothing.
#pragma once

#include <QDialog>
#include <vector>

class QListWidget;

class TSourceSelectDialog : public QDialog {
 public:
  TSourceSelectDialog(const std::vector<QString>& Names, int DefaultRow, QWidget* Parent = nullptr);

  // The row chosen, -1 for none.
  int ChosenRow() const;
  QListWidget* List() const { return FList; }

 private:
  QListWidget* FList;
};
