#include "DlgWait.h"

#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

TDialogoWait::TDialogoWait(QWidget* Owner) : QDialog(Owner, Qt::FramelessWindowHint | Qt::Dialog) {
  // The keys stay with the window that waits: an Escape meant for it is never the box's.
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  setFixedSize(180, 65);
  auto* bevel = new QFrame(this);
  bevel->setFrameShape(QFrame::Box);
  bevel->setFrameShadow(QFrame::Raised);
  bevel->setGeometry(0, 0, 180, 65);
  QFont bold = font();
  bold.setBold(true);
  Label1 = new QLabel("Please wait !", bevel);
  LabelOperation = new QLabel("Retrieving Original Image...", bevel);
  for (QLabel* label : {Label1, LabelOperation}) {
    label->setFont(bold);
    label->setAlignment(Qt::AlignCenter);
  }
  auto* layout = new QVBoxLayout(bevel);
  layout->addWidget(Label1);
  layout->addWidget(LabelOperation);
}

void TDialogoWait::ShowOperation(const QString& Text) {
  LabelOperation->setText(Text);
  // The box keeps its size: a long text takes a smaller font rather than lose its ends.
  QFont font = Label1->font();
  const int room = width() - 12;
  while (font.pointSizeF() > 6 && QFontMetrics(font).horizontalAdvance(Text) > room) {
    font.setPointSizeF(font.pointSizeF() - 0.5);
  }
  LabelOperation->setFont(font);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  show();
  repaint();
}

void TDialogoWait::reject() {
  if (auto* owner = qobject_cast<QDialog*>(parentWidget())) owner->reject();
}
