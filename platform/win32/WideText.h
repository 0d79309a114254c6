// Conversions between the ANSI code page, in which the program's texts are
// kept, and the UTF-16 of the wide file-system calls.
#pragma once

#include <string>
#include <string_view>

namespace win {

std::wstring Widen(std::string_view ansi);
std::string Narrow(std::wstring_view wide);

}  // namespace win
