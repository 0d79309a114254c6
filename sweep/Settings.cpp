// Reading the run settings from the command line.
#include "Settings.h"

#include "DateText.h"

namespace {

constexpr const char* kDefaultLogName = "TamberlixLog.txt";

std::string UpperAscii(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
  return text;
}

// Where tools take GNU long options, a two-dash switch never passes silently:
// an unknown one would otherwise be ignored and a preview become a real sweep.
Request LongOptionRequest(const ArgList& args) {
  bool help = false, version = false;
  for (const std::string& arg : args.args) {
    if (arg.rfind("--", 0) != 0) continue;
    if (arg == "--help")
      help = true;
    else if (arg == "--version")
      version = true;
    else
      return Request::UnknownLong;
  }
  if (help) return Request::Help;
  return version ? Request::Version : Request::Sweep;
}

}  // namespace

CommandLine ReadCommandLine(const ArgList& args, const CommandRules& rules, const plat::DateLocale& locale,
                            int currentYear) {
  CommandLine line;
  if (rules.longOptions) line.request = LongOptionRequest(args);
  if (line.request != Request::Sweep) return line;
  // Help comes before everything: a missing root or an unreadable date does not matter then.
  if (PositionalCount(args) < 1 || SwitchPresent(args, 'H') || SwitchPresent(args, '?')) {
    line.request = Request::Help;
    return line;
  }
  RunSettings& settings = line.settings;
  settings.dateFilter = SwitchPresent(args, 'D');
  if (settings.dateFilter) {
    settings.dateText = SwitchValue(args, 'D');
    if (!ReadDate(settings.dateText, locale, currentYear, settings.exclusionDate)) {
      line.request = Request::BadDate;
      return line;
    }
  }
  settings.preview = SwitchPresent(args, 'P');
  settings.root = PositionalParam(args, 1);
  if (rules.upperCaseRoot) settings.root = UpperAscii(settings.root);
  settings.logName = PositionalCount(args) < 2 ? kDefaultLogName : PositionalParam(args, 2);
  return line;
}
