// The page's description and its native, memory and file transfers, the pending count and
// the end of a transfer.
#include <filesystem>

#include "layerfixture.h"
#include "vekTWAINFix.h"

namespace {

struct TStripRun {
  std::vector<uint8_t> Bytes;
  std::vector<TW_IMAGEMEMXFER> Strips;
  TW_UINT16 Last = TWRC_FAILURE;
};

class TXferTest : public TLayerTest {
 protected:
  TW_SETUPMEMXFER SetupMemory() {
    TW_SETUPMEMXFER setup{};
    EXPECT_EQ(Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup), TWRC_SUCCESS);
    return setup;
  }
  TW_UINT16 Strip(TW_IMAGEMEMXFER& Strip, void* Buffer, TW_UINT32 Length,
                  TW_UINT32 Flags = TWMF_APPOWNS | TWMF_POINTER) {
    Strip = {};
    Strip.Memory = {Flags, Length, Buffer};
    return Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &Strip);
  }
  // Strips until the page ends, at most Calls of them.
  TStripRun Strips(TW_UINT32 BufferBytes, int Calls = 100000) {
    TStripRun run;
    std::vector<uint8_t> buffer(BufferBytes);
    for (int i = 0; i < Calls; ++i) {
      TW_IMAGEMEMXFER strip;
      run.Last = Strip(strip, buffer.data(), BufferBytes);
      if (run.Last != TWRC_SUCCESS && run.Last != TWRC_XFERDONE) break;
      run.Strips.push_back(strip);
      run.Bytes.insert(run.Bytes.end(), buffer.begin(), buffer.begin() + strip.BytesWritten);
      if (run.Last == TWRC_XFERDONE) break;
    }
    return run;
  }
  // The rows of a page top row first as a memory transfer must send them.
  static std::vector<uint8_t> TopDownRows(const TDIB& Page, bool RedFirst) {
    std::vector<uint8_t> rows;
    for (int32_t y = 0; y < Page.Height(); ++y) {
      const uint8_t* line = Page.Lines(y);
      size_t at = rows.size();
      rows.insert(rows.end(), line, line + Page.Stride());
      if (RedFirst)
        for (int32_t x = 0; x < Page.Width(); ++x)
          std::swap(rows[at + 3 * x], rows[at + 3 * x + 2]);
    }
    return rows;
  }
  TW_HANDLE Native(TW_UINT16 Expect = TWRC_XFERDONE) {
    TW_HANDLE handle = nullptr;
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle), Expect);
    return handle;
  }
};

TEST_F(TXferTest, OneBitA4PageIsDescribedAndSentInThirtyFourStrips) {
  std::vector<std::unique_ptr<TDIB>> pages;
  pages.push_back(Page(2480, 3508, pt1bit));
  std::vector<uint8_t> expected = TopDownRows(*pages[0], false);
  Scan(std::move(pages));

  TW_IMAGEINFO info{};
  ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
  EXPECT_EQ(info.ImageWidth, 2480);
  EXPECT_EQ(info.ImageLength, 3508);
  EXPECT_EQ(info.BitsPerPixel, 1);
  EXPECT_EQ(info.SamplesPerPixel, 1);
  EXPECT_EQ(info.BitsPerSample[0], 1);
  EXPECT_EQ(info.PixelType, TWPT_GRAY);
  EXPECT_EQ(info.Compression, TWCP_NONE);
  EXPECT_EQ(FIX32ToFloat(info.XResolution), 200);

  TW_SETUPMEMXFER setup = SetupMemory();
  EXPECT_EQ(setup.MinBufSize, 312u);
  EXPECT_EQ(setup.MaxBufSize, 312u * 3508);
  EXPECT_EQ(setup.Preferred, setup.MaxBufSize);

  TStripRun run = Strips(32768);
  ASSERT_EQ(run.Strips.size(), 34u);
  EXPECT_EQ(run.Last, TWRC_XFERDONE);
  EXPECT_EQ(+run.Strips[0].BytesPerRow, 312u);
  EXPECT_EQ(+run.Strips[0].Rows, 105u);
  EXPECT_EQ(+run.Strips[0].BytesWritten, 32760u);
  EXPECT_EQ(+run.Strips[0].Columns, 2480u);
  EXPECT_EQ(+run.Strips[1].YOffset, 105u);
  EXPECT_EQ(+run.Strips[33].Rows, 43u);
  EXPECT_EQ(run.Bytes, expected);
  EXPECT_EQ(Form->PagesDone, 1);
  EXPECT_EQ(+Source.ImageLayout().PageNumber, 2u);

  TW_IMAGEMEMXFER after;
  uint8_t buffer[32768];
  EXPECT_EQ(Strip(after, buffer, sizeof buffer), TWRC_XFERDONE);
  EXPECT_EQ(+after.BytesWritten, 0u);
}

