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
      case 'd': pattern += "dd"; break;
      case 'e': pattern += "d"; break;
      case 'm': pattern += "MM"; break;
      case 'y': pattern += "yy"; break;
      case 'Y': pattern += "yyyy"; break;
      case 'D': pattern += "MM/dd/yy"; break;
      case 'F': pattern += "yyyy-MM-dd"; break;
      default: pattern += *p; break;
    }
  }
  return pattern;
}

// The one character between the first two fields, if it is one.
char SeparatorOf(const std::string& pattern) {
  const auto isField = [](char c) { return std::strchr("dMy", c) != nullptr; };
  size_t i = 0;
  while (i < pattern.size() && !isField(pattern[i])) ++i;
  while (i < pattern.size() && isField(pattern[i]) && pattern[i] == pattern[i ? i - 1 : 0]) ++i;
  const size_t start = i;
  while (i < pattern.size() && !isField(pattern[i])) ++i;
  return i - start == 1 && i < pattern.size() ? pattern[start] : '/';
}

}  // namespace

DateLocale ReadDateLocale() {
  DateLocale locale;
  const char* name = setlocale(LC_TIME, "");
  // In the C or POSIX locale the user has chosen no date settings.
  if (!name || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0) return locale;
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
