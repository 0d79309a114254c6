// The attribute arithmetic of Windows and SMB: what SetFileAttributes takes
// and what the walk sees. Pure, so that both platforms share and test it.
#pragma once

#include <cstdint>

namespace win {

constexpr uint32_t kReadOnly = 0x1, kHidden = 0x2, kSystem = 0x4, kDirectory = 0x10, kArchive = 0x20,
                   kNormal = 0x80, kTemporary = 0x100, kReparsePoint = 0x400, kOffline = 0x1000,
                   kNotContentIndexed = 0x2000;
constexpr uint32_t kTagMountPoint = 0xA0000003, kTagSymlink = 0xA000000C;

// The word SetFileAttributes is given for `attributes`: the bits it takes,
// or FILE_ATTRIBUTE_NORMAL when none of them is left.
constexpr uint32_t SettableWord(uint32_t attributes) {
  const uint32_t settable =
      attributes & (kReadOnly | kHidden | kSystem | kArchive | kTemporary | kOffline | kNotContentIndexed);
  return settable ? settable : kNormal;
}

// The word the walk sees for a found entry. Junctions, symbolic links and
// mount points carry none: they are neither entered nor changed. Other
// reparse points (deduplicated or cloud files) are swept, but never entered.
constexpr uint32_t WalkWord(uint32_t attributes, uint32_t reparseTag) {
  if (!(attributes & kReparsePoint)) return attributes;
  if (reparseTag == kTagSymlink || reparseTag == kTagMountPoint) return 0;
  return attributes & ~kDirectory;
}

}  // namespace win
