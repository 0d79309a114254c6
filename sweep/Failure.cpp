// The failure report and the messages of I/O failures.
#include "Failure.h"

#include <cstdio>

void FailIo(int code) { throw RunFailure{"EInOutError", IoMessage(code)}; }

std::string IoMessage(int code) {
  switch (code) {
    case 2: return "File not found";
    case 3: return "Invalid filename";
    case 4: return "Too many open files";
    case 5: return "File access denied";
    case 100: return "Read beyond end of file";
    case 101: return "Disk full";
    case 106: return "Invalid numeric input";
    default: return "I/O error " + std::to_string(code);
  }
}

std::string HexAddress(uintptr_t address) {
  char text[17];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(address & 0xFFFFFFFFu));
  return text;
}

std::string FailureReport(std::string_view kind, std::string_view module, uint32_t codeAddress,
                          std::string_view message) {
  std::string report = "Exception ";
  report.append(kind).append(" in module ").append(module).append(" at ");
  report.append(HexAddress(codeAddress)).append(".\r\n").append(message);
  if (!message.empty() && message.back() != '.') report += '.';
  report += "\r\n\r\n";
  return report;
}
