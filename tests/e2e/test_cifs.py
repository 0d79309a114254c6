"""CIFS client mounts, the kernel's own cifs driver under user-mode Linux,
against a real smbd in the same guest: the archive bit is the server's, and
smbclient reads every file back from the server."""

import calendar
import os
import re

import pytest

import smbconf
import uml
from conftest import LINUX_BUILDS, ROOT
from tamberlix import console, log_blocks, summary, text

R, H, S, A, NORMAL = 0x01, 0x02, 0x04, 0x20, 0x80

FILES = {
    "tree/top.txt": A,
    "tree/all four.txt": R | H | S | A,
    "tree/sub/hidden.txt": H | A,
    "tree/sub/clear.txt": H,
    "tree/sub/deeper/read only.txt": R | A,
    "preview/one.txt": A,
    "preview/two.txt": R | H | A,
    "dated/before.txt": A,
    "dated/day.txt": A,
    "dated/later.txt": A,
    "rofail/locked.txt": H | A,
}
TIMES = {
    "dated/before.txt": (2008, 12, 30, 23, 59, 58),
    "dated/day.txt": (2008, 12, 31, 0, 0, 0),
    "dated/later.txt": (2015, 6, 1, 12, 0, 0),
}

SHARES = """# The share lies on the host's file system, which keeps no extended
# attributes in the guest: Samba keeps them in a database of its own.
[share]
  path = {d}/share
  guest ok = yes
  read only = no
  force user = root
  vfs objects = xattr_tdb
  xattr_tdb:file = {d}/xattr.tdb
[readonly]
  path = {d}/share/rofail
  guest ok = yes
  read only = yes
  force user = root
  vfs objects = xattr_tdb
  xattr_tdb:file = {d}/xattr.tdb
"""

SERVER = """ip link set lo up
mkdir -p /run/samba
smbd -D -s {d}/smb.conf
client() {{ smbclient -N -s {d}/smb.conf //127.0.0.1/share -c "$1"; }}
for i in $(seq 1 240); do client ls >/dev/null 2>&1 && break; sleep 0.25; done
"""


def flags(bits):
    return "".join(letter for letter, bit in zip("rhsa", (R, H, S, A)) if bits & bit)


def allinfo_lines(tag):
    return "".join(f'client \'allinfo "{rel}"\' > "{tag}-{i}.info"\n' for i, rel in enumerate(FILES))


def info(work, tag):
    """Each file's attribute word and create time, as smbclient's allinfo shows them."""
    found = {}
    for i, rel in enumerate(FILES):
        out = (work / f"{tag}-{i}.info").read_text()
        word = re.search(r"^attributes: .*\((\w+)\)$", out, re.M)
        created = re.search(r"^create_time:\s*(.*)$", out, re.M)
        found[rel] = (int(word.group(1), 16) if word else None, created.group(1) if created else None)
    return found


@pytest.fixture(scope="module")
def cifs(tmp_path_factory):
    """One boot: smbd, the files flagged through smbclient, the share mounted
    with cifs, and every case run on the mount."""
    work = tmp_path_factory.mktemp("cifs")
    program = ROOT / LINUX_BUILDS[0]
    for d in ["share"] + smbconf.FOLDERS:
        (work / d).mkdir()
    (work / "smb.conf").write_text(smbconf.config(work, SHARES.format(d=work)))
    for rel in FILES:
        path = work / "share" / rel
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(rel)
        when = calendar.timegm(TIMES.get(rel, (2020, 1, 1, 12, 0, 0)))
        os.utime(path, (when, when))
    mnt, ro = work / "mnt", work / "ro"
    mnt.mkdir()
    ro.mkdir()
    options = "guest,vers=3.0,noperm,actimeo=0"
    script = SERVER.format(d=work)
    for rel, bits in FILES.items():
        script += f"client 'setmode \"{rel}\" -rhsa'\n"
        if bits:
            script += f"client 'setmode \"{rel}\" +{flags(bits)}'\n"
    script += allinfo_lines("before")
    script += f"mount -t cifs //127.0.0.1/share {mnt} -o {options}\n"
    script += f"mount -t cifs //127.0.0.1/readonly {ro} -o {options}\n"
    script += "stat -f -c %t {mnt} > magic\n".format(mnt=mnt)
    script += uml.run_lines(program, [
        ("sweep", mnt, ["tree", work / "sweep.log"]),
        ("again", mnt, ["tree", work / "again.log"]),
        ("preview", mnt, ["-P", "preview", work / "preview.log"]),
        ("dated", mnt, ["-D12/31/2008", "dated", work / "dated.log"]),
        ("rofail", ro, [".", work / "rofail.log"]),
    ])
    script += f"umount {mnt} {ro}\n" + allinfo_lines("after")
    script += f"kill $(cat {work}/pid/smbd.pid)\n"
    guest = uml.boot(work, script, ["cifs"], timeout=300)
    return work, info(work, "before"), info(work, "after"), guest


