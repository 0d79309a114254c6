"""Sweeps of real trees on the local disk, with the attributes in user.DOSATTRIB."""

import calendar
import os
import socket
import subprocess

import pytest

from dosattrib import get_attrib, set_attrib, v3, v5
from tamberlix import console, progress, summary, text

PLATFORMS = ("linux",)

A, R, H, S = 0x20, 0x01, 0x02, 0x04


def make(root, files):
    """Files as {relative path: blob or None}; folders are made on the way."""
    for rel, blob in files.items():
        path = root / rel
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(rel)
        if blob is not None:
            set_attrib(path, blob)


def attribs(root):
    return {str(p.relative_to(root)): get_attrib(p) for p in sorted(root.rglob("*")) if not p.is_symlink()}


def folders(path, label):
    """The folders in the order the walk visits them: pre-order, each folder's in the order found."""
    order = [label + "/"]
    for entry in os.scandir(path):
        if entry.is_dir(follow_symlinks=False):
            order += folders(entry.path, f"{label}/{entry.name}")
    return order


def utc(*when):
    return calendar.timegm(when + (0,) * (6 - len(when)))


def test_headers_and_indentation_at_every_depth(tool, tmp_path):
    make(tmp_path / "tree", {
        "top.txt": v5(A),
        "plain.txt": None,
        "d1/one.txt": v5(A | R),
        "d1/d2/two.txt": v5(A | H | S | R),
        "d1/d2/d3/three.txt": v5(A | H),
        "d1/d2/d3/clear.txt": v5(H),
    })
    r = tool.run("tree", "log.txt", cwd=tmp_path)
    assert (r.code, r.err) == (0, b"")
    assert r.out == console(["tree/", "tree/d1/", "tree/d1/d2/", "tree/d1/d2/d3/"])
    assert (tmp_path / "log.txt").read_bytes() == text(
        "tree\n"
        "top.txt  ___A -> ____\n"
        "tree/d1\n"
        "  one.txt  R__A -> R___\n"
        "tree/d1/d2\n"
        "    two.txt  RHSA -> RHS_\n"
        "tree/d1/d2/d3\n"
        "      three.txt  _H_A -> _H__\n") + summary(total=6, arc=4, reset=4)
    after = attribs(tmp_path / "tree")
    assert after["top.txt"] == v5(0)
    assert after["d1/d2/two.txt"] == v5(H | S | R)
    assert after["d1/d2/d3/clear.txt"] == v5(H)
    assert after["plain.txt"] is None


def test_files_before_folders_and_folders_in_the_order_found(tool, tmp_path):
    tree = tmp_path / "tree"
    make(tree, {f"{d}/{s}/f.txt": v5(A) for d in ["b", "a", "c"] for s in ["y", "x"]})
    make(tree, {"root.txt": v5(A)})
    order = folders(tree, "tree")
    r = tool.run("tree", "log.txt", cwd=tmp_path)
    assert r.out == console(order)
    # Each folder's files come before any of its subfolders; only the leaves hold files here.
    expected = "tree\nroot.txt  ___A -> ____\n" + "".join(
        f"{f[:-1]}\n    f.txt  ___A -> ____\n" for f in order if f.count("/") == 3)
    assert (tmp_path / "log.txt").read_bytes() == text(expected) + summary(total=7, arc=7, reset=7)


def test_root_with_a_trailing_delimiter_and_an_absolute_root(tool, tmp_path):
    make(tmp_path / "tree", {"a.txt": v5(A), "sub/b.txt": v5(A)})
    r = tool.run("tree/", "log.txt", cwd=tmp_path)
    assert r.out == console(["tree/", "tree/sub/"])
    assert (tmp_path / "log.txt").read_bytes() == text(
        "tree/\na.txt  ___A -> ____\ntree/sub\n  b.txt  ___A -> ____\n") + summary(2, 2, 2)

    make(tmp_path / "tree", {"a.txt": v5(A)})
    root = str(tmp_path / "tree")
    r = tool.run(root, tmp_path / "log2.txt")
    assert r.out == console([root + "/", root + "/sub/"])
    assert (tmp_path / "log2.txt").read_bytes() == text(f"{root}\na.txt  ___A -> ____\n") + summary(2, 1, 1)


def test_empty_folders_show_progress_and_log_nothing(tool, tmp_path):
    (tmp_path / "tree" / "empty").mkdir(parents=True)
    make(tmp_path / "tree", {"quiet/clear.txt": v5(R)})
    r = tool.run("tree", "log.txt", cwd=tmp_path)
    assert r.out.startswith(text("Reading Files...\n") + progress("tree/"))
    assert (tmp_path / "log.txt").read_bytes() == summary(total=1)


