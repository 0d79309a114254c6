// What the command line asks for, read without side effects.
#include <gtest/gtest.h>

#include "sweep/DateText.h"
#include "sweep/Settings.h"

namespace {

CommandLine Read(std::vector<std::string> args, CommandRules rules = {true, false}) {
  return ReadCommandLine(ArgList{std::move(args), rules.longOptions ? "-" : "-/"}, rules, plat::DateLocale{},
                         2024);
}

TEST(Settings, WhatTheCommandLineAsksFor) {
  const struct {
    std::vector<std::string> args;
    Request linux, windows;
  } cases[] = {
      {{}, Request::Help, Request::Help},
      {{"-P"}, Request::Help, Request::Help},
      {{"-Dnonsense", "-?"}, Request::Help, Request::Help},
      {{"x", "-h"}, Request::Help, Request::Help},
      {{"x", "-Dnonsense"}, Request::BadDate, Request::BadDate},
      {{"x", "-D"}, Request::BadDate, Request::BadDate},
      {{"x", "-D12/31/2008"}, Request::Sweep, Request::Sweep},
      {{"--help"}, Request::Help, Request::Help},
      {{"x", "--help"}, Request::Help, Request::Sweep},
      {{"x", "--version"}, Request::Version, Request::Sweep},
      {{"x", "--preview"}, Request::UnknownLong, Request::Sweep},
      {{"x", "--help", "--nonsense"}, Request::UnknownLong, Request::Sweep},
      {{"--", "x", "-Dnonsense"}, Request::UnknownLong, Request::BadDate},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Read(c.args).request, c.linux) << c.args.size();
    EXPECT_EQ(Read(c.args, {false, true}).request, c.windows) << c.args.size();
  }
}

TEST(Settings, TheSettingsOfASweep) {
  const CommandLine line = Read({"c:\\data", "-p", "log.txt", "-D12/31/08", "third"}, {false, true});
  ASSERT_EQ(line.request, Request::Sweep);
  const RunSettings& s = line.settings;
  EXPECT_EQ(s.root, "C:\\DATA");
  EXPECT_EQ(s.logName, "log.txt");
  EXPECT_TRUE(s.preview);
  EXPECT_TRUE(s.dateFilter);
  EXPECT_EQ(s.dateText, "12/31/08");
  EXPECT_EQ(s.exclusionDate, DayNumber(2008, 12, 31));

  const CommandLine plain = Read({"/srv/Data"});
  EXPECT_EQ(plain.settings.root, "/srv/Data");  // Linux keeps the root as typed
  EXPECT_EQ(plain.settings.logName, "TamberlixLog.txt");
  EXPECT_FALSE(plain.settings.dateFilter || plain.settings.preview);
}

TEST(Settings, AnUnreadableDateKeepsItsTextForTheReport) {
  const CommandLine line = Read({"x", "-d[12/31", "yz"});
  EXPECT_EQ(line.request, Request::BadDate);
  EXPECT_EQ(line.settings.dateText, "12/31 y");
}

}  // namespace
