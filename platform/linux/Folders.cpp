// Folders read in large batches with getdents64. Each folder is opened from
// its parent's descriptor without following links, and the process stands in
// the folder being read (fchdir), so every file is reached by its bare name.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <deque>
#include <memory>

#include "AttributeStore.h"
#include "Prefetch.h"
#include "platform/Platform.h"

namespace plat {

struct Folder {
  int fd;
  bool entered;  // the process stands in this folder, so bare names reach its entries
  attrstore::Kind store;
};

struct SearchRecord {
  static constexpr size_t kBatchSize = 64 * 1024;
  std::unique_ptr<char[]> batch{new char[kBatchSize]};
  size_t pos = 0;
  size_t end = 0;

  // The current entry.
  const char* name = "";
  size_t nameSize = 0;
  unsigned char type = DT_UNKNOWN;
  uint32_t attributes = 0;
  uint32_t stored = 0;  // the word as the store holds it, which a change starts from
  attrstore::Value value;
  Folder* folder = nullptr;

  // Folders open along the current path, opened and closed in stack order.
  std::deque<Folder> open;
  attrstore::StoreCache stores;

  uint64_t handled = 0;  // entries the walk has been given
  prefetch::Prefetcher prefetcher;
};

namespace {

constexpr uint32_t kDirectoryBit = 0x10;
constexpr uint32_t kArchiveBit = 0x20;

unsigned char TypeOf(mode_t mode) {
  if (S_ISDIR(mode)) return DT_DIR;
  if (S_ISREG(mode)) return DT_REG;
  if (S_ISLNK(mode)) return DT_LNK;
  return DT_UNKNOWN;  // devices, FIFOs and sockets carry no attributes
}

uint32_t AttributesOf(SearchRecord& r) {
  if (r.type == DT_DIR) return kDirectoryBit;
  // Links, devices, FIFOs and sockets carry no attribute word and are never opened.
  if (r.type != DT_REG || !r.folder->entered) return 0;
  if (!attrstore::ReadWord(r.folder->store, r.name, r.value, r.stored)) return 0;
  // The directory bit comes from the file type alone.
  return r.stored & ~kDirectoryBit;
}

// Starts reading the folder open as `fd`, and stands in it: the walk stands in
// the folder it reads, so every file is reached by its bare name.
Folder* Enter(SearchRecord& record, int fd, IoError& fatal) {
  if (fd < 0) {
    // Running out of descriptors would pass whole subtrees by unseen.
    fatal = errno == EMFILE || errno == ENFILE ? Fails(IoCode::TooManyOpenFiles) : Ok();
    return nullptr;
  }
  fatal = Ok();
  Folder& folder = record.open.emplace_back(Folder{fd, fchdir(fd) == 0, record.stores.For(fd)});
  record.folder = &folder;
  record.pos = record.end = 0;
  return &folder;
}

}  // namespace

SearchRecord* NewSearchRecord() { return new SearchRecord; }
void FreeSearchRecord(SearchRecord* record) { delete record; }

bool DirectoryExists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

Folder* OpenRoot(SearchRecord& record, const std::string& path, IoError& fatal) {
  // The root is taken as the user names it, a link included.
  Folder* root = Enter(record, open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), fatal);
  if (root) record.prefetcher.Arm(root->fd);
  return root;
}

Folder* OpenSubfolder(SearchRecord& record, Folder& parent, std::string_view key, IoError& fatal) {
  // Below the root no link is followed, even one that took a folder's place since it was listed.
  const std::string name(key);
  const auto open = [&] {
    return openat(parent.fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  };
  int fd = open();
  // The walk never runs short of descriptors for the prefetcher's sake: it gives its own back.
  if (fd < 0 && (errno == EMFILE || errno == ENFILE) && record.prefetcher.Stop()) fd = open();
  return Enter(record, fd, fatal);
}

bool NextEntry(SearchRecord& r, Folder& folder) {
  if (r.pos >= r.end) {
    const ssize_t got = getdents64(folder.fd, r.batch.get(), SearchRecord::kBatchSize);
    // An error ends the folder as if it were complete.
    if (got <= 0) return false;
    r.pos = 0;
    r.end = static_cast<size_t>(got);
  }
  r.prefetcher.Handled(++r.handled);
  const auto* entry = reinterpret_cast<const dirent64*>(r.batch.get() + r.pos);
  r.pos += entry->d_reclen;
  r.name = entry->d_name;
  r.nameSize = std::char_traits<char>::length(entry->d_name);
  r.type = entry->d_type;
  if (r.type == DT_UNKNOWN) {
    struct stat info;
    r.type = fstatat(folder.fd, r.name, &info, AT_SYMLINK_NOFOLLOW) == 0
                 ? TypeOf(info.st_mode)
                 : static_cast<unsigned char>(DT_UNKNOWN);
  }
  r.attributes = AttributesOf(r);
  return true;
}

void EndEnumeration(SearchRecord& record, Folder&) { record.pos = record.end = 0; }

void CloseFolder(SearchRecord& record, Folder* folder) {
  if (!folder) return;
  close(folder->fd);
  // Folders close in the reverse order of opening: this one is the newest, and
  // the walk stands in its parent again, with no record left on a closed folder.
  record.open.pop_back();
  record.folder = record.open.empty() ? nullptr : &record.open.back();
  if (record.folder && record.folder->entered) record.folder->entered = fchdir(record.folder->fd) == 0;
}

std::string_view EntryName(const SearchRecord& record) { return {record.name, record.nameSize}; }

// Names are bytes here: the log shows them as the system holds them.
std::string EntryKey(const SearchRecord& record) { return std::string(EntryName(record)); }

std::string DisplayName(std::string_view key) { return std::string(key); }

uint32_t EntryAttributes(const SearchRecord& record) { return record.attributes; }

LocalTime EntryTime(SearchRecord& r) {
  struct stat info;
  time_t when = 0;
  if (fstatat(r.folder->fd, r.name, &info, AT_SYMLINK_NOFOLLOW) == 0) when = info.st_mtime;
  struct tm local;
  if (!localtime_r(&when, &local))
    return when > 0 ? LocalTime{9999, 12, 31, 23, 59, 59} : LocalTime{1, 1, 1, 0, 0, 0};
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

int ClearArchiveBit(SearchRecord& r) {
  if (!r.folder->entered) return EACCES;
  return attrstore::WriteWord(r.folder->store, r.name, r.value, r.stored & ~kArchiveBit);
}

}  // namespace plat
