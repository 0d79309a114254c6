// What happens to one file: reset, spared by name or date, or left alone.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "RunState.h"

// The fixed system files that are never reset, compared in lower case.
bool IsExcludedName(std::string_view fullPath);
bool IsExcludedByDate(const RunSettings& settings, plat::SearchRecord& record);

// Handles the walk's current entry, already counted as a file.
void HandleFileEntry(RunState& run);
