// Date settings from the thread's locale, and the local clock.
#include <windows.h>

#include "platform/Platform.h"

namespace plat {

DateLocale ReadDateLocale() {
  DateLocale locale;
  const LCID lcid = GetThreadLocale();
  char text[96];
  // The separator counts only when it is a single character.
  if (GetLocaleInfoA(lcid, LOCALE_SDATE, text, sizeof text) == 2) locale.separator = text[0];
  if (GetLocaleInfoA(lcid, LOCALE_SSHORTDATE, text, sizeof text) > 1) locale.shortPattern = text;
  return locale;
}

int CurrentYear() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return now.wYear;
}

}  // namespace plat
