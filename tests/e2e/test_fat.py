"""FAT volumes, the kernel's own vfat and msdos drivers under user-mode Linux:
the archive bit is the directory entry's, and mtools reads it back from the
image itself once the guest has stopped."""

import calendar
import os
import pathlib
import subprocess

import pytest

import uml
from conftest import LINUX_BUILDS, ROOT
from tamberlix import console, summary, text

R, H, S, A = 0x01, 0x02, 0x04, 0x20
LETTERS = {"R": R, "H": H, "S": S, "A": A}

# Long names, so that every one has its long-name slots: the walk must never see those.
VFAT_FILES = {
    "tree/Top file.txt": A,
    "tree/Read Hidden System.txt": R | H | S | A,
    "tree/Sub folder/Hidden one.txt": H | A,
    "tree/Sub folder/Already clear.txt": 0,
    "tree/Sub folder/Deeper/Read only.txt": R | A,
    "preview/Preview one.txt": A,
    "preview/Preview two.txt": R | H | A,
    "dated/Day before.txt": A,
    "dated/The day.txt": A,
    "dated/Years later.txt": A,
    "rofail/Locked.txt": H | A,
}
MSDOS_FILES = {"tree/plain.txt": A, "tree/sub/rhs.txt": R | H | S | A}
TIMES = {
    "dated/Day before.txt": (2008, 12, 30, 23, 59, 58),
    "dated/The day.txt": (2008, 12, 31, 0, 0, 0),
    "dated/Years later.txt": (2015, 6, 1, 12, 0, 0),
}
MTOOLS = dict(os.environ, MTOOLS_SKIP_CHECK="1", TZ="UTC")


def mtools(*command):
    return subprocess.run(command, env=MTOOLS, check=True, capture_output=True, text=True).stdout


def make_image(image, files, staging):
    mtools("mkfs.vfat", "-C", str(image), "16384")
    made = set()
    for rel, bits in files.items():
        parts = pathlib.PurePosixPath(rel).parts
        for i in range(1, len(parts)):
            folder = "::/" + "/".join(parts[:i])
            if folder not in made:
                mtools("mmd", "-i", str(image), folder)
                made.add(folder)
        local = staging / rel.replace("/", "_")
        local.write_text(rel)
        when = calendar.timegm(TIMES.get(rel, (2020, 1, 1, 12, 0, 0)))
        os.utime(local, (when, when))
        mtools("mcopy", "-m", "-i", str(image), str(local), "::/" + rel)
        flags = [("+" if bits & bit else "-") + letter.lower() for letter, bit in LETTERS.items()]
        mtools("mattrib", "-i", str(image), *flags, "::/" + rel)


def attributes(image):
    """Every file's attribute byte as the image holds it, read by mtools."""
    found = {}
    for line in mtools("mattrib", "-i", str(image), "-/", "::").splitlines():
        flags, _, path = line.partition("::/")
        bits = sum(LETTERS[c] for c in flags if c in LETTERS)
        found[path] = bits
    return found


@pytest.fixture(scope="module")
def fat(tmp_path_factory):
    """One boot for every case: a vfat volume swept, swept again, previewed,
    filtered by date and mounted read-only, and an msdos volume swept."""
    work = tmp_path_factory.mktemp("fat")
    program = ROOT / LINUX_BUILDS[0]
    vfat, msdos, staging = work / "vfat.img", work / "msdos.img", work / "staging"
    staging.mkdir()
    make_image(vfat, VFAT_FILES, staging)
    make_image(msdos, MSDOS_FILES, staging)
    before = attributes(vfat)
    mnt = work / "mnt"
    mnt.mkdir()
    script = f"mount -t vfat /dev/ubda {mnt}\n" + uml.run_lines(program, [
        ("sweep", mnt, ["tree", work / "sweep.log"]),
        ("again", mnt, ["tree", work / "again.log"]),
        ("preview", mnt, ["-P", "preview", work / "preview.log"]),
        ("dated", mnt, ["-D12/31/2008", "dated", work / "dated.log"]),
    ]) + f"mount -o remount,ro {mnt}\n" + uml.run_lines(program, [
        ("rofail", mnt, ["rofail", work / "rofail.log"]),
    ]) + f"umount {mnt}\nmount -t msdos /dev/ubdb {mnt}\n" + uml.run_lines(program, [
        ("msdos", mnt, ["tree", work / "msdos.log"]),
    ]) + f"umount {mnt}\n"
    guest = uml.boot(work, script, ["vfat", "msdos"], disks=[vfat, msdos])
    return work, before, guest


