// The user.DOSATTRIB codec against the forms Samba, ksmbd and Wine write.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/DosAttrib.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Hex digits to bytes; blanks and '|' only group them for the eye.
Bytes Hex(std::string_view text) {
  Bytes bytes;
  std::string digits;
  for (char c : text)
    if (c != ' ' && c != '|') digits += c;
  for (size_t i = 0; i + 1 < digits.size(); i += 2)
    bytes.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  return bytes;
}

Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes Fill(uint8_t byte, size_t count) { return Bytes(count, byte); }

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

Bytes Rewritten(const Bytes& blob, uint32_t attributes) {
  uint8_t out[dosattrib::kMaxSize];
  const size_t size = dosattrib::Rewrite(blob.data(), blob.size(), attributes, out);
  return Bytes(out, out + size);
}

const Bytes kV3Fields = Cat({Hex("11111111"), Fill(0x22, 8), Fill(0x33, 8), Fill(0x44, 8), Fill(0x55, 8)});

struct Form {
  const char* name;
  Bytes blob;
  uint32_t attributes;
  Bytes cleared;  // the value after the archive bit is cleared
};

TEST(DosAttrib, ParsesAndClearsEveryForm) {
  const Form forms[] = {
      {"plain, no NUL (Samba 3.0, Wine)", Text("0x20"), 0x20, Text("0x0")},
      {"plain with NUL", Cat({Text("0x21"), Hex("00")}), 0x21, Cat({Text("0x1"), Hex("00")})},
      {"plain, upper-case X", Text("0X27"), 0x27, Text("0x7")},
      {"plain, high bits", Text("0x2120"), 0x2120, Text("0x2100")},
      {"v1",
       Cat({Hex("30782030 00 00 0100 0100 0000 | 20000000 11111111"), Fill(0x22, 8), Fill(0x33, 8),
            Fill(0x44, 8), Fill(0x55, 8)}),
       0x20,
       Cat({Hex("307830 00 | 0100 0100 | 00000000 11111111"), Fill(0x22, 8), Fill(0x33, 8), Fill(0x44, 8),
            Fill(0x55, 8)})},
      {"v2 with its name",
       Cat({Hex("30782030 00 00 0200 0200 0000 | 77777777 20000000 11111111"), Fill(0x22, 8), Fill(0x33, 8),
            Fill(0x44, 8), Fill(0x55, 8), Fill(0x66, 8), Hex("6e6d00")}),
       0x20,
       Cat({Hex("307830 00 | 0200 0200 | 77777777 00000000 11111111"), Fill(0x22, 8), Fill(0x33, 8),
            Fill(0x44, 8), Fill(0x55, 8), Fill(0x66, 8), Hex("6e6d00")})},
      {"v3 (Samba 3.5-4.10)", Cat({Hex("30782030 00 00 0300 0300 0000 | 31000000 20000000"), kV3Fields}),
       0x20, Cat({Hex("307830 00 | 0300 0300 | 31000000 00000000"), kV3Fields})},
      {"v3, text of the same length",
       Cat({Hex("307832303230 00 00 | 0300 0300 | 31000000 20200000"), kV3Fields}), 0x2020,
       Cat({Hex("307832303030 00 00 | 0300 0300 | 31000000 00200000"), kV3Fields})},
      {"v3, short text grows no longer", Cat({Hex("307832 00 | 0300 0300 | 31000000 22000000"), kV3Fields}),
       0x22, Cat({Hex("307832 00 | 0300 0300 | 31000000 02000000"), kV3Fields})},
      {"v3 without its text", Cat({Hex("00 00 0300 0300 0000 | 30000000 21000000"), kV3Fields}), 0x21,
       Cat({Hex("00 00 0300 0300 0000 | 30000000 01000000"), kV3Fields})},
      {"v3, text that disagrees", Cat({Hex("307830 00 | 0300 0300 | 11000000 21000000"), kV3Fields}), 0x21,
       Cat({Hex("307831 00 | 0300 0300 | 11000000 01000000"), kV3Fields})},
      {"v3, text that disagrees grows",
       Cat({Hex("30782030 00 00 0300 0300 0000 | 31000000 200000ff"), kV3Fields}), 0xff000020,
       Cat({Hex("30786666303030303030 00 00 | 0300 0300 | 31000000 000000ff"), kV3Fields})},
      {"v4 (Samba 4.11-4.16, ksmbd)",
       Hex("00 00 0400 0400 0000 | 51000000 20000000 7777777777777777 4444444444444444"), 0x20,
       Hex("00 00 0400 0400 0000 | 51000000 00000000 7777777777777777 4444444444444444")},
      {"v5 (Samba 4.17 on)", Hex("00 00 0500 0500 0000 | 11000000 26000000 4444444444444444"), 0x26,
       Hex("00 00 0500 0500 0000 | 11000000 06000000 4444444444444444")},
      {"v5, bytes after it kept", Hex("00 00 0500 0500 0000 | 11000000 20000000 4444444444444444 deadbeef"),
       0x20, Hex("00 00 0500 0500 0000 | 11000000 00000000 4444444444444444 deadbeef")},
  };
  for (const Form& form : forms) {
    uint32_t attributes = 0;
    ASSERT_TRUE(dosattrib::Parse(form.blob.data(), form.blob.size(), attributes)) << form.name;
    EXPECT_EQ(attributes, form.attributes) << form.name;
    const Bytes cleared = Rewritten(form.blob, attributes & ~0x20u);
    EXPECT_EQ(cleared, form.cleared) << form.name;
    uint32_t again = 0;
    ASSERT_TRUE(dosattrib::Parse(cleared.data(), cleared.size(), again)) << form.name;
    EXPECT_EQ(again, attributes & ~0x20u) << form.name;
  }
}

