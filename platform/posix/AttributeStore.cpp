// The attribute stores, read and written through extended attributes.
#include "AttributeStore.h"

#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/xattr.h>

#include <cerrno>

namespace attrstore {
namespace {

constexpr const char* kDosAttrib = "user.DOSATTRIB";
constexpr const char* kNtfsAttrib = "system.ntfs_attrib_be";

constexpr unsigned long kFuseMagic = 0x65735546;   // ntfs-3g is one FUSE file system among many
constexpr unsigned long kNtfs3Magic = 0x7366746e;  // the in-kernel ntfs3 driver

Kind Probe(int fd) {
  struct statfs fs;
  if (fstatfs(fd, &fs) != 0) return Kind::DosAttrib;
  const unsigned long type = static_cast<unsigned long>(fs.f_type);
  if (type != kFuseMagic && type != kNtfs3Magic) return Kind::DosAttrib;
  uint8_t word[4];
  return fgetxattr(fd, kNtfsAttrib, word, sizeof word) == 4 ? Kind::NtfsWord : Kind::DosAttrib;
}

}  // namespace

Kind StoreCache::For(int fd) {
  struct stat info;
  if (fstat(fd, &info) != 0) return Kind::DosAttrib;
  for (const Known& k : known_)
    if (k.device == info.st_dev) return k.kind;
  const Kind kind = Probe(fd);
  known_.push_back({info.st_dev, kind});
  return kind;
}

bool ReadWord(Kind kind, const char* name, Value& value, uint32_t& word) {
  if (kind == Kind::NtfsWord) {
    if (lgetxattr(name, kNtfsAttrib, value.bytes, 4) != 4) return false;
    const uint8_t* b = value.bytes;
    word = static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 |
           static_cast<uint32_t>(b[2]) << 8 | b[3];
    value.size = 4;
    return true;
  }
  // A value larger than the buffer fails with ERANGE: Samba cannot read it either.
  const ssize_t size = lgetxattr(name, kDosAttrib, value.bytes, sizeof value.bytes);
  if (size <= 0) return false;
  value.size = static_cast<size_t>(size);
  return dosattrib::Parse(value.bytes, value.size, word);
}

int WriteWord(Kind kind, const char* name, const Value& value, uint32_t word) {
  if (kind == Kind::NtfsWord) {
    const uint8_t b[4] = {static_cast<uint8_t>(word >> 24), static_cast<uint8_t>(word >> 16),
                          static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word)};
    return lsetxattr(name, kNtfsAttrib, b, sizeof b, XATTR_REPLACE) == 0 ? 0 : errno;
  }
  uint8_t out[dosattrib::kMaxSize];
  const size_t size = dosattrib::Rewrite(value.bytes, value.size, word, out);
  if (size == 0) return EINVAL;
  // Replace only: a value that vanished since it was read is not made again.
  return lsetxattr(name, kDosAttrib, out, size, XATTR_REPLACE) == 0 ? 0 : errno;
}

}  // namespace attrstore
