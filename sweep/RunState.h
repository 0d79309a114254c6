// The run state: settings, counters, streams and the walk's position, owned by
// the driver and handed to the walk and the entry handling.
#pragma once

#include <cstdint>
#include <string>

#include "TextStream.h"
#include "platform/Platform.h"

struct RunSettings {
  std::string root;
  std::string logName;
  bool dateFilter = false;
  std::string dateText;
  double exclusionDate = 0;
  bool preview = false;
};

struct RunCounters {
  int32_t totalFiles = 0;
  int32_t archiveSet = 0;
  int32_t reset = 0;
  int32_t skippedForDate = 0;
  int32_t skippedForName = 0;
  int32_t errors = 0;
};

// 32-bit counters wrap as the system's own integers do.
inline void Increment(int32_t& counter) {
  counter = static_cast<int32_t>(static_cast<uint32_t>(counter) + 1u);
}

struct RunState {
  RunSettings settings;
  RunCounters counters;
  TextStream log;
  TextStream out;
  plat::Stream err;  // carries only the failure report

  // The walk's position.
  std::string currentDir;  // with its trailing delimiter
  std::string dirLabel;    // the directory header of the log
  int32_t depth = 0;
  std::string lastHeader;  // the last header written to the log

  plat::SearchRecord* search = nullptr;
  std::string fullPath;  // scratch for the current entry, kept to save allocations
};