def log(work, name):
    return (work / f"{name}.log").read_bytes()


def test_a_sweep_clears_the_archive_bit_alone(fat):
    work, before, guest = fat
    assert uml.result(work, "sweep") == (0, console(["tree/", "tree/Sub folder/", "tree/Sub folder/Deeper/"]), b""), guest
    assert log(work, "sweep") == text(
        "tree\n"
        "Top file.txt  ___A -> ____\n"
        "Read Hidden System.txt  RHSA -> RHS_\n"
        "tree/Sub folder\n"
        "  Hidden one.txt  _H_A -> _H__\n"
        "tree/Sub folder/Deeper\n"
        "    Read only.txt  R__A -> R___\n") + summary(total=5, arc=4, reset=4)
    after = attributes(work / "vfat.img")
    for rel, bits in VFAT_FILES.items():
        if rel.startswith("tree/"):
            assert after[rel] == bits & ~A, rel
    assert before["tree/Read Hidden System.txt"] == R | H | S | A


def test_a_second_sweep_finds_nothing_left(fat):
    work, _, _ = fat
    assert uml.result(work, "again")[0] == 0
    assert log(work, "again") == summary(total=5)


def test_a_preview_changes_nothing(fat):
    work, before, _ = fat
    assert uml.result(work, "preview")[0] == 0
    assert log(work, "preview") == text(
        "preview\nPreview one.txt  ___A -> ____\nPreview two.txt  RH_A -> RH__\n") + summary(total=2, arc=2)
    after = attributes(work / "vfat.img")
    assert {k: v for k, v in after.items() if k.startswith("preview/")} == \
        {k: v for k, v in before.items() if k.startswith("preview/")}


def test_the_date_filter_reads_the_entry_times(fat):
    work, _, _ = fat
    assert uml.result(work, "dated")[0] == 0
    assert log(work, "dated") == text(
        "Exclude reset for files dated on or after 12/31/2008\n"
        "dated\n"
        "Day before.txt  ___A -> ____\n"
        "The day.txt  Excluded by Date\n"
        "Years later.txt  Excluded by Date\n") + summary(total=3, arc=3, reset=1, date=2)
    after = attributes(work / "vfat.img")
    assert [after[f"dated/{n}"] for n in ["Day before.txt", "The day.txt", "Years later.txt"]] == [0, A, A]


def test_a_volume_mounted_read_only_logs_and_counts_each_failed_change(fat):
    work, _, _ = fat
    assert uml.result(work, "rofail") == (0, console(["rofail/"]), b"")
    assert log(work, "rofail") == text(
        "rofail\n"
        "__!__!__!__!__!__!__!__!__!__!__!__! Error setting attributes for file rofail/Locked.txt\n"
        "Locked.txt  _H_A -> _H__\n") + summary(total=1, arc=1, errors=1)
    assert attributes(work / "vfat.img")["rofail/Locked.txt"] == H | A


def test_the_msdos_driver_keeps_the_same_byte(fat):
    work, _, guest = fat
    code, out, err = uml.result(work, "msdos")
    assert (code, err) == (0, b""), guest
    assert log(work, "msdos") == text(
        "tree\nplain.txt  ___A -> ____\ntree/sub\n  rhs.txt  RHSA -> RHS_\n") + summary(total=2, arc=2, reset=2)
    after = attributes(work / "msdos.img")
    assert (after["tree/plain.txt"], after["tree/sub/rhs.txt"]) == (0, R | H | S)
