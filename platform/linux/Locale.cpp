// Date settings from the LC_TIME locale, and the local clock.
#include <langinfo.h>
#include <locale.h>

#include <cstring>
#include <ctime>
#include <string>

#include "platform/Platform.h"

namespace plat {
namespace {

// The short date pattern in the letters users know: %d -> dd, %m -> MM and so on.
std::string PatternFromFormat(const char* format) {
  std::string pattern;
  for (const char* p = format; *p; ++p) {
    if (*p != '%' || p[1] == '\0') {
      pattern += *p;
      continue;
    }
    switch (*++p) {
      case 'd':
        pattern += "dd";
        break;
      case 'e':
        pattern += "d";
        break;
      case 'm':
        pattern += "MM";
        break;
      case 'y':
        pattern += "yy";
        break;
      case 'Y':
        pattern += "yyyy";
        break;
      case 'D':
        pattern += "MM/dd/yy";
        break;
      case 'F':
        pattern += "yyyy-MM-dd";
        break;
      default:
        pattern += *p;
        break;
    }
  }
  return pattern;
}

// The one character between the first two fields, if it is one.
char SeparatorOf(const std::string& pattern) {
  const auto isField = [](char c) { return c == 'd' || c == 'M' || c == 'y'; };
  size_t first = 0;
  while (first < pattern.size() && !isField(pattern[first])) ++first;
  size_t end = first;
  while (end < pattern.size() && pattern[end] == pattern[first]) ++end;
  size_t next = end;
  while (next < pattern.size() && !isField(pattern[next])) ++next;
  return next < pattern.size() && next - end == 1 ? pattern[end] : '/';
}

}  // namespace

DateLocale ReadDateLocale() {
  DateLocale locale;
  const char* name = setlocale(LC_TIME, "");
  // In the C or POSIX locale (C.UTF-8 included) the user has chosen no date settings.
  if (!name || std::strcmp(name, "C") == 0 || std::strncmp(name, "C.", 2) == 0 ||
      std::strcmp(name, "POSIX") == 0)
    return locale;
  const char* format = nl_langinfo(D_FMT);
  if (!format || !*format) return locale;
  locale.shortPattern = PatternFromFormat(format);
  locale.separator = SeparatorOf(locale.shortPattern);
  return locale;
}

int CurrentYear() {
  const time_t now = time(nullptr);
  struct tm local;
  if (!localtime_r(&now, &local)) return 2000;
  return local.tm_year + 1900;
}

}  // namespace plat
