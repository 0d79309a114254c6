"""What the Linux system itself judges: standard output that is a file, a full
device or a closed pipe, names too long for it, and locales."""

import dataclasses
import errno
import os
import re
import shutil
import subprocess

import pytest

from dosattrib import get_attrib, set_attrib, v5
from tamberlix import console, help_text, report, text

PLATFORMS = ("linux",)


@pytest.mark.parametrize("locale_name", ["C", "POSIX", "C.UTF-8"])
def test_help_in_a_locale_without_date_settings(tool, tmp_path, locale_name):
    tool.env["LC_ALL"] = locale_name
    assert tool.run(cwd=tmp_path).out == help_text(tool, "m/d/yy")


@pytest.mark.parametrize("locale_name, pattern, date", [
    ("de_DE", "dd.MM.yyyy", "31.12.2008"), ("sv_SE", "yyyy-MM-dd", "2008-12-31"),
    ("en_US", "MM/dd/yyyy", "12/31/2008"), ("en_GB", "dd/MM/yy", "31/12/08"),
])
def test_the_locales_short_date_pattern_and_separator(tool, tmp_path, locale_name, pattern, date):
    if not shutil.which("localedef"):
        pytest.fail("localedef is missing: run tests/setup.sh")
    locales = tmp_path / "locales"
    locales.mkdir()
    subprocess.run(["localedef", "-i", locale_name, "-f", "UTF-8", str(locales / f"{locale_name}.UTF-8")],
                   check=True, capture_output=True)
    tool.env.update(LOCPATH=str(locales), LC_ALL=f"{locale_name}.UTF-8")
    assert tool.run(cwd=tmp_path).out == help_text(tool, pattern)
    (tmp_path / "tree").mkdir()
    r = tool.run("-D" + date, "tree", "log.txt", cwd=tmp_path)
    assert (r.code, r.err) == (0, b"")
    assert (tmp_path / "log.txt").read_bytes().startswith(text(f"Exclude reset for files dated on or after {date}\n"))
    # Month first is no longer how this locale reads a date (unless it is its own order).
    if not pattern.startswith("MM"):
        assert tool.run("-D12/31/2008", "tree", "log.txt", cwd=tmp_path).code == 1


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


@pytest.mark.parametrize("closed, err", [
    ((1,), None),
    ((1, 2), b""),
    ((0, 1), None),
])
def test_a_standard_stream_closed_at_start_ends_the_run_before_anything_changes(tool, tmp_path, closed, err):
    tree = tmp_path / "tree"
    tree.mkdir()
    (tree / "a.txt").write_text("a")
    set_attrib(tree / "a.txt", v5(0x20))

    def close():
        for fd in closed:
            os.close(fd)

    for args in [("tree", "log.txt"), ("-D1/1/2000", "tree", "log.txt")]:
        r = tool.run(*args, cwd=tmp_path, stdout=None, preexec_fn=close)
        assert r.code == 1
        # With no standard error the report is lost; it never lands in the log.
        assert r.err == (report(tool, "EInOutError", "I/O error 105") if err is None else err)
        assert (tmp_path / "log.txt").read_bytes() == b""
        assert get_attrib(tree / "a.txt") == v5(0x20)


def traced(tool, tmp_path, calls, *args, stdout=subprocess.PIPE):
    """Runs the program under strace, tracing `calls`; returns what strace wrote."""
    trace = tmp_path / "trace.txt"
    strace = ["strace", "-qq", "-e", f"trace={calls}", "-e", "signal=none", "-o", str(trace)]
    tool.env["ASAN_OPTIONS"] = "detect_leaks=0"  # the leak checker cannot run under ptrace
    r = dataclasses.replace(tool, command=strace + tool.command).run(*args, cwd=tmp_path, stdout=stdout)
    assert r.code == 0
    return trace.read_text()


def writes(tool, tmp_path, stdout, fd=1):
    """The sizes of the program's writes to a descriptor, as strace sees them."""
    trace = traced(tool, tmp_path, "write", "tree", "log.txt", stdout=stdout)
    return [int(m) for m in re.findall(rf"^write\({fd}, .*\)\s+= (\d+)$", trace, re.M)]


