// The tree walk.
#include "TreeWalk.h"

#include <new>

#include "Failure.h"
#include "FileEntry.h"
#include "LogText.h"

namespace {

constexpr size_t kProgressWidth = 78;
// The attribute word of a long-file-name slot in a FAT directory.
constexpr uint32_t kLfnAttributes = 0x0F;
constexpr uint32_t kDirectoryBit = 0x10;

// One subfolder waiting for its walk.
struct Dir_Rec {
  std::string name;  // as the system holds it
  int32_t sequence;
  Dir_Rec* next;
  Dir_Rec* previous;
};

struct DirQueue {
  Dir_Rec* head = nullptr;
  Dir_Rec* tail = nullptr;

  ~DirQueue() {
    while (head) delete PopHead();
  }
  void Append(Dir_Rec* rec) {
    rec->previous = tail;
    (tail ? tail->next : head) = rec;
    tail = rec;
  }
  Dir_Rec* PopHead() {
    Dir_Rec* rec = head;
    head = rec->next;
    (head ? head->previous : tail) = nullptr;
    return rec;
  }
};

// An open folder, closed when its walk is over however that ends: folders
// close in the reverse order of their opening.
struct OpenFolder {
  plat::SearchRecord& search;
  plat::Folder* folder;

  OpenFolder(plat::SearchRecord& s, plat::Folder* f) : search(s), folder(f) {}
  OpenFolder(const OpenFolder&) = delete;
  ~OpenFolder() { plat::CloseFolder(search, folder); }
};

// Null when there is no memory for it.
Dir_Rec* NewDirRec(const plat::SearchRecord& search, int32_t sequence) {
  try {
    return new Dir_Rec{plat::EntryKey(search), sequence, nullptr, nullptr};
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void ShowProgress(RunState& run) {
  // Cut first: only the first 78 characters of a deep path ever show.
  std::string line =
      PadRight(std::string_view(run.currentDir).substr(0, kProgressWidth), ' ', kProgressWidth);
  line += '\r';
  run.out.Write(line);
}

// Reads the folder that `open` starts, handles its files and queues its
// subfolders; the walk's position already names the folder.
void Visit(RunState& run, const OpenFolder& open, DirQueue& queue) {
  if (!open.folder) return;
  plat::SearchRecord& search = open.search;
  int32_t found = 0;
  while (plat::NextEntry(search, *open.folder)) {
    const std::string_view entry = plat::EntryName(search);
    if (entry == "." || entry == "..") continue;
    const uint32_t attributes = plat::EntryAttributes(search);
    if (attributes & kDirectoryBit) {
      Dir_Rec* rec = NewDirRec(search, ++found);
      if (!rec) {
        run.out.WriteLine("Could not alocate record!");
        throw RunStop{1};
      }
      queue.Append(rec);
    } else if (attributes == kLfnAttributes) {
      WriteLfnMark(run.log);
    } else {
      Increment(run.counters.totalFiles);
      HandleFileEntry(run);
    }
  }
  plat::EndEnumeration(search, *open.folder);
}

plat::Folder* Open(RunState& run, plat::Folder* parent, std::string_view key) {
  IoError fatal;
  plat::Folder* folder = parent ? plat::OpenSubfolder(*run.search, *parent, key, fatal)
                                : plat::OpenRoot(*run.search, run.currentDir, fatal);
  if (fatal) FailIo(fatal);
  return folder;
}

// Walks the subfolder `key` of `parent`, or the root when there is no parent.
// `run.currentDir` holds the parent's path with its delimiter.
void Walk(RunState& run, plat::Folder* parent, std::string_view key) {
  run.dirLabel = parent ? run.currentDir + plat::DisplayName(key) : run.settings.root;
  run.currentDir = AddTrailingBackslash(run.dirLabel, plat::PathDelimiter());
  ShowProgress(run);
  run.log.Flush();

  DirQueue queue;
  const OpenFolder open{*run.search, Open(run, parent, key)};
  Visit(run, open, queue);

  ++run.depth;
  // Each subfolder's walk leaves the path of its last folder behind, which
  // begins with this folder's own: cutting it back costs no copy per level.
  const size_t pathLength = run.currentDir.size();
  while (queue.head) {
    run.currentDir.resize(pathLength);
    Walk(run, open.folder, queue.head->name);
    delete queue.PopHead();
  }
  --run.depth;
}

}  // namespace

std::string AddTrailingBackslash(std::string_view text, char delimiter) {
  std::string result(text);
  if (!result.empty() && result.back() != delimiter) result += delimiter;
  return result;
}

std::string PadRight(std::string_view text, char fill, size_t width) {
  std::string result(text);
  if (result.size() < width) result.append(width - result.size(), fill);
  return result;
}

void WalkDirectory(RunState& run) { Walk(run, nullptr, ""); }