TEST_F(TXferTest, ColorStripsArriveTopRowFirstInRedGreenBlue) {
  std::vector<std::unique_ptr<TDIB>> pages;
  pages.push_back(Page(101, 37, pt24bit));
  std::vector<uint8_t> expected = TopDownRows(*pages[0], true);
  Scan(std::move(pages));
  TW_IMAGEINFO info{};
  ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
  EXPECT_EQ(info.SamplesPerPixel, 3);
  EXPECT_EQ(info.BitsPerSample[2], 8);
  EXPECT_EQ(info.PixelType, TWPT_RGB);
  TW_SETUPMEMXFER setup = SetupMemory();
  TStripRun run = Strips(setup.MinBufSize * 5);
  EXPECT_EQ(run.Last, TWRC_XFERDONE);
  EXPECT_EQ(run.Bytes, expected);
}

// A memory transfer under way is not set up again: the strips go on where they were, and no
// row is sent twice.
TEST_F(TXferTest, NoSetupInTheMiddleOfAMemoryTransfer) {
  std::vector<std::unique_ptr<TDIB>> pages;
  pages.push_back(Page(80, 60, pt24bit));
  std::vector<uint8_t> expected = TopDownRows(*pages[0], true);
  Scan(std::move(pages));
  TW_SETUPMEMXFER setup = SetupMemory();
  TStripRun partial = Strips(setup.MinBufSize * 7, 2);
  ASSERT_EQ(partial.Last, TWRC_SUCCESS);
  TW_SETUPMEMXFER again{};
  EXPECT_EQ(Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &again), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_SEQERROR);
  TStripRun rest = Strips(setup.MinBufSize * 7);
  EXPECT_EQ(rest.Last, TWRC_XFERDONE);
  partial.Bytes.insert(partial.Bytes.end(), rest.Bytes.begin(), rest.Bytes.end());
  EXPECT_EQ(partial.Bytes, expected);
}

TEST_F(TXferTest, BufferTooSmallForARowShowsTheMessageAndFails) {
  ASSERT_EQ(Open(), TWRC_SUCCESS);
  EXPECT_EQ(SetupMemory().MinBufSize, 1024u);  // no page yet
  Form->Scanner.push_back(Page(1333, 20, pt24bit));
  ASSERT_EQ(Enable(), TWRC_SUCCESS);
  std::vector<uint8_t> buffer(2048);
  TW_IMAGEMEMXFER strip;
  EXPECT_EQ(Strip(strip, buffer.data(), 2048), TWRC_FAILURE);
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0], "Buffer is too small for strip transfers");
  EXPECT_EQ(+strip.BytesPerRow, 4000u);
  // Below the minimum size nothing is touched and no box is shown.
  EXPECT_EQ(Strip(strip, buffer.data(), 512), TWRC_FAILURE);
  EXPECT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(+strip.BytesPerRow, 0u);
}

TEST_F(TXferTest, AMemoryBufferPassedAsAHandleIsWrittenThroughItsLock) {
  std::vector<std::unique_ptr<TDIB>> pages;
  pages.push_back(Page(64, 16, pt8bit));
  std::vector<uint8_t> expected = TopDownRows(*pages[0], false);
  Scan(std::move(pages));
  TW_SETUPMEMXFER setup = SetupMemory();
  TW_HANDLE buffer = win32::GlobalAlloc(win32::GHND, setup.MaxBufSize);
  TW_IMAGEMEMXFER strip;
  EXPECT_EQ(Strip(strip, buffer, setup.MaxBufSize, TWMF_APPOWNS | TWMF_HANDLE), TWRC_XFERDONE);
  std::vector<uint8_t> got = TakeTwainMemory(buffer);
  got.resize(strip.BytesWritten);
  EXPECT_EQ(got, expected);
}

// The control panel ends after the first page: the page due fails by every transfer, the
// application is asked to close the source, and the batch ends at the next MSG_ENDXFER.
TEST_F(TXferTest, APageLostWithThePanelFailsItsTransferAndEndsTheBatch) {
  std::vector<std::unique_ptr<TDIB>> pages;
  pages.push_back(Page(64, 16, pt8bit));
  Scan(std::move(pages));
  Form->PanelDies = true;
  win32::GlobalFree(Native());
  TW_UINT16 count = 0;
  ASSERT_EQ(EndXfer(count), TWRC_SUCCESS);
  EXPECT_EQ(count, 0xFFFF);
  EXPECT_EQ(Source.State(), 600);
  TW_IMAGEINFO info{};
  EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_OPERATIONERROR);
  EXPECT_EQ(Native(TWRC_FAILURE), nullptr);
  EXPECT_EQ(Condition(), TWCC_OPERATIONERROR);
  uint8_t buffer[4096];
  TW_IMAGEMEMXFER strip;
  EXPECT_EQ(Strip(strip, buffer, sizeof buffer), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_OPERATIONERROR);
  ASSERT_EQ(EndXfer(count), TWRC_SUCCESS);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(Source.State(), 500);
}

