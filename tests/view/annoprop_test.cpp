#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTimer>
#include <filesystem>

#include "UnitDlgAnnoProp.h"
#include "exception.h"

namespace {

TMarkProperties LineMark() {
  TMarkProperties M;
  M.Family = TMarkProperties::mfLine;
  M.Left = 3;
  M.Top = 4;
  M.Right = 10;
  M.Bottom = 20;
  M.Color = QColor(0, 0, 255);
  M.PenWidth = 4;
  M.Points = {{3, 4}, {10, 20}};
  return M;
}

void Shoot(QWidget& W, const std::string& Name) {
  const std::filesystem::path Dir = CLARIVO_SCREENSHOTS;
  std::filesystem::create_directories(Dir);
  W.grab().save(QString::fromStdString((Dir / Name).string()));
}

}  // namespace

TEST(AnnotationDialog, CaptionsAndRanges) {
  TDialogAnnotationProperties D;
  EXPECT_EQ(D.windowTitle(), QString::fromUtf8("Proprietà Annotazione"));
  EXPECT_EQ(D.size(), QSize(377, 307));
  EXPECT_EQ(D.OkBtn->text(), "OK");
  EXPECT_EQ(D.CancelBtn->text(), "Annulla");
  EXPECT_TRUE(D.OkBtn->isDefault());
  EXPECT_EQ(D.CheckBoxVisible->text(), "Visibile");
  EXPECT_EQ(D.EditFont->text(), "Arial, 12, bold, italic, underlined");
  EXPECT_TRUE(D.EditFont->isReadOnly());
  for (QSpinBox* S : {D.SpinEditLeft, D.SpinEditTop, D.SpinEditRight, D.SpinEditBottom}) {
    S->setValue(-5);
    EXPECT_EQ(S->value(), 0);
    S->setValue(1000000);
    EXPECT_EQ(S->value(), 999999);
  }
  for (QSpinBox* S : {D.SpinEditRectanglePen, D.SpinEditLinePen}) {
    EXPECT_EQ(S->value(), 1);
    S->setValue(0);
    EXPECT_EQ(S->value(), 1);
    S->setValue(1000);
    EXPECT_EQ(S->value(), 999);
  }
  EXPECT_EQ(D.EditX->maxLength(), 4);
  EXPECT_EQ(D.EditX->text(), "0");
}

TEST(AnnotationDialog, FontDescription) {
  QFont F("Arial", 12);
  F.setBold(true);
  F.setItalic(true);
  EXPECT_EQ(TDialogAnnotationProperties::FontDescription(F), "Arial, 12, Bold, Italic");
  F.setUnderline(true);
  F.setStrikeOut(true);
  F.setBold(false);
  EXPECT_EQ(TDialogAnnotationProperties::FontDescription(F),
            "Arial, 12, Italic, Underline, Strikeout");
}

TEST(AnnotationDialog, LinePointsRoundTrip) {
  TDialogAnnotationProperties D;
  D.LoadFromMark(LineMark());
  EXPECT_EQ(D.PageControl1->currentWidget(), D.TabSheetLine);
  ASSERT_EQ(D.ListBoxPoints->count(), 2);
  EXPECT_EQ(D.ListBoxPoints->item(0)->text(), "3,4");
  EXPECT_EQ(D.SpinEditLinePen->value(), 4);
  D.ListBoxPoints->setCurrentRow(1);
  D.ListBoxPointsClick();
  EXPECT_EQ(D.EditX->text(), "10");
  EXPECT_EQ(D.EditY->text(), "20");
  D.ButtonAddClick();
  ASSERT_EQ(D.ListBoxPoints->count(), 3);
  EXPECT_EQ(D.ListBoxPoints->item(2)->text(), "10,20");
  D.EditX->setText("x1");
  EXPECT_THROW(D.ButtonAddClick(), Exception);
  EXPECT_EQ(D.ListBoxPoints->count(), 3);
  D.ListBoxPoints->clearSelection();
  D.ListBoxPoints->item(0)->setSelected(true);
  D.ButtonDeleteClick();
  TMarkProperties M = LineMark();
  D.SaveToMark(M);
  ASSERT_EQ(M.Points.size(), 2u);
  EXPECT_EQ(M.Points[0], (std::pair<uint16_t, uint16_t>{10, 20}));
  EXPECT_EQ(M.Points[1], (std::pair<uint16_t, uint16_t>{10, 20}));
  EXPECT_EQ(M.Color, QColor(0, 0, 255));
}

