"""A real NTFS volume through ntfs-3g: the attribute word Windows reads, checked
on the raw image with ntfsinfo after the volume is unmounted."""

import os
import re
import shutil
import subprocess

import pytest

from dosattrib import NAME, get_attrib, set_attrib, v5
from tamberlix import summary, text

PLATFORMS = ("linux",)

WORD = "system.ntfs_attrib_be"


def set_word(path, word):
    os.setxattr(path, WORD, word.to_bytes(4, "big"), follow_symlinks=False)


def standard_information_attributes(image, path):
    out = subprocess.run(["ntfsinfo", "-F", path, str(image)], capture_output=True, text=True, check=True).stdout
    section = out.split("Dumping attribute $STANDARD_INFORMATION")[1]
    return int(re.search(r"File attributes:.*\(0x([0-9a-fA-F]+)\)", section).group(1), 16)


@pytest.fixture
def ntfs(tmp_path):
    if not os.path.exists("/dev/fuse"):
        pytest.skip("this machine has no /dev/fuse, so ntfs-3g cannot mount a volume")
    if not shutil.which("ntfs-3g") or not shutil.which("mkntfs"):
        pytest.fail("ntfs-3g is not installed: run tests/setup.sh")
    # The volume is mounted inside a tree on the local disk, so that a walk can cross into it.
    image, mnt = tmp_path / "volume.img", tmp_path / "tree" / "vol"
    with open(image, "wb") as f:
        f.truncate(16 << 20)
    subprocess.run(["mkntfs", "-F", "-f", "-q", str(image)], check=True, capture_output=True)
    mnt.mkdir(parents=True)
    subprocess.run(["ntfs-3g", str(image), str(mnt)], check=True)
    mounted = [True]

    def unmount():
        if mounted[0]:
            subprocess.run(["umount", str(mnt)], check=True)
            mounted[0] = False

    yield image, mnt, unmount
    unmount()


def test_a_sweep_clears_the_archive_bit_in_the_volumes_own_word(tool, tmp_path, ntfs):
    image, mnt, unmount = ntfs
    words = {"a.txt": 0x20, "rhsa.txt": 0x27, "clear.txt": 0x02, "sub/deep.txt": 0x2120}
    (mnt / "sub").mkdir()
    for name, word in words.items():
        (mnt / name).write_text(name)
        set_word(mnt / name, word)

    r = tool.run(mnt, tmp_path / "log.txt")
    assert (r.code, r.err) == (0, b"")
    log = (tmp_path / "log.txt").read_bytes()
    assert text(f"{mnt}/sub\n  deep.txt  ___A -> ____\n") in log
    assert b"rhsa.txt  RHSA -> RHS_\r\n" in log and b"clear.txt" not in log
    assert log.endswith(summary(total=4, arc=3, reset=3))

    unmount()
    # Not-content-indexed and temporary (0x2100) stay; a word left empty reads as 0.
    expected = {"a.txt": 0x00, "rhsa.txt": 0x07, "clear.txt": 0x02, "sub/deep.txt": 0x2100}
    for name, word in expected.items():
        assert standard_information_attributes(image, "/" + name) == word, name



def test_a_tree_that_crosses_into_an_ntfs_volume_uses_each_file_systems_own_store(tool, tmp_path, ntfs):
    image, mnt, unmount = ntfs
    tree = mnt.parent
    # The volume's file carries a Samba value too, which says no archive bit: only its own word counts there.
    (mnt / "n.txt").write_text("n")
    set_word(mnt / "n.txt", 0x21)
    os.setxattr(mnt / "n.txt", NAME, v5(0x01))
    (tree / "disk.txt").write_text("d")
    set_attrib(tree / "disk.txt", v5(0x22))
    r = tool.run(tree, tmp_path / "log.txt")
    assert (r.code, r.err) == (0, b"")
    assert (tmp_path / "log.txt").read_bytes() == text(
        f"{tree}\ndisk.txt  _H_A -> _H__\n{mnt}\n  n.txt  R__A -> R___\n") + summary(total=2, arc=2, reset=2)
    assert get_attrib(tree / "disk.txt") == v5(0x02)
    assert os.getxattr(mnt / "n.txt", NAME) == v5(0x01)
    unmount()
    assert standard_information_attributes(image, "/n.txt") == 0x01
