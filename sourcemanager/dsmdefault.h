// The default source and the user's choice of a source, both through the helper program: the
// source this user chose or opened last is kept in the user's settings (see
// helper/defaultsource.h), and the list window to choose from is the helper's. Each runs a
// program, so the manager calls them without its lock.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "dsmtable.h"

// What this process last read or wrote of the user's default, so that opening the same source
// again writes nothing.
struct TDefaultMemo {
  std::mutex Lock;
  std::string Path;
  bool Known = false;
};

// The source this user chose or opened last when it is listed, else the first one; nullptr
// for an empty listing.
const TListedSource* DefaultSource(const std::vector<TListedSource>& Listing, TDefaultMemo& Memo);
// Keeps the source as this user's default.
void RememberDefaultSource(const std::string& Path, TDefaultMemo& Memo);
// The row the user chose in the list window, -1 when cancelled; without a display (no
// DISPLAY or WAYLAND_DISPLAY, or Qt's offscreen platform) no window shows and the default
// source is the choice.
int ChooseSource(const std::vector<TListedSource>& Listing, TDefaultMemo& Memo);
