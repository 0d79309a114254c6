// The Linux build's choice of attribute store by file system.
#include <gtest/gtest.h>

#include "platform/linux/StoreKinds.h"

namespace {

using attrstore::Kind;
using attrstore::StoreFor;

TEST(StoreFor, EachFileSystemItsOwnStore) {
  const struct {
    unsigned long magic;
    bool answersNtfsWord;
    Kind kind;
  } cases[] = {
      {0xEF53, false, Kind::DosAttrib},                                      // ext4
      {0xEF53, true, Kind::DosAttrib},                                       // whatever it answers
      {0x01021994, false, Kind::DosAttrib},                                  // tmpfs
      {0x65735546, true, Kind::NtfsWord},                                    // ntfs-3g
      {0x65735546, false, Kind::DosAttrib},                                  // another FUSE file system
      {0x7366746e, true, Kind::NtfsWord},                                    // ntfs3
      {0x7366746e, false, Kind::DosAttrib}, {0x4d44, false, Kind::FatByte},  // vfat and msdos
      {0xFF534D42, false, Kind::CifsWord},                                   // cifs, SMB1
      {0xFE534D42, false, Kind::CifsWord},                                   // cifs, SMB2 and 3
      {0x517B, false, Kind::DosAttrib},  // the old smbfs has no word of its own
  };
  for (const auto& c : cases) EXPECT_EQ(StoreFor(c.magic, c.answersNtfsWord), c.kind) << std::hex << c.magic;
}

}  // namespace
