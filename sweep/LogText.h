// The log's grammar: every line the log holds is written here, and nowhere else.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "RunCounters.h"
#include "TextStream.h"

// Four characters: R, H, S and A, or "_" for each bit that is clear.
std::string AttrText(uint8_t attributes);

void WriteDateLine(TextStream& stream, std::string_view dateText);
// A folder's header, before its first file line.
void WriteHeader(TextStream& log, std::string_view label);
// The mark of a long-file-name slot; the next text continues its line.
void WriteLfnMark(TextStream& log);
void WriteExcludedByName(TextStream& log, std::string_view fullPath);
// A file line begins with two blanks for each level below the root.
void WriteIndent(TextStream& log, int32_t depth);
void WriteExcludedByDate(TextStream& log, std::string_view name);
// Stands before the file's own line, which then has no indentation of its own.
void WriteSetError(TextStream& log, std::string_view fullPath);
void WriteChange(TextStream& log, std::string_view name, uint8_t before, uint8_t after);
void WriteSummary(TextStream& log, const RunCounters& counters);
