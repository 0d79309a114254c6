// Reads any text as a date under several locales; a date read must exist.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "sweep/DateText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const plat::DateLocale locales[] = {
      {'/', "m/d/yy"}, {'.', "dd.MM.yyyy"}, {'-', "yyyy-MM-dd"}, {' ', "d M y"}};
  for (const plat::DateLocale& locale : locales) {
    for (int year : {1, 1974, 2024, 9999}) {
      double date = 0;
      if (ReadDate(text, locale, year, date) && (date < DayNumber(1, 1, 1) || date > DayNumber(9999, 12, 31)))
        __builtin_trap();
    }
  }
  return 0;
}
