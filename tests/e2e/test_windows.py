"""The Windows program under Wine, on real trees.

What Wine does decides the expectations: every regular file reports the
archive bit and clearing it is accepted but not kept; read-only comes from the
Unix write bits; hidden and system live in user.DOSATTRIB as a hex text. So a
sweep logs every file as reset, and a second sweep logs them all again."""

import calendar
import dataclasses
import os
import pathlib
import shutil
import subprocess

from dosattrib import get_attrib, set_attrib
from tamberlix import console, log_blocks, report, summary, text

PLATFORMS = ("windows",)


def blocks(log):
    """Wine's order of entries is its own, so lines within a folder are compared as sets."""
    return log_blocks(log, lambda line: line.startswith(b"TREE"))


def make_tree(tmp_path):
    tree = tmp_path / "tree"
    (tree / "sub").mkdir(parents=True)
    for name in ["a.txt", "ReadOnly.txt", "Hidden.txt", "System.TXT", "sub/Deep.TXT"]:
        (tree / name).write_text(name)
    os.chmod(tree / "ReadOnly.txt", 0o444)
    set_attrib(tree / "Hidden.txt", b"0x2")
    set_attrib(tree / "System.TXT", b"0x6")
    return tree


def expected(root_header):
    return {
        root_header: {b"a.txt  ___A -> ____", b"ReadOnly.txt  R__A -> R___", b"Hidden.txt  _H_A -> _H__",
                      b"System.TXT  _HSA -> _HS_"},
        b"TREE\\sub": {b"  Deep.TXT  ___A -> ____"},
    }


def test_a_sweep_logs_every_file_with_upper_cased_headers_and_names_in_their_own_case(tool, tmp_path):
    tree = make_tree(tmp_path)
    for attempt in ["first", "second"]:
        r = tool.run("tree", f"{attempt}.log", cwd=tmp_path)
        assert (r.code, r.err) == (0, b""), attempt
        assert r.out == console(["TREE\\", "TREE\\sub\\"])
        assert blocks((tmp_path / f"{attempt}.log").read_bytes()) == (expected(b"TREE"), summary(5, 5, 5))
    # Wine keeps what it can: read-only, hidden and system stay as they were.
    assert os.stat(tree / "ReadOnly.txt").st_mode & 0o777 == 0o444
    assert get_attrib(tree / "Hidden.txt") == b"0x2"
    assert get_attrib(tree / "System.TXT") == b"0x6"


def test_preview_and_a_root_with_its_trailing_backslash(tool, tmp_path):
    make_tree(tmp_path)
    r = tool.run("/P", "tree\\", "log.txt", cwd=tmp_path)
    assert r.code == 0
    assert r.out == console(["TREE\\", "TREE\\sub\\"])
    assert blocks((tmp_path / "log.txt").read_bytes()) == (expected(b"TREE\\"), summary(5, 5, 0))


def test_date_filter(tool, tmp_path):
    tree = tmp_path / "tree"
    tree.mkdir()
    for name, when in {"before.txt": (2008, 12, 30, 23, 59, 58), "day.txt": (2008, 12, 31, 0, 0, 0),
                       "after.txt": (2010, 5, 5, 12, 0, 0)}.items():
        (tree / name).write_text(name)
        stamp = calendar.timegm(when)
        os.utime(tree / name, (stamp, stamp))
    r = tool.run("/D12/31/2008", "tree", "log.txt", cwd=tmp_path)
    assert (r.code, r.err) == (0, b"")
    log = (tmp_path / "log.txt").read_bytes()
    assert log.startswith(text("Exclude reset for files dated on or after 12/31/2008\nTREE\n"))
    assert set(log.split(b"\r\n")[2:5]) == {
        b"before.txt  ___A -> ____", b"day.txt  Excluded by Date", b"after.txt  Excluded by Date"}
    assert log.endswith(summary(3, 3, 1, 2))


def test_names_beyond_the_ansi_code_page_are_reached_through_the_wide_calls(tool, tmp_path):
    folder = tmp_path / "tree" / "\u03a9mega"
    folder.mkdir(parents=True)
    (folder / "\u00e4.txt").write_text("a umlaut")
    (folder / "\u0416.txt").write_text("zhe")
    r = tool.run("tree", "log.txt", cwd=tmp_path)
    assert (r.code, r.err) == (0, b"")
    log = (tmp_path / "log.txt").read_bytes()
    # The log shows the names in the ANSI code page (best fit, else "?"); nothing failed.
    header, *lines = log.partition(b"\r\n\r\n\r\n")[0].split(b"\r\n")
    assert header == b"TREE\\Omega"
    assert sorted(lines) == [b"  ?.txt  ___A -> ____", b"  \xe4.txt  ___A -> ____"]
    assert log.endswith(summary(2, 2, 2))


