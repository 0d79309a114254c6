// The run settings as the command line gives them. Reading them has no side
// effects: the driver prints, checks the disk and ends the run.
#pragma once

#include <string>

#include "CmdLin.h"
#include "platform/DateTypes.h"

struct RunSettings {
  std::string root;
  std::string logName;
  bool dateFilter = false;
  std::string dateText;
  double exclusionDate = 0;
  bool preview = false;
};

// What the command line asks for, in the order the driver settles it.
enum class Request {
  Sweep,
  Help,         // exit code 0
  UnknownLong,  // a two-dash switch nobody knows: the help, and exit code 1
  Version,
  BadDate,  // the date text cannot be read
};

struct CommandLine {
  Request request = Request::Sweep;
  RunSettings settings;
};

// The platform's rules for its command line.
struct CommandRules {
  bool longOptions = false;    // two-dash switches are long options
  bool upperCaseRoot = false;  // the root's ASCII letters are upper-cased
};

CommandLine ReadCommandLine(const ArgList& args, const CommandRules& rules, const plat::DateLocale& locale,
                            int currentYear);
