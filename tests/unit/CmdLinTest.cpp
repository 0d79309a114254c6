// The command-line splitting and the switch and parameter scanner.
#include <gtest/gtest.h>

#include "CmdLin.h"

namespace {

ArgList Args(std::vector<std::string> args) { return ArgList{std::move(args), "-/"}; }

TEST(SplitCommandLine, Tokens) {
  const struct {
    const char* line;
    std::vector<std::string> args;
  } cases[] = {
      {"", {}},
      {"prog", {}},
      {"prog a b", {"a", "b"}},
      {"prog\ta\x01"
       "b\x1f"
       "c",
       {"a", "b", "c"}},       // every control character separates
      {"prog \"\" a", {"a"}},  // a lone pair gives no argument
      {"prog \"\"\"\" a", {"a"}},
      {"prog \"\"a", {"a"}},
      {"prog a\"b c\"d", {"ab cd"}},
      {"prog \"C:\\Dir\\\" log", {"C:\\Dir\\", "log"}},  // no backslash escapes
      {"prog \"open to the end", {"open to the end"}},
      {"prog a \"", {"a"}},  // a lone quote at the very end
      {"prog a\"\"b", {"ab"}},
      {"prog /D\"Jan 1 2008\"", {"/DJan 1 2008"}},
      {"\"C:\\Program Files\\t.exe\" x", {"x"}},
      {std::string_view("prog a\0b", 8).data(), {"a"}},
      {"prog \x80\xff", {"\x80\xff"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.args) << c.line;
}

TEST(SplitCommandLine, StepsOverDoubleByteCharacters) {
  bool lead[256] = {};
  lead[0x81] = true;
  // The trail bytes 0x22 and 0x20 belong to their characters.
  EXPECT_EQ(SplitCommandLine("prog \x81\x22x \x81 y", lead),
            (std::vector<std::string>{"\x81\x22x", "\x81 y"}));
  EXPECT_EQ(SplitCommandLine("prog \x81\x22x", nullptr), (std::vector<std::string>{"\x81x"}));
}

TEST(CmdLin, LoCaseAsciiFoldsOnlyAsciiLetters) {
  EXPECT_EQ(LoCaseAscii('A'), 'a');
  EXPECT_EQ(LoCaseAscii('Z'), 'z');
  EXPECT_EQ(LoCaseAscii('a'), 'a');
  EXPECT_EQ(LoCaseAscii('@'), '@');
  EXPECT_EQ(LoCaseAscii('['), '[');
  EXPECT_EQ(LoCaseAscii('\xC4'), '\xC4');
}

TEST(CmdLin, NoArguments) {
  const ArgList none = Args({});
  EXPECT_EQ(ArgumentCount(none), 0);
  EXPECT_EQ(PositionalCount(none), 0);
  for (char letter : {'D', 'H', 'P', '?'}) EXPECT_EQ(FindSwitch(none, letter), 0);
  EXPECT_EQ(SwitchValue(none, 'D'), "");
  EXPECT_EQ(PositionalParam(none, 1), "");
}

TEST(CmdLin, SwitchPresence) {
  const struct {
    std::vector<std::string> args;
    char letter;
    bool present;
  } cases[] = {
      {{"/Preview"}, 'P', true}, {{"/p"}, 'P', true}, {{"-P"}, 'P', true}, {{"-p"}, 'p', true},
      {{"/?"}, '?', true},       {{"-?"}, '?', true}, {{"/h"}, 'H', true}, {{"x/P"}, 'P', false},
  };
  for (const auto& c : cases) EXPECT_EQ(SwitchPresent(Args(c.args), c.letter), c.present) << c.args[0];

  // Switch arguments nobody asks for are still never positional.
  const ArgList odd = Args({"-", "/", "--d", "/X", "/temp", "C:\\"});
  for (char letter : {'D', 'H', 'P', '?'}) EXPECT_FALSE(SwitchPresent(odd, letter));
  EXPECT_EQ(FindSwitch(odd, 't'), 5);
  EXPECT_EQ(PositionalCount(odd), 1);
  EXPECT_EQ(PositionalParam(odd, 1), "C:\\");
}

TEST(CmdLin, SwitchCharsAreTheListsOwn) {
  const ArgList posix{{"/srv/data", "-P"}, "-"};
  EXPECT_EQ(PositionalCount(posix), 1);
  EXPECT_EQ(PositionalParam(posix, 1), "/srv/data");
  EXPECT_TRUE(SwitchPresent(posix, 'P'));
  EXPECT_FALSE(SwitchPresent(posix, 's'));
}

TEST(CmdLin, QuoteKind) {
  EXPECT_EQ(QuoteKind(""), 0);
  EXPECT_EQ(QuoteKind("'a"), 1);
  EXPECT_EQ(QuoteKind("\"a"), 2);
  EXPECT_EQ(QuoteKind("[a"), 3);
  EXPECT_EQ(QuoteKind("]a"), 0);
  EXPECT_EQ(QuoteKind("a'"), 0);
}

TEST(CmdLin, SwitchValues) {
  const std::string longArg = "/D" + std::string(300, 'x');
  const std::string longDelimited = "/D[" + std::string(300, 'y');
  const struct {
    std::vector<std::string> args;
    std::string value;
  } cases[] = {
      {{"/D1/1/2008", "/D2/2/2008"}, "1/1/2008"},  // the first one wins
      {{"/d1/1/2008"}, "1/1/2008"},
      {{"/DJan"}, "Jan"},
      {{"/D"}, ""},
      {{"/D'1/1/2008'"}, "1/1/2008"},
      {{"/D[Jan", "1", "2008]"}, "Jan 1 2008"},
      {{"/D[1", "/P", "2]"}, "1 /P 2"},
      {{"/D[Jan", "]"}, "Jan "},
      {{"/D[Jan", "1", "2008"}, "Jan 1 200"},  // never closed: the last character goes all the same
      {{"/D'1/1/2008'", "x", "y'"}, "1/1/2008' x y"},
      {{"/D'1/1/2008'", "x"}, "1/1/2008' "},
      {{"/D["}, ""},
      {{"/DJan 1 2008"}, "Jan 1 2008"},
      {{longArg}, std::string(255, 'x')},
      {{longDelimited, "z]"}, std::string(254, 'y') + " z"},
  };
  for (const auto& c : cases) EXPECT_EQ(SwitchValue(Args(c.args), 'D'), c.value) << c.args[0];
}

TEST(CmdLin, ValuePiecesStayArguments) {
  const ArgList args = Args({"C:\\", "/D[Jan", "1", "2008]"});
  EXPECT_EQ(SwitchValue(args, 'D'), "Jan 1 2008");
  EXPECT_EQ(PositionalCount(args), 3);
  EXPECT_EQ(PositionalParam(args, 2), "1");
  EXPECT_EQ(PositionalParam(args, 3), "2008]");

  const ArgList withP = Args({"/D[1", "/P", "2]"});
  EXPECT_TRUE(SwitchPresent(withP, 'P'));
}

TEST(CmdLin, PositionalParams) {
  const ArgList args = Args({"/P", "root", "/D1/1/08", "log", "extra"});
  EXPECT_EQ(PositionalCount(args), 3);
  EXPECT_EQ(PositionalParam(args, 0), "");
  EXPECT_EQ(PositionalParam(args, -1), "");
  EXPECT_EQ(PositionalParam(args, 1), "root");
  EXPECT_EQ(PositionalParam(args, 2), "log");
  EXPECT_EQ(PositionalParam(args, 3), "extra");
  EXPECT_EQ(PositionalParam(args, 4), "");
  EXPECT_EQ(PositionalParam(Args({"a", "b"}), 3), "");
}

}  // namespace
