// The data source's layer with a dialog of the test's own, driven by raw triplets as an
// application bound to it would send them.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <cstring>
#include <memory>
#include <string>

#include "fakeform.h"
#include "globalmem.h"
#include "pagegen.h"
#include "userprompt.h"
#include "vekTWAINDSLayer.h"

class TLayerTest : public ::testing::Test {
 protected:
  TLayerTest()
      : Source([this]() -> std::unique_ptr<TDSForm> {
          if (!MakeForms) return nullptr;
          auto form = std::make_unique<TFakeForm>();
          form->Online = FormsOnline;
          Form = form.get();
          return form;
        }) {
    App.Id = 7;
    std::snprintf(App.ProductName, sizeof(TW_STR32), "Layer Test");
    Own.Id = 3;
    std::snprintf(Own.ProductName, sizeof(TW_STR32), "Clarivo®");
    win32::SetMessageBoxHook([this](const QString& Text, const QString&, unsigned) {
      Boxes.push_back(Text.toStdString());
      return win32::IDOK;
    });
  }
  ~TLayerTest() override { win32::SetMessageBoxHook({}); }

  TW_UINT16 Call(TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, void* Data) {
    return Source.Entry(&App, DG, DAT, MSG, Data);
  }
  TW_UINT16 Condition() {
    TW_STATUS status{0xFFFF, 0xFFFF};
    EXPECT_EQ(Call(DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
    EXPECT_EQ(status.Reserved, 0);
    return status.ConditionCode;
  }
  TW_UINT16 Open() {
    TW_IDENTITY own = Own;
    return Call(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &own);
  }
  TW_UINT16 Close() { return Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &Own); }
  TW_UINT16 Enable(bool ShowUI = false) {
    TW_USERINTERFACE ui{static_cast<TW_BOOL>(ShowUI), 0, nullptr};
    return Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
  }
  TW_UINT16 Disable() {
    TW_USERINTERFACE ui{0, 0, nullptr};
    return Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
  }
  TW_UINT16 EndXfer(TW_UINT16& Count) {
    TW_PENDINGXFERS pending{};
    TW_UINT16 rc = Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
    Count = pending.Count;
    return rc;
  }

  // Opens and enables without a user interface with these pages at the scanner: state 600
  // with the first page held, 500 without pages.
  void Scan(std::vector<std::unique_ptr<TDIB>> Pages) {
    ASSERT_EQ(Open(), TWRC_SUCCESS);
    for (auto& page : Pages) Form->Scanner.push_back(std::move(page));
    ASSERT_EQ(Enable(), TWRC_SUCCESS);
  }

  static std::unique_ptr<TDIB> Page(int32_t Width, int32_t Height, uint8_t Type,
                                    uint32_t Seed = 1) {
    TPageOptions o;
    o.Width = Width;
    o.Height = Height;
    o.PixelType = Type;
    o.Margin = Width / 10;
    o.Seed = Seed;
    return MakeReferencePage(o);
  }

  bool MakeForms = true;
  // Whether the forms made find their control panel.
  bool FormsOnline = true;
  TFakeForm* Form = nullptr;
  TW_IDENTITY App{};
  TW_IDENTITY Own{};
  std::vector<std::string> Boxes;
  TTWAINSource Source;
};

// A container the application hands in: TWAIN memory of the kind with these bytes.
inline TW_HANDLE TwainMemory(const void* Bytes, size_t Size) {
  TW_HANDLE handle = win32::GlobalAlloc(win32::GHND, Size);
  std::memcpy(win32::GlobalLock(handle), Bytes, Size);
  win32::GlobalUnlock(handle);
  return handle;
}

// The bytes of a container the source answered; the handle is freed.
inline std::vector<uint8_t> TakeTwainMemory(TW_HANDLE Handle) {
  auto* data = static_cast<uint8_t*>(win32::GlobalLock(Handle));
  std::vector<uint8_t> bytes(data, data + win32::GlobalSize(Handle));
  win32::GlobalUnlock(Handle);
  win32::GlobalFree(Handle);
  return bytes;
}

template <class T>
T ReadAt(const std::vector<uint8_t>& Bytes, size_t Offset) {
  T value{};
  if (Offset + sizeof(T) <= Bytes.size()) std::memcpy(&value, Bytes.data() + Offset, sizeof(T));
  return value;
}
