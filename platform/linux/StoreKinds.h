// Which attribute store a Linux file system keeps, by its statfs magic. Pure,
// so that the table is tested on its own.
#pragma once

#include <cstdint>

namespace attrstore {

enum class Kind : uint8_t { DosAttrib, NtfsWord, FatByte, CifsWord };

constexpr unsigned long kFuseMagic = 0x65735546;   // ntfs-3g is one FUSE file system among many
constexpr unsigned long kNtfs3Magic = 0x7366746e;  // the in-kernel ntfs3 driver
constexpr unsigned long kFatMagic = 0x4d44;        // msdos and vfat alike
constexpr unsigned long kCifsMagic = 0xFF534D42;   // the cifs client speaking SMB1
constexpr unsigned long kSmb2Magic = 0xFE534D42;   // the same client speaking SMB2 or 3

// Whether a file system of this magic may be NTFS, to be asked for its word.
constexpr bool MayBeNtfs(unsigned long magic) { return magic == kFuseMagic || magic == kNtfs3Magic; }

// The store of a file system of this magic; `answersNtfsWord` tells whether
// its folder gave the NTFS word when asked.
constexpr Kind StoreFor(unsigned long magic, bool answersNtfsWord) {
  switch (magic) {
    case kFatMagic:
      return Kind::FatByte;
    case kCifsMagic:
    case kSmb2Magic:
      return Kind::CifsWord;
    default:
      return MayBeNtfs(magic) && answersNtfsWord ? Kind::NtfsWord : Kind::DosAttrib;
  }
}

}  // namespace attrstore