TEST(DosAttrib, RefusesToGrowPastWhatSambaReads) {
  Bytes blob = Cat({Hex("30782030 00 00 0500 0500 0000 | 11000000 200000ff")});
  blob.resize(dosattrib::kMaxSize, 0x44);
  uint32_t attributes = 0;
  ASSERT_TRUE(dosattrib::Parse(blob.data(), blob.size(), attributes));
  uint8_t out[dosattrib::kMaxSize];
  EXPECT_EQ(dosattrib::Rewrite(blob.data(), blob.size(), attributes & ~0x20u, out), 0u);
}

TEST(DosAttrib, RejectsWhatSambaCannotParse) {
  const Bytes v5 = Hex("00 00 0500 0500 0000 | 11000000 20000000 4444444444444444");
  const struct {
    const char* name;
    Bytes blob;
  } bad[] = {
      {"empty", {}},
      {"truncated v5", Bytes(v5.begin(), v5.end() - 1)},
      {"version and no level", Hex("00 00 0500")},
      {"unknown version 6", Hex("00 00 0600 0600 0000 | 11000000 20000000 4444444444444444")},
      {"version 0", Hex("00 00 0000 0000 0000 | 11000000 20000000 4444444444444444")},
      {"explicit 0xFFFF", Hex("00 00 ffff ffff 0000 | 11000000 20000000 4444444444444444")},
      {"level not equal to version", Hex("00 00 0500 0400 0000 | 11000000 20000000 4444444444444444")},
      {"plain garbage", Text("zz")},
      {"plain, a sign", Text("-0x20")},
      {"plain, more than 32 bits", Text("0x100000020")},
      {"oversized", Cat({Text("0x20"), Hex("00"), Fill(0, dosattrib::kMaxSize)})},
  };
  for (const auto& b : bad) {
    uint32_t attributes = 0;
    EXPECT_FALSE(dosattrib::Parse(b.blob.data(), b.blob.size(), attributes)) << b.name;
    uint8_t out[dosattrib::kMaxSize];
    EXPECT_EQ(dosattrib::Rewrite(b.blob.data(), b.blob.size(), 0, out), 0u) << b.name;
  }
}

}  // namespace
