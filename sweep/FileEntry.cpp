// File entry handling: the only place that changes anything on disk.
#include "FileEntry.h"

#include "DateText.h"

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

std::string AttrText(uint8_t attributes) {
  return {attributes & 0x01 ? 'R' : '_', attributes & 0x02 ? 'H' : '_', attributes & 0x04 ? 'S' : '_',
          attributes & 0x20 ? 'A' : '_'};
}

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
    log.Put("Excluded by name: ");
    log.WriteLine(fullPath);
    Increment(run.counters.skippedForName);
    return;
  }

  if (run.dirLabel != run.lastHeader) {
    run.lastHeader = run.dirLabel;
    log.WriteLine(run.dirLabel);
  }
  for (int32_t i = 0; i < run.depth; ++i) log.Put("  ");

  if (IsExcludedByDate(run.settings, record)) {
    log.Put(name);
    log.WriteLine("  Excluded by Date");
    Increment(run.counters.skippedForDate);
  } else {
    if (!run.settings.preview) {
      if (plat::ClearArchiveBit(record) != 0) {
        log.Put("__!__!__!__!__!__!__!__!__!__!__!__! Error setting attributes for file ");
        log.WriteLine(fullPath);
        Increment(run.counters.errors);
      } else {
        Increment(run.counters.reset);
      }
    }
    log.Put(name);
    log.Put("  ");
    log.Put(AttrText(attributes));
    log.Put(" -> ");
    log.WriteLine(AttrText(cleared));
  }
  log.Flush();
}
