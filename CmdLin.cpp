// The command-line scanner. It keeps no state and reports no errors: what is
// missing gives 0, false or the empty text.
#include "CmdLin.h"

namespace {

struct QuotePair {
  char open, close;
};
constexpr QuotePair kQuotePairs[] = {{'\'', '\''}, {'"', '"'}, {'[', ']'}};

// A switch argument keeps at most this much of its own text after the letter.
constexpr size_t kSwitchTextLimit = 255;

bool IsSwitch(const ArgList& list, const std::string& arg) {
  return list.switchChars.find(arg[0]) != std::string_view::npos;
}

}  // namespace

int32_t ArgumentCount(const ArgList& list) { return static_cast<int32_t>(list.args.size()); }

const std::string& ArgumentAt(const ArgList& list, int32_t i) { return list.args[i - 1]; }

char LoCaseAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 0x20) : c; }

int32_t FindSwitch(const ArgList& list, char letter) {
  const char wanted = LoCaseAscii(letter);
  for (int32_t i = 1; i <= ArgumentCount(list); ++i) {
    const std::string& arg = ArgumentAt(list, i);
    // A lone switch character has the letter code 0, which nobody asks for.
    if (IsSwitch(list, arg) && arg.size() > 1 && LoCaseAscii(arg[1]) == wanted) return i;
  }
  return 0;
}

bool SwitchPresent(const ArgList& list, char letter) { return FindSwitch(list, letter) != 0; }

int QuoteKind(std::string_view text) {
  if (text.empty()) return 0;
  for (int row = 0; row < 3; ++row)
    if (text[0] == kQuotePairs[row].open) return row + 1;
  return 0;
}

std::string SwitchValue(const ArgList& list, char letter) {
  const int32_t i = FindSwitch(list, letter);
  if (i == 0) return {};
  const std::string& arg = ArgumentAt(list, i);
  std::string rest = arg.size() > 2 ? arg.substr(2, kSwitchTextLimit) : std::string();
  const int kind = QuoteKind(rest);
  if (kind == 0) return rest;

  const char close = kQuotePairs[kind - 1].close;
  std::string value = rest.substr(1);
  for (int32_t j = i + 1; j <= ArgumentCount(list); ++j) {
    const std::string& next = ArgumentAt(list, j);
    value += ' ';
    value += next;
    if (next.back() == close) break;
  }
  // The closing delimiter, or the last character when none closed the value.
  if (!value.empty()) value.pop_back();
  return value;
}

std::string PositionalParam(const ArgList& list, int32_t n) {
  if (n < 1) return {};
  int32_t seen = 0;
  for (const std::string& arg : list.args)
    if (!IsSwitch(list, arg) && ++seen == n) return arg;
  return {};
}

int32_t PositionalCount(const ArgList& list) {
  int32_t count = 0;
  for (const std::string& arg : list.args)
    if (!IsSwitch(list, arg)) ++count;
  return count;
}
