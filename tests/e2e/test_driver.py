"""The run driver end to end: help, settings, the log's creation and the failures."""

import os

import pytest

from dosattrib import get_attrib, set_attrib, v5
from tamberlix import console, help_text, report, summary, text


@pytest.mark.parametrize("args", [
    [], ["-P"], ["-Dnonsense"], ["-h", "."], ["-H", "."], ["-?", "."], ["-Help", "."],
    ["/nonexistent", "-h"], ["-Dnonsense", "-?"],
])
def test_help_stops_before_anything_else(tool, tmp_path, args):
    r = tool.run(*args, cwd=tmp_path)
    assert (r.code, r.out, r.err) == (0, help_text(tool), b"")
    assert os.listdir(tmp_path) == []


def test_missing_root(tool, tmp_path):
    (tmp_path / "file").write_text("x")
    for root in ["nothing-here", "file"]:
        r = tool.run(root, cwd=tmp_path)
        assert (r.code, r.out, r.err) == (1, text("Root Path does not exist.\n"), b"")
    assert sorted(os.listdir(tmp_path)) == ["file"]


@pytest.mark.parametrize("arg, date_text", [
    ("-Dnonsense", "nonsense"), ("-D", ""), ("-D12-31-2008", "12-31-2008"), ("-D12/31/2008x", "12/31/2008x"),
    ("-D2/30/2008", "2/30/2008"), ("-D1/1/12008", "1/1/12008"), ("-d[12/31", "12/31 nothing-her"),
])
def test_unreadable_date_is_reported_before_the_root(tool, tmp_path, arg, date_text):
    r = tool.run(arg, "nothing-here", cwd=tmp_path)
    assert (r.code, r.out) == (1, b"")
    assert r.err == report(tool, "EConvertError", f"'{date_text}' is not a valid date")
    assert os.listdir(tmp_path) == []


def test_date_line_on_console_and_log(tool, tmp_path):
    (tmp_path / "tree").mkdir()
    r = tool.run("-D 12 / 31 / 2008 ", "tree", "log.txt", cwd=tmp_path)
    assert (r.code, r.err) == (0, b"")
    assert r.out == console([tool.folder("tree")], date_text=" 12 / 31 / 2008 ")
    assert (tmp_path / "log.txt").read_bytes() == \
        text("Exclude reset for files dated on or after  12 / 31 / 2008 \n") + summary()


def test_default_log_name_and_truncation(tool, tmp_path):
    (tmp_path / "tree").mkdir()
    (tmp_path / "TamberlixLog.txt").write_bytes(b"old text " * 100)
    r = tool.run("tree", cwd=tmp_path)
    assert (r.code, r.out, r.err) == (0, console([tool.folder("tree")]), b"")
    assert (tmp_path / "TamberlixLog.txt").read_bytes() == summary()


def test_second_positional_names_the_log_and_the_rest_are_ignored(tool, tmp_path):
    (tmp_path / "tree").mkdir()
    r = tool.run("tree", "named.log", "third", "fourth", "-X", cwd=tmp_path)
    assert r.code == 0
    assert sorted(os.listdir(tmp_path)) == ["named.log", "tree"]
    assert (tmp_path / "named.log").read_bytes() == summary()


@pytest.mark.parametrize("log_name, message", [
    ("missing-folder/log.txt", "Invalid filename"),
    ("tree", "File access denied"),
    ("x" * 260, "Invalid filename"),
])
def test_log_that_cannot_be_created(tool, tmp_path, log_name, message):
    (tmp_path / "tree").mkdir()
    r = tool.run("tree", log_name, cwd=tmp_path)
    assert (r.code, r.out) == (1, b"")
    assert r.err == report(tool, "EInOutError", message)


def test_switch_letters_nobody_asks_for_are_ignored(tool, tmp_path):
    (tmp_path / "tree").mkdir()
    # On Linux a two-dash switch is a long option, and an unknown one stops the run (below).
    unknown = ["-X", "-", "--d"] if tool.windows else ["-X", "-"]
    r = tool.run(*unknown, "tree", "log.txt", cwd=tmp_path)
    assert (r.code, r.out) == (0, console([tool.folder("tree")]))


@pytest.mark.parametrize("args, code, out", [
    (["--help"], 0, "help"), (["tree", "--help", "log.txt"], 0, "help"),
    (["--version"], 0, "version"), (["-P", "tree", "--version"], 0, "version"),
    (["tree", "--preview", "log.txt"], 1, "help"), (["--", "tree"], 1, "help"),
    (["tree", "--help", "--bogus"], 1, "help"), (["--Help", "tree"], 1, "help"),
])
def test_two_dash_switches_never_pass_silently_on_linux(tool, tmp_path, args, code, out):
    if tool.windows:
        pytest.skip("Windows keeps its own switch rules")
    (tmp_path / "tree").mkdir()
    (tmp_path / "tree" / "a.txt").write_text("a")
    set_attrib(tmp_path / "tree" / "a.txt", v5(0x20))
    r = tool.run(*args, cwd=tmp_path)
    expected = help_text(tool) if out == "help" else text("Tamberlix V2.04 9/8/2008\n")
    assert (r.code, r.out, r.err) == (code, expected, b"")
    assert sorted(os.listdir(tmp_path)) == ["tree"]
    assert get_attrib(tmp_path / "tree" / "a.txt") == v5(0x20)