def test_the_files_carry_their_words_before_the_sweep(cifs):
    work, before, _, guest = cifs
    assert (work / "magic").read_text().strip() == "fe534d42", guest
    # A file with no bit left reads as normal.
    assert {rel: word for rel, (word, _) in before.items()} == {
        rel: bits or NORMAL for rel, bits in FILES.items()}, guest


def test_a_sweep_clears_the_archive_bit_alone(cifs):
    work, before, after, guest = cifs
    code, out, err = uml.result(work, "sweep")
    assert (code, err) == (0, b""), guest
    assert out.startswith(text("Reading Files...\n")) and out.endswith(text("\nDone.\n"))
    assert log_blocks((work / "sweep.log").read_bytes()) == ({
        b"tree": {b"top.txt  ___A -> ____", b"all four.txt  RHSA -> RHS_"},
        b"tree/sub": {b"  hidden.txt  _H_A -> _H__"},
        b"tree/sub/deeper": {b"    read only.txt  R__A -> R___"},
    }, summary(total=5, arc=4, reset=4))
    for rel in FILES:
        if rel.startswith("tree/"):
            word, created = before[rel]
            # The zero-word trap: a file left with no bit at all must read as normal, not keep its A.
            assert after[rel] == ((word & ~A) or NORMAL, created), rel


def test_a_second_sweep_finds_nothing_left(cifs):
    work, _, _, _ = cifs
    assert uml.result(work, "again")[0] == 0
    assert (work / "again.log").read_bytes() == summary(total=5)


def test_a_preview_changes_nothing(cifs):
    work, before, after, _ = cifs
    assert uml.result(work, "preview")[0] == 0
    assert log_blocks((work / "preview.log").read_bytes()) == (
        {b"preview": {b"one.txt  ___A -> ____", b"two.txt  RH_A -> RH__"}}, summary(total=2, arc=2))
    assert [after[r] for r in FILES if r.startswith("preview/")] == [before[r] for r in FILES if r.startswith("preview/")]


def test_the_date_filter_reads_the_servers_times(cifs):
    work, _, after, _ = cifs
    assert uml.result(work, "dated")[0] == 0
    log = (work / "dated.log").read_bytes()
    assert log.startswith(text("Exclude reset for files dated on or after 12/31/2008\n"))
    assert log_blocks(log.split(b"\r\n", 1)[1]) == ({b"dated": {
        b"before.txt  ___A -> ____", b"day.txt  Excluded by Date", b"later.txt  Excluded by Date"}},
        summary(total=3, arc=3, reset=1, date=2))
    assert [after[f"dated/{n}"][0] for n in ["before.txt", "day.txt", "later.txt"]] == [NORMAL, A, A]


def test_a_share_the_client_may_not_write_logs_and_counts_each_failed_change(cifs):
    work, before, after, _ = cifs
    assert uml.result(work, "rofail") == (0, console(["./"]), b"")
    assert (work / "rofail.log").read_bytes() == text(
        ".\n"
        "__!__!__!__!__!__!__!__!__!__!__!__! Error setting attributes for file ./locked.txt\n"
        "locked.txt  _H_A -> _H__\n") + summary(total=1, arc=1, errors=1)
    assert after["rofail/locked.txt"] == before["rofail/locked.txt"]
