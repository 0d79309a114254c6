// Splits any command-line text and asks the scanner every question the run asks.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "CmdLin.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  bool lead[256] = {};
  for (int c = 0x81; c < 0xA0; ++c) lead[c] = true;
  for (const bool* leadBytes : {static_cast<const bool*>(nullptr), static_cast<const bool*>(lead)}) {
    for (std::string_view chars : {std::string_view("-/"), std::string_view("-")}) {
      const ArgList args{SplitCommandLine(line, leadBytes), chars};
      for (const std::string& arg : args.args)
        if (arg.empty()) __builtin_trap();  // no argument is ever empty
      for (char letter : {'D', 'H', 'P', '?', 'x', '\0'}) {
        const int32_t at = FindSwitch(args, letter);
        if (SwitchPresent(args, letter) != (at != 0)) __builtin_trap();
        (void)SwitchValue(args, letter);
      }
      const int32_t count = PositionalCount(args);
      for (int32_t n = -1; n <= count + 1; ++n)
        if (PositionalParam(args, n).empty() != (n < 1 || n > count)) __builtin_trap();
    }
  }
  return 0;
}
