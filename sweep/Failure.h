// How a run ends when something fails: the failure that carries the report,
// and the stop after one of the program's own messages.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/IoError.h"

// A failure that ends the run with the report on standard error.
struct RunFailure {
  std::string kind;
  std::string message;
};

// The run ends with this exit code; its message has already been written.
struct RunStop {
  int exitCode;
};

[[noreturn]] void FailIo(IoError error);
// The message for an I/O failure.
std::string IoMessage(IoError error);
// The two lines and the empty line of the failure report.
std::string FailureReport(std::string_view kind, std::string_view module, uint32_t codeAddress,
                          std::string_view message);
std::string HexAddress(uintptr_t address);
