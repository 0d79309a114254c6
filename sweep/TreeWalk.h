// The depth-first walk: a folder's files first, then its subfolders in the
// order found, with the progress line on the console.
#pragma once

#include <string>
#include <string_view>

#include "RunState.h"

// Appends the path delimiter to a non-empty text that lacks it.
std::string AddTrailingBackslash(std::string_view text, char delimiter);
std::string PadRight(std::string_view text, char fill, size_t width);

// Walks the whole tree below the run's root.
void WalkDirectory(RunState& run);
