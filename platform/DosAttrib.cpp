// The DOSATTRIB codec. Layout (little-endian): a NUL-terminated hex text; when
// nothing follows it, the text is the whole value. Otherwise a uint16 version
// at the next even offset, a uint16 level equal to it, and at the next
// multiple of 4 the version's fields, the attribute word among them.
#include "platform/DosAttrib.h"

#include <cstdio>
#include <cstring>

namespace dosattrib {
namespace {

struct Layout {
  size_t textSize = 0;     // the hex text without its NUL
  bool textNul = false;    // the text ends in a NUL inside the value
  bool plain = false;      // nothing follows the text
  size_t fieldsStart = 0;  // where the version's fields start (NDR only)
  size_t attribOffset = 0;
};

size_t Align(size_t offset, size_t to) { return (offset + to - 1) / to * to; }

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

uint32_t Read32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

void Write32(uint8_t* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

int HexDigit(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// As sscanf("%x") reads it: blanks, an optional 0x, hex digits, anything after
// ignored. A sign or more than 32 bits counts as unreadable.
bool ParseHexText(const uint8_t* text, size_t size, uint32_t& value) {
  size_t i = 0;
  while (i < size && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  if (i + 2 < size && text[i] == '0' && (text[i + 1] | 0x20) == 'x' && HexDigit(text[i + 2]) >= 0) i += 2;
  uint64_t result = 0;
  size_t digits = 0;
  for (; i < size && HexDigit(text[i]) >= 0; ++i, ++digits) {
    result = result << 4 | static_cast<uint64_t>(HexDigit(text[i]));
    if (result > 0xFFFFFFFFu) return false;
  }
  value = static_cast<uint32_t>(result);
  return digits > 0;
}

// The size of the version's fields, 0 for a version Samba does not know.
size_t FieldsSize(uint16_t version, const uint8_t* fields, size_t available) {
  switch (version) {
    case 1:
      return 40;
    case 2: {
      // A NUL-terminated name follows the fixed fields.
      if (available < 52) return 0;
      const void* nul = std::memchr(fields + 52, 0, available - 52);
      return nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - fields) + 1 : available;
    }
    case 3:
      return 44;
    case 4:
      return 24;
    case 5:
      return 16;
    default:
      return 0;
  }
}

bool Analyse(const uint8_t* data, size_t size, Layout& layout, uint32_t& attributes) {
  if (size == 0 || size > kMaxSize) return false;
  const void* nul = std::memchr(data, 0, size);
  layout.textSize = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - data) : size;
  layout.textNul = nul != nullptr;
  const size_t afterText = layout.textSize + (layout.textNul ? 1 : 0);
  layout.plain = afterText >= size;
  if (layout.plain) return ParseHexText(data, layout.textSize, attributes);

  const size_t versionAt = Align(afterText, 2);
  if (versionAt + 4 > size) return false;
  const uint16_t version = Read16(data + versionAt);
  if (Read16(data + versionAt + 2) != version) return false;
  layout.fieldsStart = Align(versionAt + 4, 4);
  if (layout.fieldsStart > size) return false;
  const size_t fieldsSize = FieldsSize(version, data + layout.fieldsStart, size - layout.fieldsStart);
  if (fieldsSize == 0 || layout.fieldsStart + fieldsSize > size) return false;
  layout.attribOffset = version == 1 ? 0 : 4;
  attributes = Read32(data + layout.fieldsStart + layout.attribOffset);
  return true;
}

}  // namespace

bool Parse(const uint8_t* data, size_t size, uint32_t& attributes) {
  Layout layout;
  return Analyse(data, size, layout, attributes);
}

size_t Rewrite(const uint8_t* data, size_t size, uint32_t attributes, uint8_t* out) {
  Layout layout;
  uint32_t old;
  if (!Analyse(data, size, layout, old)) return 0;

  // An empty hex text (Samba's versions 4 and 5, version 3 without it) stays empty.
  char text[16] = "";
  if (layout.textSize > 0) std::snprintf(text, sizeof text, "0x%x", attributes);
  const size_t textSize = std::strlen(text);
  std::memcpy(out, text, textSize);
  if (layout.plain) {
    if (layout.textNul) out[textSize] = 0;
    return textSize + (layout.textNul ? 1 : 0);
  }

  if (textSize == layout.textSize) {
    std::memcpy(out + textSize, data + textSize, size - textSize);
    Write32(out + layout.fieldsStart + layout.attribOffset, attributes);
    return size;
  }
  // The text has changed length: the version and the fields move with it.
  const size_t versionAt = Align(textSize + 1, 2);
  const size_t fieldsStart = Align(versionAt + 4, 4);
  const size_t oldVersionAt = Align(layout.textSize + 1, 2);
  const size_t tail = size - layout.fieldsStart;
  if (fieldsStart + tail > kMaxSize) return 0;
  std::memset(out + textSize, 0, fieldsStart - textSize);
  std::memcpy(out + versionAt, data + oldVersionAt, 4);
  std::memcpy(out + fieldsStart, data + layout.fieldsStart, tail);
  Write32(out + fieldsStart + layout.attribOffset, attributes);
  return fieldsStart + tail;
}

}  // namespace dosattrib