// Enabled with the dialog, before any page: no transfer is in sequence.
TEST_F(TXferTest, WithoutAPageEachTransferFailsOutOfSequence) {
  ASSERT_EQ(Open(), TWRC_SUCCESS);
  ASSERT_EQ(Enable(true), TWRC_SUCCESS);
  uint8_t buffer[4096];
  TW_IMAGEMEMXFER strip;
  EXPECT_EQ(Strip(strip, buffer, sizeof buffer), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_SEQERROR);
  EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_SEQERROR);
  TW_PALETTE8 palette{};
  palette.NumColors = 77;
  EXPECT_EQ(Call(DG_IMAGE, DAT_PALETTE8, MSG_GET, &palette), TWRC_SUCCESS);
  EXPECT_EQ(palette.NumColors, 77);
}

// Every page of a feeder scan reaches the application: each end of a transfer answers the
// count of the next page and stays in state 6 while there is one.
TEST_F(TXferTest, EndOfTransferGoesOnWithTheNextPageOfTheBatch) {
  std::vector<std::unique_ptr<TDIB>> pages;
  for (uint32_t i = 0; i < 3; ++i) pages.push_back(Page(48, 24, pt8bit, i + 1));
  Scan(std::move(pages));
  int got = 0;
  TW_UINT16 count = 0;
  do {
    ASSERT_EQ(Source.State(), 600);
    TW_HANDLE handle = Native();
    ASSERT_NE(handle, nullptr);
    ++got;
    win32::GlobalFree(handle);
    ASSERT_EQ(EndXfer(count), TWRC_SUCCESS);
  } while (count != 0);
  EXPECT_EQ(got, 3);
  EXPECT_EQ(Source.State(), 500);
  EXPECT_EQ(Form->PagesDone, 3);
}

// After a native transfer the page object owns the next page it adopts again, so a page sent
// by memory or dropped at the end of a transfer is freed.
TEST_F(TXferTest, EveryPageIsFreedWhateverTransferredIt) {
  std::vector<std::unique_ptr<TDIB>> pages;
  for (uint32_t i = 0; i < 4; ++i) pages.push_back(Page(640, 480, pt8bit, i + 1));
  Scan(std::move(pages));
  const size_t before = win32::GlobalLiveBytes();
  const size_t pageBytes = static_cast<size_t>(Form->Page().BlockSize());
  win32::GlobalFree(Native());
  TW_UINT16 count = 0;
  ASSERT_EQ(EndXfer(count), TWRC_SUCCESS);
  ASSERT_NE(count, 0);
  TW_SETUPMEMXFER setup = SetupMemory();
  EXPECT_EQ(Strips(setup.MaxBufSize).Last, TWRC_XFERDONE);
  ASSERT_EQ(EndXfer(count), TWRC_SUCCESS);
  ASSERT_NE(count, 0);
  ASSERT_EQ(EndXfer(count), TWRC_SUCCESS);  // dropped without a transfer
  EXPECT_LE(win32::GlobalLiveBytes() + 2 * pageBytes, before);
  EXPECT_TRUE(Form->Page().OwnsHandle());
}

TEST_F(TXferTest, FileTransferWritesTheFileThatWasSet) {
  std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("clarivo-ds-" + std::to_string(getpid()) + ".bmp");
  std::vector<std::unique_ptr<TDIB>> pages;
  pages.push_back(Page(90, 30, pt24bit));
  auto copy = pages[0]->Duplicate();
  Scan(std::move(pages));
  TW_SETUPFILEXFER setup{};
  EXPECT_EQ(Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, &setup), TWRC_SUCCESS);
  EXPECT_STREQ(setup.FileName, "c:\\twain.bmp");
  EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_SEQERROR);

  std::snprintf(setup.FileName, sizeof setup.FileName, "%s", file.c_str());
  setup.Format = TWFF_TIFF;
  ASSERT_EQ(Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_SUCCESS);
  EXPECT_TRUE(std::filesystem::exists(file));
  TW_SETUPFILEXFER current{};
  EXPECT_EQ(Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GETCURRENT, &current), TWRC_SUCCESS);
  EXPECT_STREQ(current.FileName, file.c_str());
  EXPECT_EQ(current.Format, TWFF_BMP);
  EXPECT_EQ(Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GETDEFAULT, &current), TWRC_SUCCESS);
  EXPECT_STREQ(current.FileName, "c:\\twain.bmp");

  EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_XFERDONE);
  TDIB written;
  written.LoadFromFile(file.string());
  ASSERT_EQ(written.Height(), copy->Height());
  for (int32_t y = 0; y < copy->Height(); ++y)
    ASSERT_EQ(std::memcmp(written.Lines(y), copy->Lines(y), copy->LineBytes()), 0) << y;
  EXPECT_TRUE(Form->Page().Empty());
  std::filesystem::remove(file);
}