def test_long_paths_are_cut_and_short_ones_padded_on_the_progress_line(tool, tmp_path):
    deep = "d" * 60 + "/" + "e" * 30
    (tmp_path / "tree" / deep).mkdir(parents=True)
    r = tool.run("tree", "log.txt", cwd=tmp_path)
    line = ("tree/" + deep + "/")[:78]
    assert r.out == console(["tree/", "tree/" + "d" * 60 + "/", line])
    # Cut to 78 characters: the path's end never shows.
    assert r.out.split(b"\r")[3] == b"tree/" + b"d" * 60 + b"/" + b"e" * 12


def test_date_filter_spares_the_day_itself_and_after(tool, tmp_path):
    make(tmp_path / "tree", {
        "before.txt": v5(A), "midnight.txt": v5(A), "evening.txt": v5(A), "later.txt": v5(A),
        "old.txt": v5(A), "future.txt": v5(A), "sub/spared.txt": v5(A | R),
    })
    times = {
        "before.txt": utc(2008, 12, 30, 23, 59, 58), "midnight.txt": utc(2008, 12, 31),
        "evening.txt": utc(2008, 12, 31, 23, 59, 59), "later.txt": utc(2009, 6, 1),
        "old.txt": utc(1970, 1, 1, 0, 0, 1), "future.txt": utc(2200, 1, 1), "sub/spared.txt": utc(2010, 1, 1),
    }
    for rel, when in times.items():
        os.utime(tmp_path / "tree" / rel, (when, when))
    r = tool.run("-D12/31/2008", "tree", "log.txt", cwd=tmp_path)
    assert (r.code, r.err) == (0, b"")
    log = (tmp_path / "log.txt").read_bytes()
    head, _, rest = log.partition(text("tree\n"))
    assert head == text("Exclude reset for files dated on or after 12/31/2008\n")
    body = rest.split(text("\n\n"))[0].split(b"\r\n")
    files = sorted(body[:6])
    assert files == sorted([
        b"before.txt  ___A -> ____", b"midnight.txt  Excluded by Date", b"evening.txt  Excluded by Date",
        b"later.txt  Excluded by Date", b"old.txt  ___A -> ____", b"future.txt  Excluded by Date"])
    # A folder whose archive-set files are all spared still gets its header.
    assert body[6:] == [b"tree/sub", b"  spared.txt  Excluded by Date"]
    assert log.endswith(summary(total=7, arc=7, reset=2, date=5))
    after = attribs(tmp_path / "tree")
    assert after["before.txt"] == v5(0) and after["old.txt"] == v5(0)
    assert after["midnight.txt"] == v5(A) and after["sub/spared.txt"] == v5(A | R)


def test_preview_changes_nothing_and_logs_every_reset(tool, tmp_path):
    make(tmp_path / "tree", {"a.txt": v5(A | S), "sub/b.txt": v3(A), "sub/c.txt": b"0x20"})
    before = attribs(tmp_path / "tree")
    r = tool.run("tree", "-P", "log.txt", cwd=tmp_path)
    assert r.code == 0
    log = (tmp_path / "log.txt").read_bytes()
    assert log.startswith(text("tree\na.txt  __SA -> __S_\ntree/sub\n"))
    assert sorted(log.split(b"\r\n")[3:5]) == [b"  b.txt  ___A -> ____", b"  c.txt  ___A -> ____"]
    assert log.endswith(summary(total=3, arc=3))
    assert attribs(tmp_path / "tree") == before


def test_every_form_is_cleared_in_its_own_form(tool, tmp_path):
    make(tmp_path / "tree", {"v3.txt": v3(A | H), "plain.txt": b"0x21", "nul.txt": b"0x20\0", "v5.txt": v5(A | 0x2000)})
    r = tool.run("tree", "log.txt", cwd=tmp_path)
    assert r.code == 0
    after = attribs(tmp_path / "tree")
    assert after["v3.txt"] == v3(H)
    assert after["plain.txt"] == b"0x1"
    assert after["nul.txt"] == b"0x0\0"
    assert after["v5.txt"] == v5(0x2000)  # the high bits stay


def test_bits_the_walk_does_not_show_are_written_back_as_stored(tool, tmp_path):
    # A folder bit in a file's value is not the file's type: the file is counted, and the bit stays.
    make(tmp_path / "tree", {"odd.txt": v5(A | 0x10), "plain.txt": b"0x30"})
    r = tool.run("tree", "log.txt", cwd=tmp_path)
    assert r.code == 0
    body, _, tail = (tmp_path / "log.txt").read_bytes().partition(b"\r\n\r\n\r\n")
    assert sorted(body.split(b"\r\n")) == [b"odd.txt  ___A -> ____", b"plain.txt  ___A -> ____", b"tree"]
    assert b"\r\n\r\n" + tail == summary(total=2, arc=2, reset=2)
    after = attribs(tmp_path / "tree")
    assert after["odd.txt"] == v5(0x10)
    assert after["plain.txt"] == b"0x10"


