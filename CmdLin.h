// The command-line scanner: switches, switch values and positional arguments.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The process's arguments after the program's own name, none of them empty,
// together with the characters that open a switch argument.
struct ArgList {
  std::vector<std::string> args;
  std::string_view switchChars = "-/";
};

int32_t ArgumentCount(const ArgList& list);
// Position 1 is the first argument.
const std::string& ArgumentAt(const ArgList& list, int32_t i);

char LoCaseAscii(char c);
// Position of the first switch argument with this letter (either case), 0 if none.
int32_t FindSwitch(const ArgList& list, char letter);
bool SwitchPresent(const ArgList& list, char letter);
// 1 to 3: the delimiter row whose opening character starts the text; 0 for none.
int QuoteKind(std::string_view text);
// The text after the switch letter; a delimited value runs on over the following arguments.
std::string SwitchValue(const ArgList& list, char letter);
// The n-th argument that is not a switch; empty when there is none.
std::string PositionalParam(const ArgList& list, int32_t n);
int32_t PositionalCount(const ArgList& list);

// Splits a Windows command-line text into arguments, the program's own name dropped.
// `leadBytes` marks the first bytes of double-byte characters of the ANSI code page.
std::vector<std::string> SplitCommandLine(std::string_view line, const bool* leadBytes = nullptr);
