// The text with which a page load is refused, or "loaded"; a refused load must leave the page
// empty.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "dibunit.h"

inline std::string LoadError(TStream& s) {
  TDIB dib;
  try {
    dib.LoadFromStream(s);
  } catch (const Exception& e) {
    EXPECT_TRUE(dib.Empty());
    return e.what();
  }
  return "loaded";
}