def test_standard_output_goes_out_in_128_byte_pieces_when_redirected(tool, tmp_path):
    for i in range(5):
        (tmp_path / "tree" / f"folder{i}").mkdir(parents=True)
    with open(tmp_path / "out.txt", "wb") as out:
        sizes = writes(tool, tmp_path, out)
    total = (tmp_path / "out.txt").stat().st_size
    assert sizes == [128] * (total // 128) + ([total % 128] if total % 128 else [])


def test_standard_output_goes_out_at_every_statement_on_a_character_device(tool, tmp_path):
    (tmp_path / "tree" / "sub").mkdir(parents=True)
    with open("/dev/null", "wb") as null:
        sizes = writes(tool, tmp_path, null)
    # "Reading Files...", two progress lines, the line end, "Done."
    assert sizes == [18, 79, 79, 2, 7]


def test_the_log_goes_out_at_each_flush_and_each_full_buffer(tool, tmp_path):
    (tmp_path / "tree").mkdir()
    for name in ["a.txt", "b.txt"]:
        (tmp_path / "tree" / name).write_text(name)
        set_attrib(tmp_path / "tree" / name, v5(0x20))
    with open("/dev/null", "wb") as null:
        sizes = writes(tool, tmp_path, null, fd=3)
    # The header and the first file line, the second file line, then the summary in 128-byte pieces.
    assert sizes == [len(b"tree\r\na.txt  ___A -> ____\r\n"), len(b"b.txt  ___A -> ____\r\n"), 128, 37]


def test_times_are_read_only_for_the_date_filter_and_only_of_archive_set_files(tool, tmp_path):
    tree = tmp_path / "tree"
    (tree / "sub").mkdir(parents=True)
    for i in range(6):
        (tree / "sub" / f"f{i}").write_text("x")
        if i % 2:
            set_attrib(tree / "sub" / f"f{i}", v5(0x20))
    for args, expected in [(["-P"], 0), (["-P", "-D1/1/2000"], 3)]:
        trace = traced(tool, tmp_path, "%stat,%lstat,%fstat", *args, "tree", "log.txt")
        calls = [line for line in trace.splitlines() if '"f' in line]
        assert len(calls) == expected, calls


FAIL_WRITE = r"""
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
/* Fails writes to the file whose path ends in FAIL_WRITE_NAME with the errno
   FAIL_WRITE_ERRNO, FAIL_WRITE_TIMES times (every time when unset). */
ssize_t write(int fd, const void *data, size_t size) {
  static ssize_t (*real)(int, const void *, size_t);
  static long left = -1;
  if (!real) {
    real = (ssize_t (*)(int, const void *, size_t))dlsym(RTLD_NEXT, "write");
    const char *times = getenv("FAIL_WRITE_TIMES");
    if (times) left = atol(times);
  }
  const char *name = getenv("FAIL_WRITE_NAME");
  char link[64], target[4096];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t n = readlink(link, target, sizeof target - 1);
  if (name && n > 0 && left != 0) {
    target[n] = 0;
    size_t len = strlen(name);
    if ((size_t)n >= len && strcmp(target + n - len, name) == 0) {
      if (left > 0) --left;
      errno = atoi(getenv("FAIL_WRITE_ERRNO"));
      return -1;
    }
  }
  return real(fd, data, size);
}
"""


@pytest.fixture
def fail_write(tool, tmp_path):
    source, shim = tmp_path / "failwrite.c", tmp_path / "failwrite.so"
    source.write_text(FAIL_WRITE)
    subprocess.run(["cc", "-shared", "-fPIC", "-o", str(shim), str(source), "-ldl"], check=True)
    tool.env.update(LD_PRELOAD=str(shim), ASAN_OPTIONS="verify_asan_link_order=0")
    (tmp_path / "tree").mkdir()
    return tool


# Each errno a write to the log or to standard output can meet, and what the report says of it.
WRITE_ERRORS = [
    (errno.ENOSPC, "Disk full"), (errno.EDQUOT, "Disk full"), (errno.EACCES, "File access denied"),
    (errno.EPERM, "File access denied"), (errno.EPIPE, "I/O error 105"), (errno.EBADF, "I/O error 105"),
    (errno.EIO, "I/O error 5"), (errno.ENETDOWN, "I/O error 100"), (errno.ENETUNREACH, "I/O error 101"),
    (errno.EFBIG, "I/O error 27"), (errno.EINVAL, "I/O error 22"), (errno.ENXIO, "I/O error 6"),
    (errno.ECONNRESET, "I/O error 104"), (errno.ESTALE, "I/O error 116"), (errno.EFAULT, "I/O error 14"),
    (errno.EDESTADDRREQ, "I/O error 89"), (errno.ENOTCONN, "I/O error 107"), (errno.ETIMEDOUT, "I/O error 110"),
]


@pytest.mark.parametrize("target", ["log.txt", "out.txt"])
def test_each_write_error_reports_its_own_message(fail_write, tmp_path, target):
    for error, message in WRITE_ERRORS:
        fail_write.env.update(FAIL_WRITE_NAME=target, FAIL_WRITE_ERRNO=str(error))
        with open(tmp_path / "out.txt", "wb") as out:
            r = fail_write.run("tree", "log.txt", cwd=tmp_path, stdout=out)
        assert (r.code, r.err) == (1, report(fail_write, "EInOutError", message)), errno.errorcode[error]


def test_a_standard_output_that_is_not_ready_is_waited_for(fail_write, tmp_path):
    fail_write.env.update(FAIL_WRITE_NAME="out.txt", FAIL_WRITE_ERRNO=str(errno.EAGAIN), FAIL_WRITE_TIMES="3")
    with open(tmp_path / "out.txt", "wb") as out:
        r = fail_write.run("tree", "log.txt", cwd=tmp_path, stdout=out)
    assert (r.code, r.err) == (0, b"")
    assert (tmp_path / "out.txt").read_bytes() == console(["tree/"])
