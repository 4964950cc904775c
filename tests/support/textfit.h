// Texts that do not fit their widgets: each visible label's, button's, group box title's and
// tab's text measured with its font's metrics against the room the style gives it.
#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QWidget>
#include <string>
#include <vector>

namespace textfit {

inline QString Shown(QString Text) {
  return Text.replace("&&", "\x01").remove('&').replace('\x01', '&');
}

inline std::string Name(const QWidget& Widget, const QString& Text) {
  return (Widget.objectName().isEmpty() ? QString(Widget.metaObject()->className())
                                        : Widget.objectName())
             .toStdString() +
         " \"" + Text.toStdString() + "\"";
}

// The room of a button's text: the style's contents rectangle.
inline QRect ButtonTextRoom(QAbstractButton& Button) {
  QStyleOptionButton option;
  option.initFrom(&Button);
  option.text = Button.text();
  option.icon = Button.icon();
  option.iconSize = Button.iconSize();
  QStyle::SubElement element = QStyle::SE_PushButtonContents;
  if (qobject_cast<QCheckBox*>(&Button) != nullptr) element = QStyle::SE_CheckBoxContents;
  if (qobject_cast<QRadioButton*>(&Button) != nullptr) element = QStyle::SE_RadioButtonContents;
  return Button.style()->subElementRect(element, &option, &Button);
}

inline QRect GroupTitleRoom(QGroupBox& Group) {
  QStyleOptionGroupBox option;
  option.initFrom(&Group);
  option.text = Group.title();
  option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
  if (Group.isCheckable()) option.subControls |= QStyle::SC_GroupBoxCheckBox;
  option.textAlignment = Group.alignment();
  return Group.style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel,
                                       &Group);
}

}  // namespace textfit

// "<object name> "<text>"" for every text of Window's visible widgets that its room cuts.
inline std::vector<std::string> CutTexts(QWidget& Window) {
  using namespace textfit;
  std::vector<std::string> cut;
  for (QWidget* widget : Window.findChildren<QWidget*>()) {
    if (!widget->isVisibleTo(&Window)) continue;
    const QFontMetrics metrics(widget->font());
    if (auto* label = qobject_cast<QLabel*>(widget); label != nullptr && !label->text().isEmpty()) {
      const QRect room = label->contentsRect().adjusted(label->margin(), label->margin(),
                                                        -label->margin(), -label->margin());
      int flags = Qt::TextShowMnemonic | (label->wordWrap() ? Qt::TextWordWrap : 0);
      QRect needed = metrics.boundingRect(room, flags, label->text());
      if (label->textFormat() != Qt::RichText &&
          (needed.width() > room.width() || needed.height() > room.height())) {
        cut.push_back(Name(*label, label->text()));
      }
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget);
               button != nullptr && !button->text().isEmpty()) {
      if (metrics.horizontalAdvance(Shown(button->text())) > ButtonTextRoom(*button).width()) {
        cut.push_back(Name(*button, button->text()));
      }
    } else if (auto* group = qobject_cast<QGroupBox*>(widget);
               group != nullptr && !group->title().isEmpty()) {
      if (metrics.horizontalAdvance(Shown(group->title())) > GroupTitleRoom(*group).width()) {
        cut.push_back(Name(*group, group->title()));
      }
    } else if (auto* tabs = qobject_cast<QTabBar*>(widget)) {
      for (int i = 0; i < tabs->count(); ++i) {
        if (metrics.horizontalAdvance(Shown(tabs->tabText(i))) > tabs->tabRect(i).width()) {
          cut.push_back(Name(*tabs, tabs->tabText(i)));
        }
      }
    }
  }
  return cut;
}
