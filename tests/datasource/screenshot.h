// A screenshot of a window into the build's screenshot folder, for a person to look at.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QWidget>
#include <string>
#include <vector>

#include "textfit.h"

inline void SaveScreenshot(QWidget& Widget, const std::string& Name) {
  QDir().mkpath(CLARIVO_SCREENSHOTS);
  const QString file = QString(CLARIVO_SCREENSHOTS) + "/" + QString::fromStdString(Name);
  EXPECT_TRUE(Widget.grab().toImage().save(file)) << file.toStdString();
  EXPECT_EQ(CutTexts(Widget), std::vector<std::string>()) << Name;
}
