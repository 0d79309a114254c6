// The log's lines, each in the one form it takes.
#include "LogText.h"

#include <utility>

std::string AttrText(uint8_t attributes) {
  return {attributes & 0x01 ? 'R' : '_', attributes & 0x02 ? 'H' : '_', attributes & 0x04 ? 'S' : '_',
          attributes & 0x20 ? 'A' : '_'};
}

void WriteDateLine(TextStream& stream, std::string_view dateText) {
  stream.Put("Exclude reset for files dated on or after ");
  stream.WriteLine(dateText);
}

void WriteHeader(TextStream& log, std::string_view label) { log.WriteLine(label); }

void WriteLfnMark(TextStream& log) { log.Put("LFNATTR: "); }

void WriteExcludedByName(TextStream& log, std::string_view fullPath) {
  log.Put("Excluded by name: ");
  log.WriteLine(fullPath);
}

void WriteIndent(TextStream& log, int32_t depth) {
  if (depth <= 0) return;
  // One piece, however deep: two bytes at a time would cost a call each.
  static constexpr std::string_view kBlanks =
      "                                                                ";
  const size_t width = 2 * static_cast<size_t>(depth);
  if (width <= kBlanks.size())
    log.Put(kBlanks.substr(0, width));
  else
    log.Put(std::string(width, ' '));
}

void WriteExcludedByDate(TextStream& log, std::string_view name) {
  log.Put(name);
  log.WriteLine("  Excluded by Date");
}

void WriteSetError(TextStream& log, std::string_view fullPath) {
  log.Put("__!__!__!__!__!__!__!__!__!__!__!__! Error setting attributes for file ");
  log.WriteLine(fullPath);
}

void WriteChange(TextStream& log, std::string_view name, uint8_t before, uint8_t after) {
  log.Put(name);
  log.Put("  ");
  log.Put(AttrText(before));
  log.Put(" -> ");
  log.WriteLine(AttrText(after));
}

void WriteSummary(TextStream& log, const RunCounters& c) {
  const std::pair<const char*, int32_t> lines[] = {
      {"Total Files: ", c.totalFiles},
      {"Files with ARC Attribute set: ", c.archiveSet},
      {"Files Reset: ", c.reset},
      {"Files skipped for date: ", c.skippedForDate},
      {"Files skipped for name: ", c.skippedForName},
      {"Files with errors resetting attrbutes: ", c.errors},
  };
  log.Put("\r\n\r\n");
  for (const auto& [label, value] : lines) {
    log.Put(label);
    log.Put(std::to_string(value));
    log.Put("\r\n");
  }
  log.EndStatement();
}
