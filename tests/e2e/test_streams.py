"""What the Linux system itself judges: standard output that is a file, a full
device or a closed pipe, names too long for it, and locales."""

import os

import pytest

from tamberlix import console, help_text, report

PLATFORMS = ("linux",)


@pytest.mark.parametrize("locale_name", ["C", "POSIX"])
def test_help_in_a_locale_without_date_settings(tool, tmp_path, locale_name):
    tool.env["LC_ALL"] = locale_name
    assert tool.run(cwd=tmp_path).out == help_text(tool, "m/d/yy")


def test_standard_output_to_a_file_keeps_the_carriage_returns(tool, tmp_path):
    (tmp_path / "tree" / "sub").mkdir(parents=True)
    with open(tmp_path / "out.txt", "wb") as out:
        r = tool.run("tree", "log.txt", cwd=tmp_path, stdout=out)
    assert r.code == 0
    assert (tmp_path / "out.txt").read_bytes() == console(["tree/", "tree/sub/"])


def test_standard_output_on_a_full_device(tool, tmp_path):
    (tmp_path / "tree").mkdir()
    with open("/dev/full", "wb") as full:
        r = tool.run("tree", "log.txt", cwd=tmp_path, stdout=full)
    assert (r.code, r.err) == (1, report(tool, "EInOutError", "Disk full"))


def test_standard_output_into_a_closed_pipe(tool, tmp_path):
    (tmp_path / "tree").mkdir()
    read_end, write_end = os.pipe()
    os.close(read_end)
    with os.fdopen(write_end, "wb") as pipe:
        r = tool.run("tree", "log.txt", cwd=tmp_path, stdout=pipe)
    assert (r.code, r.err) == (1, report(tool, "EInOutError", "I/O error 105"))


def test_log_name_within_the_limit_but_too_long_for_the_system(tool, tmp_path):
    # Longer than a Linux name may be, but within the limit: the system's own error.
    (tmp_path / "tree").mkdir()
    r = tool.run("tree", "x" * 259, cwd=tmp_path)
    assert r.err == report(tool, "EInOutError", "Invalid filename")


def test_no_standard_output_at_all(tool, tmp_path):
    (tmp_path / "tree").mkdir()
    r = tool.run("tree", "log.txt", cwd=tmp_path, stdout=None, preexec_fn=lambda: os.close(1))
    assert (r.code, r.err) == (1, report(tool, "EInOutError", "I/O error 105"))
