// ANSI and UTF-16 conversions.
#include "WideText.h"

#include <windows.h>

namespace win {

std::wstring Widen(std::string_view ansi) {
  if (ansi.empty()) return {};
  const int size = static_cast<int>(ansi.size());
  const int count = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(count), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, wide.data(), count);
  return wide;
}

std::string Narrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int count = WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<size_t>(count), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), size, ansi.data(), count, nullptr, nullptr);
  return ansi;
}

}  // namespace win
