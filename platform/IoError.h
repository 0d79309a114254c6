// The run's I/O failure codes, the numbers its messages are known by, and the
// system's own error number carried beside them. Pure: no system calls.
#pragma once

#include <cstdint>

enum class IoCode : int32_t {
  None = 0,
  FileNotFound = 2,
  InvalidFilename = 3,
  TooManyOpenFiles = 4,
  AccessDenied = 5,
  ReadBeyondEnd = 100,
  DiskFull = 101,
  NotOpen = 103,
  NotOpenForOutput = 105,
  InvalidNumericInput = 106,
  // An error of the system's that has no code of its own: its number is in `system`.
  System = -1,
};

struct IoError {
  IoCode code = IoCode::None;
  int system = 0;

  explicit operator bool() const { return code != IoCode::None; }
};

constexpr IoError Ok() { return {}; }
constexpr IoError Fails(IoCode code) { return {code, 0}; }
constexpr IoError SystemError(int number) { return {IoCode::System, number}; }
