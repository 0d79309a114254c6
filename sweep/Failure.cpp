// The failure report and the messages of I/O failures.
#include "Failure.h"

#include <cstdio>

void FailIo(IoError error) { throw RunFailure{"EInOutError", IoMessage(error)}; }

std::string IoMessage(IoError error) {
  switch (error.code) {
    case IoCode::FileNotFound:
      return "File not found";
    case IoCode::InvalidFilename:
      return "Invalid filename";
    case IoCode::TooManyOpenFiles:
      return "Too many open files";
    case IoCode::AccessDenied:
      return "File access denied";
    case IoCode::ReadBeyondEnd:
      return "Read beyond end of file";
    case IoCode::DiskFull:
      return "Disk full";
    case IoCode::InvalidNumericInput:
      return "Invalid numeric input";
    case IoCode::System:
      return "I/O error " + std::to_string(error.system);
    case IoCode::None:
    case IoCode::NotOpen:
    case IoCode::NotOpenForOutput:
      break;
  }
  return "I/O error " + std::to_string(static_cast<int32_t>(error.code));
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
