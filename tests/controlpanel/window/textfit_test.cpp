// The check of the screenshot tests finds a text that its widget cuts, and only such a text.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include "textfit.h"

namespace {

TEST(TextFit, FindsTheTextsThatTheirWidgetsCut) {
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  const QString text = "Black Percentage";
  auto* roomyLabel = new QLabel(text, &window);
  auto* narrowLabel = new QLabel(text, &window);
  narrowLabel->setObjectName("narrowLabel");
  narrowLabel->setFixedWidth(30);
  auto* roomyBox = new QCheckBox("&Use Interpolation", &window);
  auto* narrowBox = new QCheckBox("Use Interpolation", &window);
  narrowBox->setObjectName("narrowBox");
  narrowBox->setFixedWidth(60);
  auto* narrowButton = new QPushButton("Parameters...", &window);
  narrowButton->setObjectName("narrowButton");
  narrowButton->setFixedWidth(25);
  auto* shortLabel = new QLabel("one\ntwo\nthree", &window);
  shortLabel->setObjectName("shortLabel");
  shortLabel->setFixedHeight(shortLabel->fontMetrics().height());
  for (QWidget* w : std::initializer_list<QWidget*>{roomyLabel, narrowLabel, roomyBox, narrowBox,
                                                    narrowButton, shortLabel}) {
    layout->addWidget(w);
  }
  window.show();
  EXPECT_EQ(CutTexts(window),
            (std::vector<std::string>{
                "narrowLabel \"Black Percentage\"", "narrowBox \"Use Interpolation\"",
                "narrowButton \"Parameters...\"", "shortLabel \"one\ntwo\nthree\""}));
}

}  // namespace
