// The date settings and the local time the run reads and compares. Pure: the
// platform fills them, the date reader uses them.
#pragma once

#include <string>

namespace plat {

struct DateLocale {
  char separator = '/';
  std::string shortPattern = "m/d/yy";
};

struct LocalTime {
  int year, month, day, hour, minute, second;
};

}  // namespace plat
