// TDialogoWait: the small borderless "Please wait !" box shown while a slow step runs on the
// window's own thread.
#pragma once

#include <QDialog>

class QLabel;

class TDialogoWait : public QDialog {
 public:
  explicit TDialogoWait(QWidget* Owner);

  // Shows the operation's text and paints the box at once, before the slow step blocks.
  void ShowOperation(const QString& Text);

  QLabel* Label1;
  QLabel* LabelOperation;

 protected:
  // Escape on the box is the owner's cancel.
  void reject() override;
};
