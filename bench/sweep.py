"""The sweep an administrator would write: os.walk, os.getxattr, os.setxattr."""
import os
import struct
import sys

root, log_name = sys.argv[1], sys.argv[2]
total = reset = 0
with open(log_name, "w") as log:
    for folder, dirs, files in os.walk(root):
        for name in files:
            path = os.path.join(folder, name)
            total += 1
            try:
                blob = os.getxattr(path, "user.DOSATTRIB", follow_symlinks=False)
            except OSError:
                continue
            if len(blob) != 24 or not blob.startswith(b"\0\0\5\0\5\0"):
                continue
            attrib = struct.unpack_from("<I", blob, 12)[0]
            if attrib & 0x20:
                os.setxattr(path, "user.DOSATTRIB", blob[:12] + struct.pack("<I", attrib & ~0x20) + blob[16:],
                            os.XATTR_REPLACE, follow_symlinks=False)
                reset += 1
                log.write(path + "\n")
                log.flush()
    log.write(f"Total Files: {total}\nFiles Reset: {reset}\n")
