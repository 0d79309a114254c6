// The small texts of the sweep: paths, padding, attribute texts, excluded names, reports.
#include <gtest/gtest.h>

#include "sweep/Failure.h"
#include "sweep/FileEntry.h"
#include "sweep/LogText.h"
#include "sweep/TreeWalk.h"

namespace {

TEST(AddTrailingBackslash, AppendsTheDelimiterWhereMissing) {
  const struct {
    const char* text;
    char delimiter;
    const char* result;
  } cases[] = {
      {"", '\\', ""},
      {"C:", '\\', "C:\\"},
      {"C:\\", '\\', "C:\\"},
      {"C:\\DATA", '\\', "C:\\DATA\\"},
      {"C:\\DATA\\", '\\', "C:\\DATA\\"},
      {".", '\\', ".\\"},
      {"ab", '\\', "ab\\"},
      {"C:/x", '\\', "C:/x\\"},
      {"/", '/', "/"},
      {"/a", '/', "/a/"},
      {".", '/', "./"},
      {"/srv/data/", '/', "/srv/data/"},
      {"a\\", '/', "a\\/"},
  };
  for (const auto& c : cases) EXPECT_EQ(AddTrailingBackslash(c.text, c.delimiter), c.result) << c.text;
}

TEST(PadRight, PadsButNeverCuts) {
  EXPECT_EQ(PadRight("", ' ', 3), "   ");
  EXPECT_EQ(PadRight("ab", '.', 5), "ab...");
  EXPECT_EQ(PadRight("abcde", ' ', 5), "abcde");
  EXPECT_EQ(PadRight("abcdef", ' ', 5), "abcdef");
}

TEST(AttrText, FourLettersInOrder) {
  EXPECT_EQ(AttrText(0x21), "R__A");
  EXPECT_EQ(AttrText(0x20), "___A");
  EXPECT_EQ(AttrText(0x00), "____");
  EXPECT_EQ(AttrText(0x27), "RHSA");
  EXPECT_EQ(AttrText(0xDF), "RHS_");  // volume, directory and the high bits show nothing
}

TEST(IsExcludedName, TheTwoSystemFilesInAnyCase) {
  EXPECT_TRUE(IsExcludedName("c:\\hiberfil.sys"));
  EXPECT_TRUE(IsExcludedName("C:\\PAGEFILE.SYS"));
  EXPECT_TRUE(IsExcludedName("C:\\PageFile.Sys"));
  EXPECT_FALSE(IsExcludedName("C:\\DATA\\pagefile.sys"));
  EXPECT_FALSE(IsExcludedName("D:\\pagefile.sys"));
  EXPECT_FALSE(IsExcludedName("c:\\pagefile.sys "));
  EXPECT_FALSE(IsExcludedName("c:/pagefile.sys"));
}

TEST(FailureReport, TwoLinesAndAnEmptyOne) {
  EXPECT_EQ(FailureReport("EInOutError", "Tamberlix.exe", 0x1234ABCD, "Disk full"),
            "Exception EInOutError in module Tamberlix.exe at 1234ABCD.\r\nDisk full.\r\n\r\n");
  EXPECT_EQ(FailureReport("EConvertError", "Tamberlix", 0, "'' is not a valid date"),
            "Exception EConvertError in module Tamberlix at 00000000.\r\n'' is not a valid date.\r\n\r\n");
  EXPECT_EQ(FailureReport("EX", "m", 0, "Ends."), "Exception EX in module m at 00000000.\r\nEnds.\r\n\r\n");
  EXPECT_EQ(FailureReport("EX", "m", 0, ""), "Exception EX in module m at 00000000.\r\n\r\n\r\n");
}

TEST(IoMessage, ASystemErrorIsNeverTakenForTheCodeThatSharesItsNumber) {
  for (IoCode code : {IoCode::FileNotFound, IoCode::AccessDenied, IoCode::ReadBeyondEnd, IoCode::DiskFull}) {
    const int number = static_cast<int>(code);
    EXPECT_NE(IoMessage(SystemError(number)), IoMessage(Fails(code)));
    EXPECT_EQ(IoMessage(SystemError(number)), "I/O error " + std::to_string(number));
  }
}

}  // namespace
