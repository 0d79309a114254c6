// The attribute arithmetic of the Windows build.
#include <gtest/gtest.h>

#include "platform/WindowsAttributes.h"

namespace {

TEST(WindowsRules, SettableWordKeepsEveryBitItMay) {
  EXPECT_EQ(win::SettableWord(0x27 & ~0x20u), 0x07u);
  EXPECT_EQ(win::SettableWord(0x00), 0x80u);  // nothing left: normal
  EXPECT_EQ(win::SettableWord(0x10), 0x80u);  // the directory bit is not its to set
  EXPECT_EQ(win::SettableWord(0x2101), 0x2101u);
  EXPECT_EQ(win::SettableWord(0x1000 | 0x800 | 0x200), 0x1000u);  // compressed and sparse stay the system's
}

TEST(WindowsRules, LinksAreNeitherEnteredNorChanged) {
  EXPECT_EQ(win::WalkWord(0x30, 0), 0x30u);
  EXPECT_EQ(win::WalkWord(0x10 | 0x400, win::kTagMountPoint), 0u);
  EXPECT_EQ(win::WalkWord(0x10 | 0x400, win::kTagSymlink), 0u);
  EXPECT_EQ(win::WalkWord(0x20 | 0x400, win::kTagSymlink), 0u);
  EXPECT_EQ(win::WalkWord(0x20 | 0x400, 0x80000013), 0x420u);  // a deduplicated file is swept
  EXPECT_EQ(win::WalkWord(0x30 | 0x400, 0x9000001A), 0x420u);  // a cloud folder is not entered
}

}  // namespace
