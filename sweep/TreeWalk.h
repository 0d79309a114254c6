// The depth-first walk: a folder's files first, then its subfolders in the
// order found, with the progress line on the console.
#pragma once

#include <string>
#include <string_view>

#include "RunState.h"

// Appends the path delimiter to a non-empty text that lacks it.
std::string AddTrailingBackslash(std::string_view text, char delimiter);
std::string PadRight(std::string_view text, char fill, size_t width);

// Visits the subfolder `key` of the open folder `parent`, whose path with its
// delimiter is `run.currentDir`; with no parent, the root of the run.
void WalkDirectory(RunState& run, plat::Folder* parent, std::string_view key);
