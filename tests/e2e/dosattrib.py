"""Writing and reading Samba's user.DOSATTRIB on a local file system."""

import os
import struct

NAME = "user.DOSATTRIB"
CREATE_TIME = 0x01DD8961994CF170


def v5(attrib, create_time=CREATE_TIME):
    """The form Samba 4.17 and later write."""
    return b"\0\0" + struct.pack("<HHHIIQ", 5, 5, 0, 0x11, attrib, create_time)


def v3(attrib):
    """The form Samba 3.5 to 4.10 write, with its hex text."""
    hex_text = b"0x%x\0" % attrib
    blob = hex_text + b"\0" * (len(hex_text) % 2)
    blob += struct.pack("<HH", 3, 3)
    blob += b"\0" * (-len(blob) % 4)
    return blob + struct.pack("<III", 0x31, attrib, 0x11111111) + bytes([0x22] * 8) + \
        bytes([0x33] * 8) + bytes([0x44] * 8) + bytes([0x55] * 8)


def set_attrib(path, blob):
    os.setxattr(path, NAME, blob, follow_symlinks=False)


def get_attrib(path):
    try:
        return os.getxattr(path, NAME, follow_symlinks=False)
    except OSError:
        return None