def test_the_system_files_at_the_drive_root_are_spared_in_any_case(tool, tmp_path):
    drive_c = pathlib.Path(tool.env["WINEPREFIX"]) / "drive_c"
    made = [drive_c / "pagefile.sys", drive_c / "HiberFil.SYS", drive_c / "tamberlix-sub" / "pagefile.sys"]
    made[2].parent.mkdir(exist_ok=True)
    try:
        for path in made:
            path.write_text("x")
        r = tool.run("/P", "c:\\", "log.txt", cwd=tmp_path, timeout=300)
        assert (r.code, r.err) == (0, b"")
        lines = (tmp_path / "log.txt").read_bytes().split(b"\r\n")
        assert b"Excluded by name: C:\\pagefile.sys" in lines
        assert b"Excluded by name: C:\\HiberFil.SYS" in lines
        at = lines.index(b"C:\\tamberlix-sub")
        assert lines[at + 1] == b"  pagefile.sys  ___A -> ____"
        assert b"Files skipped for name: 2" in lines
    finally:
        shutil.rmtree(made[2].parent)
        for path in made[:2]:
            path.unlink()


def test_a_link_to_a_folder_outside_is_neither_entered_nor_changed(tool, tmp_path):
    # Wine shows a Unix symbolic link as a reparse point, as Windows shows its own.
    (tmp_path / "outside").mkdir()
    (tmp_path / "outside" / "secret.txt").write_text("x")
    (tmp_path / "tree").mkdir()
    (tmp_path / "tree" / "link").symlink_to(tmp_path / "outside")
    r = tool.run("tree", "log.txt", cwd=tmp_path)
    assert (r.code, r.out) == (0, console(["TREE\\"]))
    assert (tmp_path / "log.txt").read_bytes() == summary(total=1)


def test_paths_longer_than_max_path(tool, tmp_path):
    # 60 levels of "folder" make a path of over 400 characters, past MAX_PATH.
    deep = tmp_path / "tree" / "/".join(["folder"] * 60)
    deep.mkdir(parents=True)
    (deep / "bottom.txt").write_text("x")
    r = tool.run("tree", "log.txt", cwd=tmp_path)
    assert (r.code, r.err) == (0, b"")
    label = "TREE" + "\\folder" * 60
    assert (tmp_path / "log.txt").read_bytes() == \
        text(f"{label}\n" + "  " * 60 + "bottom.txt  ___A -> ____\n") + summary(1, 1, 1)


def test_a_device_namespace_root_is_walked_like_its_plain_form(tool, tmp_path):
    make_tree(tmp_path)
    root = "\\\\.\\Z:" + str(tmp_path / "tree").replace("/", "\\")
    shown = root.upper()
    r = tool.run("/P", root, "log.txt", cwd=tmp_path)
    assert (r.code, r.err) == (0, b"")
    assert r.out == console([shown + "\\", shown + "\\sub\\"])
    log = (tmp_path / "log.txt").read_bytes()
    body, _, tail = log.partition(b"\r\n\r\n\r\n")
    wanted = expected(b"TREE")
    lines = body.split(b"\r\n")
    assert lines[0] == shown.encode() and lines.index((shown + "\\sub").encode()) == 5
    assert set(lines[1:5]) == wanted[b"TREE"] and lines[6:] == sorted(wanted[b"TREE\\sub"])
    assert b"\r\n\r\n" + tail == summary(5, 5, 0)


LAUNCH = r"""
#include <windows.h>
/* Starts the command line given as its one argument with no standard output handle at all. */
int wmain(int argc, wchar_t **argv) {
  if (argc != 2) return 2;
  STARTUPINFOW si = {sizeof si};
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = NULL;
  si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION pi;
  if (!CreateProcessW(NULL, argv[1], NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi)) return 3;
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 3;
  GetExitCodeProcess(pi.hProcess, &code);
  return (int)code;
}
"""


def test_no_standard_output_handle_ends_the_run_before_anything_changes(tool, tmp_path):
    source, launcher = tmp_path / "launch.c", tmp_path / "launch.exe"
    source.write_text(LAUNCH)
    subprocess.run(["x86_64-w64-mingw32-gcc", "-municode", "-o", str(launcher), str(source)], check=True)
    tree = make_tree(tmp_path)
    program = "Z:" + tool.command[-1].replace("/", "\\")
    without_output = dataclasses.replace(tool, command=tool.command[:-1] + [str(launcher)])
    for args in ["tree log.txt", "/D1/1/2000 tree log.txt"]:
        r = without_output.run(f'"{program}" {args}', cwd=tmp_path)
        assert (r.code, r.err) == (1, report(tool, "EInOutError", "I/O error 105")), args
        assert (tmp_path / "log.txt").read_bytes() == b""
    assert [get_attrib(tree / n) for n in ["a.txt", "Hidden.txt", "System.TXT"]] == [None, b"0x2", b"0x6"]