@pytest.mark.parametrize("blob", [
    b"", b"garbage", b"\0\0\x06\0\x06\0\0\0" + bytes(16), b"\0\0\x05\0\x04\0\0\0" + bytes(16),
    v5(A)[:-1], b"0x20\0" + bytes(300),
])
def test_values_that_cannot_be_parsed_are_left_exactly_as_found(tool, tmp_path, blob):
    make(tmp_path / "tree", {"odd.txt": blob})
    r = tool.run("tree", "log.txt", cwd=tmp_path)
    assert r.code == 0
    assert (tmp_path / "log.txt").read_bytes() == summary(total=1)
    assert get_attrib(tmp_path / "tree" / "odd.txt") == blob


def test_lfn_attribute_word_is_marked_and_not_counted(tool, tmp_path):
    make(tmp_path / "tree", {"slot": v5(0x0F)})
    r = tool.run("tree", "log.txt", cwd=tmp_path)
    assert r.code == 0
    # The mark has no line end of its own: the summary's line ends follow it.
    assert (tmp_path / "log.txt").read_bytes() == b"LFNATTR: " + summary(total=0)


def test_the_log_inside_the_tree_is_a_file_like_any_other(tool, tmp_path):
    make(tmp_path / "tree", {"a.txt": v5(A)})
    r = tool.run("tree", "tree/log.txt", cwd=tmp_path)
    assert r.code == 0
    assert (tmp_path / "tree" / "log.txt").read_bytes() == text("tree\na.txt  ___A -> ____\n") + summary(2, 1, 1)


def test_links_fifos_sockets_and_devices_are_never_followed_or_opened(tool, tmp_path):
    outside = tmp_path / "outside"
    make(outside, {"secret.txt": v5(A), "dir/inner.txt": v5(A)})
    tree = tmp_path / "tree"
    make(tree, {"real.txt": v5(A)})
    (tree / "to-file").symlink_to(outside / "secret.txt")
    (tree / "to-dir").symlink_to(outside / "dir")
    (tree / "loop").symlink_to(tree)
    (tree / "dangling").symlink_to(tmp_path / "nothing")
    os.mkfifo(tree / "fifo")
    sock = socket.socket(socket.AF_UNIX)
    sock.bind(str(tree / "sock"))
    if os.geteuid() == 0:
        os.mknod(tree / "null", 0o600 | 0o020000, os.makedev(1, 3))
    r = tool.run("tree", "log.txt", cwd=tmp_path, timeout=20)
    sock.close()
    assert r.code == 0
    assert r.out == console(["tree/"])
    total = len(os.listdir(tree))
    assert (tmp_path / "log.txt").read_bytes() == text("tree\nreal.txt  ___A -> ____\n") + summary(total, 1, 1)
    assert attribs(outside) == {"secret.txt": v5(A), "dir": None, "dir/inner.txt": v5(A)}


def test_failed_changes_on_a_read_only_file_system_are_logged_and_counted(tool, tmp_path):
    if os.geteuid() != 0:
        pytest.skip("mounting a file system needs root")
    mnt = tmp_path / "ro"
    mnt.mkdir()
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", str(mnt)], check=True)
    try:
        make(mnt, {"a.txt": v5(A | R), "b.txt": v5(H)})
        subprocess.run(["mount", "-o", "remount,ro", str(mnt)], check=True)
        r = tool.run(mnt, tmp_path / "log.txt")
        assert (r.code, r.err) == (0, b"")
        assert (tmp_path / "log.txt").read_bytes() == text(
            f"{mnt}\n"
            f"__!__!__!__!__!__!__!__!__!__!__!__! Error setting attributes for file {mnt}/a.txt\n"
            "a.txt  R__A -> R___\n") + summary(total=2, arc=1, errors=1)
        assert get_attrib(mnt / "a.txt") == v5(A | R)
    finally:
        subprocess.run(["umount", str(mnt)], check=True)


def test_files_the_user_may_not_change_and_folders_it_may_not_read(tool, tmp_path, as_nobody):
    tree = tmp_path / "tree"
    make(tree, {"theirs.txt": v5(A), "mine.txt": v5(A), "sub/deeper/x.txt": v5(A), "closed/hidden.txt": v5(A)})
    for p in [tmp_path, tree, tree / "sub", tree / "sub" / "deeper", tree / "sub" / "deeper" / "x.txt", tree / "mine.txt"]:
        os.chown(p, 65534, 65534)
    os.chmod(tree / "closed", 0o700)
    os.chmod(tree / "theirs.txt", 0o644)
    r = as_nobody("tree", "log.txt")
    assert (r.code, r.err) == (0, b"")
    assert r.out == console(folders(tree, "tree"))
    log = (tmp_path / "log.txt").read_bytes()
    assert b"hidden.txt" not in log
    assert text("tree/sub/deeper\n    x.txt  ___A -> ____\n") in log
    assert text("__!__!__!__!__!__!__!__!__!__!__!__! Error setting attributes for file tree/theirs.txt\n"
                "theirs.txt  ___A -> ____\n") in log
    assert log.endswith(summary(total=3, arc=3, reset=2, errors=1))
    assert get_attrib(tree / "closed" / "hidden.txt") == v5(A)
