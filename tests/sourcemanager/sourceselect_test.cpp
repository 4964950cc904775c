// The window in which the user chooses a source: the default one selected, the choice as the
// row chosen, nothing when cancelled.
#include "sourceselectdialog.h"

#include <gtest/gtest.h>

#include <QListWidget>

TEST(SourceSelectDialog, OffersTheDefaultAndGivesTheRowChosen) {
  TSourceSelectDialog dialog({"Clarivo", "SimScanner", "Twin (2)"}, 1);
  dialog.show();
  ASSERT_EQ(dialog.List()->count(), 3);
  EXPECT_EQ(dialog.List()->currentRow(), 1);
  EXPECT_EQ(dialog.windowTitle(), "Select Source");
  dialog.grab().save(SCREENSHOT_DIR "/select-source.png");
  dialog.List()->setCurrentRow(2);
  dialog.accept();
  EXPECT_EQ(dialog.ChosenRow(), 2);
  dialog.reject();
  EXPECT_EQ(dialog.ChosenRow(), -1);
}
