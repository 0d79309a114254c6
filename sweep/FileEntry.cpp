// File entry handling: the only place that changes anything on disk.
#include "FileEntry.h"

#include "DateText.h"
#include "LogText.h"

namespace {

constexpr uint32_t kArchiveBit = 0x20;
constexpr std::string_view kExcludedNames[] = {"c:\\hiberfil.sys", "c:\\pagefile.sys"};

bool EqualsLowerAscii(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c + 0x20) : c) != lower[i]) return false;
  }
  return true;
}

}  // namespace

bool IsExcludedName(std::string_view fullPath) {
  for (std::string_view name : kExcludedNames)
    if (EqualsLowerAscii(fullPath, name)) return true;
  return false;
}

bool IsExcludedByDate(const RunSettings& settings, plat::SearchRecord& record) {
  if (!settings.dateFilter) return false;
  return DateTimeValue(plat::EntryTime(record)) >= settings.exclusionDate;
}

void HandleFileEntry(RunState& run) {
  plat::SearchRecord& record = *run.search;
  const uint8_t attributes = static_cast<uint8_t>(plat::EntryAttributes(record));
  const uint8_t cleared = static_cast<uint8_t>(attributes & ~kArchiveBit);
  if (attributes == cleared) return;
  Increment(run.counters.archiveSet);

  const std::string_view name = plat::EntryName(record);
  std::string& fullPath = run.fullPath;
  fullPath.assign(run.currentDir).append(name);
  TextStream& log = run.log;
  if (IsExcludedName(fullPath)) {
    WriteExcludedByName(log, fullPath);
    Increment(run.counters.skippedForName);
    return;
  }

  if (run.dirLabel != run.lastHeader) {
    run.lastHeader = run.dirLabel;
    WriteHeader(log, run.dirLabel);
  }
  WriteIndent(log, run.depth);

  if (IsExcludedByDate(run.settings, record)) {
    WriteExcludedByDate(log, name);
    Increment(run.counters.skippedForDate);
  } else {
    if (!run.settings.preview) {
      if (plat::ClearArchiveBit(record) != 0) {
        WriteSetError(log, fullPath);
        Increment(run.counters.errors);
      } else {
        Increment(run.counters.reset);
      }
    }
    WriteChange(log, name, attributes, cleared);
  }
  log.Flush();
}
