// The six counters of a run, in the order the summary shows them.
#pragma once

#include <cstdint>

struct RunCounters {
  int32_t totalFiles = 0;
  int32_t archiveSet = 0;
  int32_t reset = 0;
  int32_t skippedForDate = 0;
  int32_t skippedForName = 0;
  int32_t errors = 0;

  bool operator==(const RunCounters&) const = default;
};

// 32-bit counters wrap as the system's own integers do.
inline void Increment(int32_t& counter) {
  counter = static_cast<int32_t>(static_cast<uint32_t>(counter) + 1u);
}
