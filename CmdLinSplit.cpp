// Splitting a Windows command-line text into arguments. Only double quotes are
// special: no backslash escapes, and quotes never become part of a token.
#include "CmdLin.h"

namespace {

bool IsSeparator(unsigned char c) { return c >= 1 && c <= 32; }

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line, const bool* leadBytes) {
  // The text ends at its first NUL, as the system's command line does.
  line = line.substr(0, line.find('\0'));
  std::vector<std::string> tokens;
  size_t pos = 0;
  auto step = [&](size_t at) {
    // A lead byte takes its trail byte along, so the trail is never read as a quote or separator.
    if (leadBytes && leadBytes[static_cast<unsigned char>(line[at])] && at + 1 < line.size()) return 2;
    return 1;
  };
  for (;;) {
    for (;;) {
      while (pos < line.size() && IsSeparator(static_cast<unsigned char>(line[pos]))) ++pos;
      if (line.compare(pos, 2, "\"\"") != 0) break;
      pos += 2;
    }
    std::string token;
    bool quoted = false;
    while (pos < line.size()) {
      const unsigned char c = static_cast<unsigned char>(line[pos]);
      if (!quoted && IsSeparator(c)) break;
      if (c == '"') {
        quoted = !quoted;
        ++pos;
        continue;
      }
      const int width = step(pos);
      token.append(line.substr(pos, width));
      pos += width;
    }
    // Only the end of the line gives an empty token; it ends the arguments.
    if (token.empty()) break;
    tokens.push_back(std::move(token));
  }
  if (!tokens.empty()) tokens.erase(tokens.begin());  // the program's own name
  return tokens;
}