TEST_F(TXferTest, SetupFileNameIsReadWithinItsField) {
  ASSERT_EQ(Open(), TWRC_SUCCESS);
  TW_SETUPFILEXFER setup;
  std::memset(&setup, 'a', sizeof setup);  // no terminator anywhere
  std::string dir = std::filesystem::temp_directory_path() / "no-such-clarivo-dir";
  EXPECT_EQ(Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_BADVALUE);
  std::snprintf(setup.FileName, sizeof setup.FileName, "%s/x.bmp", dir.c_str());
  EXPECT_EQ(Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_BADVALUE);
  EXPECT_TRUE(Source.FileName().empty());
}

TEST_F(TXferTest, LayoutResetGivesTheWholeFrameInInchesAndFirstNumbers) {
  ASSERT_EQ(Open(), TWRC_SUCCESS);
  TW_IMAGELAYOUT layout{};
  ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_RESET, &layout), TWRC_SUCCESS);
  EXPECT_EQ(FIX32ToFloat(layout.Frame.Left), 0);
  EXPECT_NEAR(FIX32ToFloat(layout.Frame.Right), 32767.0 / 200, 1e-4);
  EXPECT_NEAR(FIX32ToFloat(layout.Frame.Bottom), 32767.0 / 200, 1e-4);
  EXPECT_EQ(+layout.DocumentNumber, 1u);
  EXPECT_EQ(+layout.PageNumber, 1u);
  EXPECT_EQ(+layout.FrameNumber, 1u);

  layout.Frame.Left = FloatToFIX32(0.5);
  layout.Frame.Top = FloatToFIX32(1);
  layout.Frame.Right = FloatToFIX32(8.5);
  layout.Frame.Bottom = FloatToFIX32(11);
  layout.PageNumber = 9;
  ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout), TWRC_SUCCESS);
  TFrame frame = Form->GetFrame();
  EXPECT_EQ(frame.Left, 100);
  EXPECT_EQ(frame.Top, 200);
  EXPECT_EQ(frame.Right, 1700);
  EXPECT_EQ(frame.Bottom, 2200);
  TW_IMAGELAYOUT back{};
  ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &back), TWRC_SUCCESS);
  EXPECT_EQ(FIX32ToFloat(back.Frame.Right), 8.5);
  EXPECT_EQ(+back.PageNumber, 9u);
  EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_QUERYSUPPORT, &back), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_BADPROTOCOL);
}

TEST_F(TXferTest, PaletteOfAGrayPageIsItsEntriesInRedGreenBlue) {
  std::vector<std::unique_ptr<TDIB>> pages;
  pages.push_back(Page(32, 8, pt8bit));
  pages[0]->SetPaletteEntry(3, 0x00102030);  // blue 0x30, green 0x20, red 0x10
  Scan(std::move(pages));
  TW_PALETTE8 palette{};
  ASSERT_EQ(Call(DG_IMAGE, DAT_PALETTE8, MSG_GET, &palette), TWRC_SUCCESS);
  EXPECT_EQ(palette.NumColors, 256);
  EXPECT_EQ(palette.PaletteType, TWPA_RGB);
  EXPECT_EQ(palette.Colors[3].Index, 3);
  EXPECT_EQ(palette.Colors[3].Channel1, 0x10);
  EXPECT_EQ(palette.Colors[3].Channel2, 0x20);
  EXPECT_EQ(palette.Colors[3].Channel3, 0x30);
  TW_IMAGEINFO info{};
  ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
  EXPECT_EQ(info.PixelType, TWPT_PALETTE);
}

TEST_F(TXferTest, DeviceEventsQueueUpToTenOldestFirst) {
  ASSERT_EQ(Open(), TWRC_SUCCESS);
  for (TW_UINT32 i = 0; i < 12; ++i) {
    TW_DEVICEEVENT event{};
    event.Event = i;
    Form->OnDeviceEvent(event);
  }
  EXPECT_EQ(Source.DeviceEventCount(), 10);
  TW_DEVICEEVENT got{};
  ASSERT_EQ(Call(DG_CONTROL, DAT_DEVICEEVENT, MSG_GET, &got), TWRC_SUCCESS);
  EXPECT_EQ(got.Event, 0u);
  EXPECT_STREQ(got.DeviceName, "Clarivo®");
  EXPECT_EQ(Source.DeviceEventCount(), 9);
}

}  // namespace
