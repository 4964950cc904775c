// "Proprietà Annotazione": the modal dialog that edits one mark, its rectangle, colour and
// visibility, and the settings of its kind on one of four pages with hidden tabs.
#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QImage>
#include <QString>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QStackedWidget;

// What the dialog shows of a mark and writes back into it.
struct TMarkProperties {
  enum TFamily { mfText, mfRectangle, mfLine, mfImage };
  TFamily Family = mfRectangle;
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  QColor Color = Qt::black;
  bool Visible = true;
  QFont Font;
  QColor FontColor = Qt::black;
  QString Text;
  bool Filled = false, Highlighted = false;
  int32_t PenWidth = 1;
  std::vector<std::pair<uint16_t, uint16_t>> Points;
  QImage Picture;
};

class TDialogAnnotationProperties : public QDialog {
 public:
  explicit TDialogAnnotationProperties(QWidget* Parent = nullptr);

  void LoadFromMark(const TMarkProperties& Mark);
  // The dialog's values over the mark's; run only after "OK".
  void SaveToMark(TMarkProperties& Mark) const;

  // The name, ", ", the size in points, then ", Bold", ", Italic", ", Underline", ", Strikeout".
  static QString FontDescription(const QFont& Font);

  void ButtonFontClick();
  // The colour dialog for the text's colour; the font keeps it.
  void ButtonFontColorClick();
  void ButtonLoadClick();
  void ButtonClearClick();
  void ButtonDeleteClick();
  // Raises "'<text>' is not a valid integer value" and adds nothing when a field is no integer.
  void ButtonAddClick();
  void ListBoxPointsClick();

  // The controls, for the page view and for tests.
  QSpinBox *SpinEditLeft, *SpinEditTop, *SpinEditRight, *SpinEditBottom;
  QComboBox* ColorBox;
  QCheckBox* CheckBoxVisible;
  QPushButton *OkBtn, *CancelBtn;
  QStackedWidget* PageControl1;
  QWidget *TabSheetText, *TabSheetRectangle, *TabSheetLine, *TabSheetImage;
  QLineEdit* EditFont;
  QPushButton *ButtonFont, *ButtonFontColor;
  QPlainTextEdit* MemoText;
  QSpinBox* SpinEditRectanglePen;
  QCheckBox *CheckBoxRectangleHightLight, *CheckBoxRectangleFilled;
  QSpinBox* SpinEditLinePen;
  QListWidget* ListBoxPoints;
  QLineEdit *EditX, *EditY;
  QPushButton *ButtonAdd, *ButtonDelete;
  QLabel* Image;
  QPushButton *ButtonClear, *ButtonLoad;

  QFont DialogFont;  // the font dialog's font and colour
  QColor DialogFontColor = Qt::black;
  QImage Picture;

 private:
  void BuildCommon();
  void BuildTextPage();
  void BuildRectanglePage();
  void BuildLinePage();
  void BuildImagePage();
  void SetColor(const QColor& Color);
  void ShowFont();
  void ShowPicture();
  void AddPointEntry(uint16_t X, uint16_t Y);
  void Reported(const std::function<void()>& Handler);
};
