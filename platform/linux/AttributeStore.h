// Where a Linux file system keeps the Windows attribute word: the NTFS word of
// ntfs-3g and ntfs3, the FAT directory entry's byte, the SMB word of a CIFS
// mount, or Samba's user.DOSATTRIB everywhere else.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "StoreKinds.h"
#include "platform/DosAttrib.h"

namespace attrstore {

// The stores chosen so far, one per file system: probed once per device.
class StoreCache {
 public:
  // The store of the file system that holds the open folder `fd`.
  Kind For(int fd);

 private:
  struct Known {
    dev_t device;
    Kind kind;
  };
  std::vector<Known> known_;
};

// The value as read, kept so that a change can leave every other byte as found.
struct Value {
  uint8_t bytes[dosattrib::kMaxSize];
  size_t size = 0;
};

// Reads the word of `name` in the current folder without following a link;
// false when the file has none that can be read.
bool ReadWord(Kind kind, const char* name, Value& value, uint32_t& word);
// Writes `word` over the value read before. 0 or the errno.
int WriteWord(Kind kind, const char* name, const Value& value, uint32_t word);

}  // namespace attrstore
