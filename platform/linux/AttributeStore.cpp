// The attribute stores: extended attributes, and the FAT ioctls.
#include "AttributeStore.h"

#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>

#include "platform/WindowsAttributes.h"

namespace attrstore {
namespace {

constexpr const char* kDosAttrib = "user.DOSATTRIB";
constexpr const char* kNtfsAttrib = "system.ntfs_attrib_be";
constexpr const char* kCifsAttrib = "user.cifs.dosattrib";

Kind Probe(int fd) {
  struct statfs fs;
  if (fstatfs(fd, &fs) != 0) return Kind::DosAttrib;
  const auto magic = static_cast<unsigned long>(fs.f_type);
  uint8_t word[4];
  return StoreFor(magic, MayBeNtfs(magic) && fgetxattr(fd, kNtfsAttrib, word, sizeof word) == 4);
}

// The FAT byte lives in the directory entry, reached through a descriptor of
// the file; a read-only one is enough for both ioctls.
int OpenForIoctl(const char* name) {
  return open(name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

bool ReadFatByte(const char* name, uint32_t& word) {
  const int fd = OpenForIoctl(name);
  if (fd < 0) return false;
  __u32 attributes = 0;
  const bool read = ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &attributes) == 0;
  close(fd);
  word = attributes & 0xFF;
  return read;
}

int WriteFatByte(const char* name, uint32_t word) {
  const int fd = OpenForIoctl(name);
  if (fd < 0) return errno;
  // The kernel keeps the folder and volume bits itself and sets the rest as given.
  __u32 attributes = word & 0xFF;
  const int error = ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &attributes) == 0 ? 0 : errno;
  close(fd);
  return error;
}

bool ReadBigEndian(const char* name, Value& value, uint32_t& word) {
  if (lgetxattr(name, kNtfsAttrib, value.bytes, 4) != 4) return false;
  const uint8_t* b = value.bytes;
  word = static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 |
         static_cast<uint32_t>(b[2]) << 8 | b[3];
  value.size = 4;
  return true;
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
  switch (kind) {
    case Kind::NtfsWord:
      return ReadBigEndian(name, value, word);
    case Kind::FatByte:
      return ReadFatByte(name, word);
    case Kind::CifsWord:
      // The server's word, in host byte order; a mount without user xattrs answers EOPNOTSUPP.
      return lgetxattr(name, kCifsAttrib, &word, sizeof word) == sizeof word;
    case Kind::DosAttrib: {
      // A value larger than the buffer fails with ERANGE: Samba cannot read it either.
      const ssize_t size = lgetxattr(name, kDosAttrib, value.bytes, sizeof value.bytes);
      if (size <= 0) return false;
      value.size = static_cast<size_t>(size);
      return dosattrib::Parse(value.bytes, value.size, word);
    }
  }
  return false;
}

int WriteWord(Kind kind, const char* name, const Value& value, uint32_t word) {
  // A real extended attribute is replaced only: a value that vanished since it
  // was read is not made again.
  switch (kind) {
    case Kind::NtfsWord: {
      const uint8_t b[4] = {static_cast<uint8_t>(word >> 24), static_cast<uint8_t>(word >> 16),
                            static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word)};
      return lsetxattr(name, kNtfsAttrib, b, sizeof b, XATTR_REPLACE) == 0 ? 0 : errno;
    }
    case Kind::FatByte:
      return WriteFatByte(name, word);
    case Kind::CifsWord: {
      // In SMB a zero word means "no change": what is left is sent as
      // SetFileAttributes takes it. The word is the server's, not a stored value.
      const uint32_t smb = win::SettableWord(word);
      return lsetxattr(name, kCifsAttrib, &smb, sizeof smb, 0) == 0 ? 0 : errno;
    }
    case Kind::DosAttrib: {
      uint8_t out[dosattrib::kMaxSize];
      const size_t size = dosattrib::Rewrite(value.bytes, value.size, word, out);
      if (size == 0) return EINVAL;
      return lsetxattr(name, kDosAttrib, out, size, XATTR_REPLACE) == 0 ? 0 : errno;
    }
  }
  return EINVAL;
}

}  // namespace attrstore