TEST(AnnotationDialog, WritesBackOnlyWhatItShows) {
  TMarkProperties R;
  R.Family = TMarkProperties::mfRectangle;
  R.Left = 10;
  R.Top = 5;
  R.Right = 100;
  R.Bottom = 50;
  R.Color = QColor(12, 34, 56);  // not a standard colour
  R.Filled = true;
  R.PenWidth = 7;
  TDialogAnnotationProperties D;
  D.LoadFromMark(R);
  EXPECT_EQ(D.PageControl1->currentWidget(), D.TabSheetRectangle);
  EXPECT_TRUE(D.CheckBoxRectangleFilled->isChecked());
  EXPECT_FALSE(D.CheckBoxRectangleHightLight->isChecked());
  TMarkProperties Back = R;
  Back.PenWidth = 0;
  Back.Color = Qt::white;
  D.SaveToMark(Back);
  EXPECT_EQ(Back.Left, 10);
  EXPECT_EQ(Back.Bottom, 50);
  EXPECT_EQ(Back.PenWidth, 7);
  EXPECT_EQ(Back.Color, QColor(12, 34, 56));
  EXPECT_TRUE(Back.Filled);
}

TEST(AnnotationDialog, TextPageShowsTheFontInItsColour) {
  TMarkProperties T;
  T.Family = TMarkProperties::mfText;
  T.Font = QFont("Arial", 14);
  T.Font.setBold(true);
  T.FontColor = QColor(200, 0, 0);
  T.Text = "Nota\nseconda riga";
  TDialogAnnotationProperties D;
  D.LoadFromMark(T);
  EXPECT_EQ(D.PageControl1->currentWidget(), D.TabSheetText);
  EXPECT_EQ(D.EditFont->text(), "Arial, 14, Bold");
  EXPECT_EQ(D.EditFont->palette().color(QPalette::Text), QColor(200, 0, 0));
  EXPECT_EQ(D.MemoText->toPlainText(), "Nota\nseconda riga");
  D.MemoText->setPlainText("Nuovo");
  TMarkProperties Back = T;
  D.SaveToMark(Back);
  EXPECT_EQ(Back.Text, "Nuovo");
  EXPECT_TRUE(Back.Font.bold());
}

// The text's colour is chosen with its own button beside the font's; "Annulla" in the colour
// dialog keeps the colour there was.
TEST(AnnotationDialog, TheTextColourHasAButton) {
  TMarkProperties T;
  T.Family = TMarkProperties::mfText;
  T.FontColor = QColor(200, 0, 0);
  TDialogAnnotationProperties D;
  D.LoadFromMark(T);
  D.show();
  EXPECT_TRUE(D.ButtonFontColor->isVisible());
  const auto Answer = [](const QColor& Chosen, bool Accept) {
    QTimer::singleShot(0, [Chosen, Accept] {
      auto* Colours = dynamic_cast<QColorDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(Colours, nullptr);
      Colours->setCurrentColor(Chosen);
      if (Accept) {
        Colours->accept();
      } else {
        Colours->reject();
      }
    });
  };
  Answer(QColor(0, 128, 0), true);
  D.ButtonFontColor->click();
  EXPECT_EQ(D.EditFont->palette().color(QPalette::Text), QColor(0, 128, 0));
  Answer(QColor(0, 0, 255), false);
  D.ButtonFontColor->click();
  Shoot(D, "annoprop-text-colour.png");
  TMarkProperties Back = T;
  D.SaveToMark(Back);
  EXPECT_EQ(Back.FontColor, QColor(0, 128, 0));
}

TEST(AnnotationDialog, ScreenshotsOfEachPage) {
  QImage Picture(120, 80, QImage::Format_RGB32);
  Picture.fill(QColor(30, 120, 200));
  TMarkProperties Marks[4];
  Marks[0].Family = TMarkProperties::mfText;
  Marks[0].Font = QFont("Arial", 12);
  Marks[0].Font.setItalic(true);
  Marks[0].FontColor = QColor(0, 0, 160);
  Marks[0].Text = "Controllare la firma";
  Marks[1].Family = TMarkProperties::mfRectangle;
  Marks[1].Highlighted = true;
  Marks[1].PenWidth = 3;
  Marks[2] = LineMark();
  Marks[3].Family = TMarkProperties::mfImage;
  Marks[3].Picture = Picture;
  const char* Names[4] = {"annoprop-text.png", "annoprop-rectangle.png", "annoprop-line.png",
                          "annoprop-image.png"};
  for (int I = 0; I < 4; ++I) {
    Marks[I].Left = 120;
    Marks[I].Top = 80;
    Marks[I].Right = 480;
    Marks[I].Bottom = 260;
    Marks[I].Color = QColor(255, 0, 0);
    TDialogAnnotationProperties D;
    D.LoadFromMark(Marks[I]);
    D.show();
    Shoot(D, Names[I]);
    if (I == 3) {
      EXPECT_FALSE(D.Image->pixmap().isNull());
      D.ButtonClearClick();
      EXPECT_TRUE(D.Image->pixmap().isNull());
    }
  }
}
