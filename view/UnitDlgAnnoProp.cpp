#include "UnitDlgAnnoProp.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>

#include "boundaryguard.h"
#include "exception.h"

namespace {

QLabel* Caption(QWidget* Parent, const char* Text, int X, int Y) {
  auto* L = new QLabel(QString::fromUtf8(Text), Parent);  // owned by Parent
  L->move(X, Y);
  return L;
}

QSpinBox* Spin(QWidget* Parent, int Min, int Max, int X, int Y, int W) {
  auto* S = new QSpinBox(Parent);  // owned by Parent
  S->setRange(Min, Max);
  S->setGeometry(X, Y, W, 21);
  return S;
}

QPushButton* Button(QWidget* Parent, const char* Text, QRect At) {
  auto* B = new QPushButton(QString::fromUtf8(Text), Parent);  // owned by Parent
  B->setGeometry(At);
  return B;
}

// The colours a colour box offers: the sixteen standard ones.
const QColor kStandardColors[] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                  {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {128, 128, 128},
                                  {192, 192, 192}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                  {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
const char* const kColorNames[] = {"Black", "Maroon",  "Green",  "Olive", "Navy", "Purple",
                                   "Teal",  "Gray",    "Silver", "Red",   "Lime", "Yellow",
                                   "Blue",  "Fuchsia", "Aqua",   "White"};

int32_t ToInteger(const QString& Text) {
  bool Ok = false;
  const int32_t Value = Text.trimmed().toInt(&Ok);
  if (!Ok) throw Exception("'" + Text.toStdString() + "' is not a valid integer value");
  return Value;
}

}  // namespace

TDialogAnnotationProperties::TDialogAnnotationProperties(QWidget* Parent) : QDialog(Parent) {
  setWindowTitle(QString::fromUtf8("Proprietà Annotazione"));
  setFixedSize(377, 307);
  DialogFont = QFont("Arial", 12);
  BuildCommon();
  BuildTextPage();
  BuildRectanglePage();
  BuildLinePage();
  BuildImagePage();
}

void TDialogAnnotationProperties::BuildCommon() {
  auto* Bevel1 = new QFrame(this);  // owned by the dialog
  Bevel1->setFrameShape(QFrame::Box);
  Bevel1->setFrameShadow(QFrame::Sunken);
  Bevel1->setGeometry(8, 8, 361, 89);
  Caption(this, "X1", 18, 20);
  SpinEditLeft = Spin(this, 0, 999999, 40, 16, 80);
  Caption(this, "Y1", 18, 48);
  SpinEditTop = Spin(this, 0, 999999, 40, 44, 80);
  Caption(this, "X2", 132, 20);
  SpinEditRight = Spin(this, 0, 999999, 154, 16, 80);
  Caption(this, "Y2", 132, 48);
  SpinEditBottom = Spin(this, 0, 999999, 154, 44, 80);
  Caption(this, "Colore", 248, 20);
  ColorBox = new QComboBox(this);  // owned by the dialog
  ColorBox->setGeometry(248, 36, 113, 22);
  for (size_t I = 0; I < std::size(kStandardColors); ++I) {
    QPixmap Swatch(12, 12);
    Swatch.fill(kStandardColors[I]);
    ColorBox->addItem(QIcon(Swatch), kColorNames[I], kStandardColors[I]);
  }
  CheckBoxVisible = new QCheckBox("Visibile", this);  // owned by the dialog
  CheckBoxVisible->setGeometry(18, 72, 100, 20);
  OkBtn = Button(this, "OK", QRect(206, 274, 75, 25));
  OkBtn->setDefault(true);
  CancelBtn = Button(this, "Annulla", QRect(294, 274, 75, 25));
  connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  PageControl1 = new QStackedWidget(this);  // owned by the dialog
  PageControl1->setGeometry(8, 104, 361, 162);
  PageControl1->setFrameShape(QFrame::StyledPanel);
  for (QWidget** Page : {&TabSheetText, &TabSheetRectangle, &TabSheetLine, &TabSheetImage}) {
    *Page = new QWidget;  // owned by PageControl1
    PageControl1->addWidget(*Page);
  }
}

void TDialogAnnotationProperties::BuildTextPage() {
  Caption(TabSheetText, "Font", 8, 10);
  EditFont = new QLineEdit("Arial, 12, bold, italic, underlined", TabSheetText);
  EditFont->setReadOnly(true);
  EditFont->setFrame(false);
  EditFont->setGeometry(48, 8, 236, 20);
  EditFont->setStyleSheet("QLineEdit { background: palette(button); }");
  ButtonFontColor = Button(TabSheetText, "", QRect(290, 6, 28, 23));
  ButtonFontColor->setToolTip("Colore del testo");
  ButtonFont = Button(TabSheetText, "...", QRect(322, 6, 28, 23));
  Caption(TabSheetText, "Testo", 8, 36);
  MemoText = new QPlainTextEdit(TabSheetText);  // owned by the page
  MemoText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MemoText->setGeometry(8, 54, 342, 98);
  connect(ButtonFont, &QPushButton::clicked, this, [this] { ButtonFontClick(); });
  connect(ButtonFontColor, &QPushButton::clicked, this, [this] { ButtonFontColorClick(); });
}

void TDialogAnnotationProperties::BuildRectanglePage() {
  Caption(TabSheetRectangle, "Penna", 8, 12);
  SpinEditRectanglePen = Spin(TabSheetRectangle, 1, 999, 56, 8, 60);
  SpinEditRectanglePen->setValue(1);
  CheckBoxRectangleHightLight = new QCheckBox("Evidenziato", TabSheetRectangle);
  CheckBoxRectangleHightLight->setGeometry(8, 40, 150, 20);
  CheckBoxRectangleFilled = new QCheckBox("Pieno", TabSheetRectangle);
  CheckBoxRectangleFilled->setGeometry(8, 64, 150, 20);
}

void TDialogAnnotationProperties::BuildLinePage() {
  Caption(TabSheetLine, "Penna", 8, 12);
  SpinEditLinePen = Spin(TabSheetLine, 1, 999, 56, 8, 60);
  SpinEditLinePen->setValue(1);
  Caption(TabSheetLine, "Punti:", 8, 40);
  ListBoxPoints = new QListWidget(TabSheetLine);  // owned by the page
  ListBoxPoints->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListBoxPoints->setGeometry(8, 56, 160, 96);
  Caption(TabSheetLine, "X", 184, 60);
  EditX = new QLineEdit("0", TabSheetLine);
  EditX->setMaxLength(4);
  EditX->setGeometry(200, 56, 50, 21);
  Caption(TabSheetLine, "Y", 262, 60);
  EditY = new QLineEdit("0", TabSheetLine);
  EditY->setMaxLength(4);
  EditY->setGeometry(278, 56, 50, 21);
  ButtonAdd = Button(TabSheetLine, "Aggiungi", QRect(184, 90, 75, 25));
  ButtonDelete = Button(TabSheetLine, "Elimina", QRect(268, 90, 75, 25));
  connect(ButtonAdd, &QPushButton::clicked, this,
          [this] { Reported([this] { ButtonAddClick(); }); });
  connect(ButtonDelete, &QPushButton::clicked, this, [this] { ButtonDeleteClick(); });
  connect(ListBoxPoints, &QListWidget::itemClicked, this, [this] { ListBoxPointsClick(); });
}

void TDialogAnnotationProperties::BuildImagePage() {
  Caption(TabSheetImage, "Immagine", 8, 8);
  Image = new QLabel(TabSheetImage);  // owned by the page
  Image->setGeometry(8, 26, 250, 126);
  Image->setAlignment(Qt::AlignCenter);
  Image->setFrameShape(QFrame::Panel);
  Image->setFrameShadow(QFrame::Sunken);
  ButtonClear = Button(TabSheetImage, "Cancella", QRect(270, 26, 80, 25));
  ButtonLoad = Button(TabSheetImage, "Apri...", QRect(270, 58, 80, 25));
  connect(ButtonClear, &QPushButton::clicked, this, [this] { ButtonClearClick(); });
  connect(ButtonLoad, &QPushButton::clicked, this,
          [this] { Reported([this] { ButtonLoadClick(); }); });
}

// A failing handler shows its message over the dialog, as the application shows every
// failure of a click; nothing leaves the slot as an exception.
void TDialogAnnotationProperties::Reported(const std::function<void()>& Handler) {
  Guarded(Handler, [this] {
    auto* Box = new QMessageBox(QMessageBox::Critical, windowTitle(),
                                QString::fromStdString(FailureText()), QMessageBox::Ok,
                                this);  // owned by the dialog
    Box->setAttribute(Qt::WA_DeleteOnClose);
    Box->open();
  });
}

QString TDialogAnnotationProperties::FontDescription(const QFont& Font) {
  QString Text = Font.family() + ", " + QString::number(Font.pointSize());
  if (Font.bold()) Text += ", Bold";
  if (Font.italic()) Text += ", Italic";
  if (Font.underline()) Text += ", Underline";
  if (Font.strikeOut()) Text += ", Strikeout";
  return Text;
}

void TDialogAnnotationProperties::SetColor(const QColor& Color) {
  int Index = ColorBox->findData(Color);
  if (Index < 0) {
    QPixmap Swatch(12, 12);
    Swatch.fill(Color);
    ColorBox->addItem(QIcon(Swatch), Color.name(), Color);
    Index = ColorBox->count() - 1;
  }
  ColorBox->setCurrentIndex(Index);
}

void TDialogAnnotationProperties::ShowFont() {
  EditFont->setText(FontDescription(DialogFont));
  QPalette P = EditFont->palette();
  P.setColor(QPalette::Text, DialogFontColor);
  EditFont->setPalette(P);
  QPixmap Swatch(14, 14);
  Swatch.fill(DialogFontColor);
  ButtonFontColor->setIcon(QIcon(Swatch));
}

void TDialogAnnotationProperties::ShowPicture() {
  if (Picture.isNull()) {
    Image->clear();
    return;
  }
  Image->setPixmap(QPixmap::fromImage(Picture).scaled(
      Image->contentsRect().size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void TDialogAnnotationProperties::AddPointEntry(uint16_t X, uint16_t Y) {
  auto* Item = new QListWidgetItem(QString("%1,%2").arg(X).arg(Y));  // owned by the list
  Item->setData(Qt::UserRole, uint32_t{X} | uint32_t{Y} << 16);
  ListBoxPoints->addItem(Item);
}

void TDialogAnnotationProperties::LoadFromMark(const TMarkProperties& Mark) {
  SpinEditLeft->setValue(Mark.Left);
  SpinEditTop->setValue(Mark.Top);
  SpinEditRight->setValue(Mark.Right);
  SpinEditBottom->setValue(Mark.Bottom);
  SetColor(Mark.Color);
  CheckBoxVisible->setChecked(Mark.Visible);
  switch (Mark.Family) {
    case TMarkProperties::mfText:
      PageControl1->setCurrentWidget(TabSheetText);
      DialogFont = Mark.Font;
      DialogFontColor = Mark.FontColor;
      ShowFont();
      MemoText->setPlainText(Mark.Text);
      break;
    case TMarkProperties::mfRectangle:
      PageControl1->setCurrentWidget(TabSheetRectangle);
      CheckBoxRectangleFilled->setChecked(Mark.Filled);
      CheckBoxRectangleHightLight->setChecked(Mark.Highlighted);
      SpinEditRectanglePen->setValue(Mark.PenWidth);
      break;
    case TMarkProperties::mfLine:
      PageControl1->setCurrentWidget(TabSheetLine);
      SpinEditLinePen->setValue(Mark.PenWidth);
      for (auto [X, Y] : Mark.Points) AddPointEntry(X, Y);
      break;
    case TMarkProperties::mfImage:
      PageControl1->setCurrentWidget(TabSheetImage);
      Picture = Mark.Picture;
      ShowPicture();
      break;
  }
}

void TDialogAnnotationProperties::SaveToMark(TMarkProperties& Mark) const {
  Mark.Left = SpinEditLeft->value();
  Mark.Top = SpinEditTop->value();
  Mark.Right = SpinEditRight->value();
  Mark.Bottom = SpinEditBottom->value();
  Mark.Color = ColorBox->currentData().value<QColor>();
  Mark.Visible = CheckBoxVisible->isChecked();
  switch (Mark.Family) {
    case TMarkProperties::mfText:
      Mark.Font = DialogFont;
      Mark.FontColor = DialogFontColor;
      Mark.Text = MemoText->toPlainText();
      break;
    case TMarkProperties::mfRectangle:
      Mark.Filled = CheckBoxRectangleFilled->isChecked();
      Mark.Highlighted = CheckBoxRectangleHightLight->isChecked();
      Mark.PenWidth = SpinEditRectanglePen->value();
      break;
    case TMarkProperties::mfLine:
      Mark.PenWidth = SpinEditLinePen->value();
      Mark.Points.clear();
      for (int I = 0; I < ListBoxPoints->count(); ++I) {
        const uint32_t Packed = ListBoxPoints->item(I)->data(Qt::UserRole).toUInt();
        Mark.Points.emplace_back(static_cast<uint16_t>(Packed),
                                 static_cast<uint16_t>(Packed >> 16));
      }
      break;
    case TMarkProperties::mfImage:
      Mark.Picture = Picture;
      break;
  }
}

void TDialogAnnotationProperties::ButtonFontClick() {
  bool Ok = false;
  const QFont Chosen = QFontDialog::getFont(&Ok, DialogFont, this);
  if (!Ok) return;
  DialogFont = Chosen;
  ShowFont();
}

void TDialogAnnotationProperties::ButtonFontColorClick() {
  const QColor Chosen = QColorDialog::getColor(DialogFontColor, this, "Colore del testo");
  if (!Chosen.isValid()) return;
  DialogFontColor = Chosen;
  ShowFont();
}

void TDialogAnnotationProperties::ButtonLoadClick() {
  const QString Name =
      QFileDialog::getOpenFileName(this, QString(), QString(), "BMP Files (*.bmp)");
  if (Name.isEmpty()) return;
  QImage Loaded;
  if (!Loaded.load(Name, "BMP")) throw Exception("Bitmap image is not valid");
  Picture = Loaded;
  ShowPicture();
}

void TDialogAnnotationProperties::ButtonClearClick() {
  Picture = QImage();
  ShowPicture();
}

void TDialogAnnotationProperties::ButtonDeleteClick() {
  qDeleteAll(ListBoxPoints->selectedItems());
}

void TDialogAnnotationProperties::ButtonAddClick() {
  const int32_t X = ToInteger(EditX->text());
  const int32_t Y = ToInteger(EditY->text());
  AddPointEntry(static_cast<uint16_t>(X), static_cast<uint16_t>(Y));
}

void TDialogAnnotationProperties::ListBoxPointsClick() {
  QListWidgetItem* Item = ListBoxPoints->currentItem();
  if (Item == nullptr || !Item->isSelected()) return;
  const uint32_t Packed = Item->data(Qt::UserRole).toUInt();
  EditX->setText(QString::number(Packed & 0xFFFF));
  EditY->setText(QString::number(Packed >> 16));
}
