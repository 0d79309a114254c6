"""Faults, hostile trees and bad input: the run keeps its promises."""

import os
import random
import re
import resource
import signal
import subprocess
import time

import pytest

from dosattrib import NAME, get_attrib, set_attrib, v5
from tamberlix import console, progress, report, summary, text

PLATFORMS = ("linux",)
A = 0x20


@pytest.fixture
def many_folders(tmp_path):
    """A tree whose progress lines overfill a pipe, so that a run blocks on a reader that never reads."""
    tree = tmp_path / "tree"
    for i in range(1500):
        folder = tree / f"folder{i:04}"
        folder.mkdir(parents=True)
        (folder / "file.txt").write_text("x")
        set_attrib(folder / "file.txt", v5(A))
    return tree


def blocked_run(tool, tmp_path, *args):
    """Starts a run with standard output into a pipe nobody reads, and waits until it blocks."""
    proc = subprocess.Popen(tool.command + list(args), cwd=tmp_path, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, env=dict(os.environ, LC_ALL="C"))
    log, size = tmp_path / "log.txt", -1
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        time.sleep(0.3)
        now = log.stat().st_size if log.exists() else -1
        if now == size and now > 0:
            return proc
        size = now
    proc.kill()
    pytest.fail("the run never blocked")


def test_a_log_on_a_full_file_system_holds_what_was_handed_over(tool, tmp_path, many_folders):
    if os.geteuid() != 0:
        pytest.skip("mounting a file system needs root")
    full = tool.run("-P", "tree", "full.log", cwd=tmp_path)
    assert full.code == 0
    expected = (tmp_path / "full.log").read_bytes()
    small = tmp_path / "small"
    small.mkdir()
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=4k", "tmpfs", str(small)], check=True)
    try:
        r = tool.run("-P", "tree", "small/log.txt", cwd=tmp_path)
        assert (r.code, r.err) == (1, report(tool, "EInOutError", "Disk full"))
        assert r.out.startswith(text("Reading Files...\n")) and not r.out.endswith(text("Done.\n"))
        kept = (small / "log.txt").read_bytes()
        assert kept == expected[:4096]
    finally:
        subprocess.run(["umount", str(small)], check=True)


def test_a_run_stopped_midway_leaves_a_log_that_ends_on_a_whole_line(tool, tmp_path, many_folders):
    assert tool.run("-P", "tree", "full.log", cwd=tmp_path, stdout=subprocess.DEVNULL).code == 0
    expected = (tmp_path / "full.log").read_bytes()
    proc = blocked_run(tool, tmp_path, "-P", "tree", "log.txt")
    proc.kill()
    proc.wait()
    kept = (tmp_path / "log.txt").read_bytes()
    assert kept.endswith(b"  ___A -> ____\r\n") and expected.startswith(kept)
    assert len(kept) < len(expected)


def test_a_processor_fault_ends_with_the_report_and_exit_code_1(tool, tmp_path, many_folders):
    proc = blocked_run(tool, tmp_path, "-P", "tree", "log.txt")
    proc.send_signal(signal.SIGSEGV)
    out, err = proc.communicate(timeout=60)
    assert proc.returncode == 1
    assert re.fullmatch(
        rb"Exception EAccessViolation in module Tamberlix at [0-9A-F]{8}\.\r\n"
        rb"Access violation at address [0-9A-F]{8}( in module 'Tamberlix')?\. (Read|Write) of address [0-9A-F]{8}\."
        rb"\r\n\r\n", err), err
    assert out.startswith(text("Reading Files...\n"))


def make_deep(root, levels, name):
    """A chain of folders deeper than any path the system takes whole, made relative to each folder."""
    fd = os.open(root, os.O_RDONLY | os.O_DIRECTORY)
    for _ in range(levels):
        os.mkdir(name, dir_fd=fd)
        inner = os.open(name, os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
        os.close(fd)
        fd = inner
    file = os.open("bottom.txt", os.O_WRONLY | os.O_CREAT, dir_fd=fd)
    os.setxattr(file, NAME, v5(A))
    return fd, file


@pytest.fixture
def deep_tree(tmp_path):
    (tmp_path / "tree").mkdir()
    yield tmp_path / "tree"
    # Deeper than Python's own removal (and pytest's cleanup) can go; rm walks it folder by folder.
    subprocess.run(["rm", "-rf", str(tmp_path / "tree")], check=True)


def test_a_tree_deeper_than_the_longest_path(tool, tmp_path, deep_tree):
    levels, name = 1200, "folder"
    folder_fd, file_fd = make_deep(deep_tree, levels, name)

    def few_descriptors():
        # Fewer open files than levels, as many systems allow by default; the hard limit stays.
        hard = resource.getrlimit(resource.RLIMIT_NOFILE)[1]
        resource.setrlimit(resource.RLIMIT_NOFILE, (256, hard))

    r = tool.run("tree", "log.txt", cwd=tmp_path, timeout=300, preexec_fn=few_descriptors)
    assert (r.code, r.err) == (0, b"")
    label = "tree" + f"/{name}" * levels
    assert text(f"{label}\n" + "  " * levels + "bottom.txt  ___A -> ____\n") + summary(1, 1, 1) == \
        (tmp_path / "log.txt").read_bytes()
    assert os.getxattr(file_fd, NAME) == v5(0)
    os.close(file_fd)
    os.close(folder_fd)

    def too_few_descriptors():
        resource.setrlimit(resource.RLIMIT_NOFILE, (256, 256))

    # Where even the hard limit is below the depth, the run says so instead of passing folders by.
    tool.env["ASAN_OPTIONS"] = "detect_leaks=0"  # the leak checker needs descriptors of its own
    r = tool.run("tree", "log.txt", cwd=tmp_path, timeout=300, preexec_fn=too_few_descriptors)
    assert (r.code, r.err) == (1, report(tool, "EInOutError", "Too many open files"))


def test_a_folder_of_a_hundred_thousand_entries(tool, tmp_path):
    tree = tmp_path / "tree"
    tree.mkdir()
    for i in range(100_000):
        fd = os.open(tree / f"f{i}", os.O_WRONLY | os.O_CREAT)
        if i % 1000 == 0:
            os.setxattr(fd, NAME, v5(A))
        os.close(fd)
    r = tool.run("tree", "log.txt", cwd=tmp_path, timeout=300)
    assert (r.code, r.out) == (0, console(["tree/"]))
    log = (tmp_path / "log.txt").read_bytes()
    assert log.endswith(summary(100_000, 100, 100))
    assert log.count(b"  ___A -> ____\r\n") == 100


def test_names_are_logged_byte_for_byte(tool, tmp_path):
    tree = tmp_path / "tree"
    tree.mkdir()
    names = [b"line\nfeed", b"carriage\rreturn", b"not utf-8 \xff\xfe\x80", b"n" * 255, b" lead and trail ",
             b"quote\"and'apostrophe", b"back\\slash"]
    for n in names:
        path = os.fsencode(tree) + b"/" + n
        open(path, "wb").close()
        set_attrib(path, v5(A))
    r = tool.run("tree", "log.txt", cwd=tmp_path)
    assert r.code == 0
    lines = (tmp_path / "log.txt").read_bytes().split(b"\r\n\r\n\r\n")[0]
    assert lines.startswith(b"tree\r\n")
    body = lines[len(b"tree\r\n"):] + b"\r\n"
    for n in names:
        assert n + b"  ___A -> ____\r\n" in body, n
    assert len(body) == sum(len(n) + len(b"  ___A -> ____\r\n") for n in names)
    for n in names:
        assert get_attrib(os.fsencode(tree) + b"/" + n) == v5(0)


def test_random_command_lines_end_with_0_or_1_and_at_most_one_report(tool, tmp_path):
    (tmp_path / "tree" / "sub").mkdir(parents=True)
    (tmp_path / "tree" / "sub" / "f.txt").write_text("x")
    rng = random.Random(20081231)
    pieces = ["-P", "-p", "-D", "-d", "-H", "-?", "-X", "-", "--", "tree", "tree/", "tree/sub", "missing",
              "log.txt", "sub/log.txt", "tree/log.txt", "/dev/null/x", "x" * 300, "[", "]", "'", "\"",
              "12/31/2008", "2/30/2008", " 1 / 2 ", "99999", "\xff\x01", "-D[1", "2]", "-D'1/1/08'", "1/1/08'"]
    dates = ["12/31/2008", "1/1", "13/1/2008", "", "x", "1/1/99999", "2/29/2024", " 1 / 2 / 3 /", "'1/1/08'"]
    report_shape = re.compile(rb"Exception E\w+ in module Tamberlix at [0-9A-F]{8}\.\r\n[^\r\n]*\.\r\n\r\n")
    runs = 3000 if "asan" not in tool.command[0] else 500
    for _ in range(runs):
        args = [rng.choice(pieces) for _ in range(rng.randint(0, 5))]
        if rng.random() < 0.5:
            args.insert(rng.randint(0, len(args)), "-D" + rng.choice(dates))
        args = [a.encode("latin-1") for a in args]
        proc = subprocess.run(tool.command + args, cwd=tmp_path, capture_output=True, timeout=30,
                              env=dict(os.environ, LC_ALL="C"))
        assert proc.returncode in (0, 1), args
        assert proc.stderr == b"" or report_shape.fullmatch(proc.stderr), (args, proc.stderr)
        if proc.returncode == 0:
            assert proc.stderr == b""


VANISH = r"""
#define _GNU_SOURCE
#include <dlfcn.h>
#include <sys/types.h>
#include <unistd.h>
/* Deletes each file just before its attribute is written: a file that another
   process removes between the read and the change. */
int lsetxattr(const char *path, const char *name, const void *value, size_t size, int flags) {
  int (*real)(const char *, const char *, const void *, size_t, int) = dlsym(RTLD_NEXT, "lsetxattr");
  unlink(path);
  return real(path, name, value, size, flags);
}
"""


def test_a_file_deleted_between_reading_and_changing_is_logged_and_counted(tool, tmp_path):
    source, shim = tmp_path / "vanish.c", tmp_path / "vanish.so"
    source.write_text(VANISH)
    subprocess.run(["cc", "-shared", "-fPIC", "-o", str(shim), str(source), "-ldl"], check=True)
    tree = tmp_path / "tree"
    tree.mkdir()
    (tree / "gone.txt").write_text("x")
    set_attrib(tree / "gone.txt", v5(A))
    tool.env.update(LD_PRELOAD=str(shim), ASAN_OPTIONS="verify_asan_link_order=0")
    r = tool.run("tree", "log.txt", cwd=tmp_path)
    assert (r.code, r.err) == (0, b"")
    assert (tmp_path / "log.txt").read_bytes() == text(
        "tree\n__!__!__!__!__!__!__!__!__!__!__!__! Error setting attributes for file tree/gone.txt\n"
        "gone.txt  ___A -> ____\n") + summary(total=1, arc=1, errors=1)
    assert not (tree / "gone.txt").exists()


FAIL_MALLOC = r"""
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdlib.h>
/* Refuses every allocation of FAIL_MALLOC_FROM bytes or more. */
void *malloc(size_t size) {
  static void *(*real)(size_t);
  static size_t from;
  if (!real) {
    real = (void *(*)(size_t))dlsym(RTLD_NEXT, "malloc");
    const char *text = getenv("FAIL_MALLOC_FROM");
    from = text ? strtoul(text, NULL, 10) : 0;
  }
  if (from && size >= from) {
    errno = ENOMEM;
    return NULL;
  }
  return real(size);
}
"""


def test_memory_that_runs_out_at_start_is_reported(tool, tmp_path):
    if "asan" in tool.command[0]:
        pytest.skip("AddressSanitizer serves operator new itself, so no shim can refuse it")
    source, shim = tmp_path / "failmalloc.c", tmp_path / "failmalloc.so"
    source.write_text(FAIL_MALLOC)
    subprocess.run(["cc", "-shared", "-fPIC", "-o", str(shim), str(source), "-ldl"], check=True)
    (tmp_path / "tree" / "sub").mkdir(parents=True)
    # Nothing the run needs is that large but the buffer folders are read into.
    tool.env.update(LD_PRELOAD=str(shim), FAIL_MALLOC_FROM=str(32 * 1024))
    r = tool.run("tree", "log.txt", cwd=tmp_path)
    assert (r.code, r.out, r.err) == (1, b"", report(tool, "EOutOfMemory", "Out of memory"))
    assert not (tmp_path / "log.txt").exists()


def build_shim(tmp_path, name, source):
    (tmp_path / f"{name}.c").write_text(source)
    shim = tmp_path / f"{name}.so"
    subprocess.run(["cc", "-shared", "-fPIC", "-o", str(shim), str(tmp_path / f"{name}.c"), "-ldl"], check=True)
    return shim


REMOVE = r"""
#define _GNU_SOURCE
#include <dlfcn.h>
#include <sys/xattr.h>
/* Removes each value just before it is written: another process got there between the read and the change. */
int lsetxattr(const char *path, const char *name, const void *value, size_t size, int flags) {
  int (*real)(const char *, const char *, const void *, size_t, int) = dlsym(RTLD_NEXT, "lsetxattr");
  lremovexattr(path, name);
  return real(path, name, value, size, flags);
}
"""


def test_a_value_removed_between_reading_and_changing_is_not_made_again(tool, tmp_path):
    tool.env.update(LD_PRELOAD=str(build_shim(tmp_path, "remove", REMOVE)), ASAN_OPTIONS="verify_asan_link_order=0")
    (tmp_path / "tree").mkdir()
    (tmp_path / "tree" / "a.txt").write_text("x")
    set_attrib(tmp_path / "tree" / "a.txt", v5(A))
    r = tool.run("tree", "log.txt", cwd=tmp_path)
    assert (r.code, r.err) == (0, b"")
    assert (tmp_path / "log.txt").read_bytes() == text(
        "tree\n__!__!__!__!__!__!__!__!__!__!__!__! Error setting attributes for file tree/a.txt\n"
        "a.txt  ___A -> ____\n") + summary(total=1, arc=1, errors=1)
    assert get_attrib(tmp_path / "tree" / "a.txt") is None


SWAP = r"""
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
/* Swaps the folder named "swap" for a link to SWAP_TARGET just before the walk opens it.
   Only the main thread's open counts: a prefetcher running ahead must not swap it before
   the walk has listed it as a folder. */
static int swapped(int dirfd, const char *path, int flags, va_list ap) {
  int (*real)(int, const char *, int, ...) = dlsym(RTLD_NEXT, "openat");
  mode_t mode = (flags & O_CREAT) ? va_arg(ap, mode_t) : 0;
  if (gettid() == getpid() && strcmp(path, "swap") == 0 && renameat(dirfd, "swap", dirfd, "swap.moved") == 0)
    symlinkat(getenv("SWAP_TARGET"), dirfd, "swap");
  return real(dirfd, path, flags, mode);
}
int openat(int dirfd, const char *path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  int fd = swapped(dirfd, path, flags, ap);
  va_end(ap);
  return fd;
}
int openat64(int dirfd, const char *path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  int fd = swapped(dirfd, path, flags, ap);
  va_end(ap);
  return fd;
}
"""


def test_a_folder_swapped_for_a_link_after_its_listing_is_not_entered(tool, tmp_path):
    outside = tmp_path / "outside"
    outside.mkdir()
    (outside / "secret.txt").write_text("x")
    set_attrib(outside / "secret.txt", v5(A))
    (tmp_path / "tree" / "swap").mkdir(parents=True)
    tool.env.update(LD_PRELOAD=str(build_shim(tmp_path, "swap", SWAP)), SWAP_TARGET=str(outside),
                    ASAN_OPTIONS="verify_asan_link_order=0")
    r = tool.run("tree", "log.txt", cwd=tmp_path)
    assert (r.code, r.err) == (0, b"")
    assert os.path.islink(tmp_path / "tree" / "swap")
    assert (tmp_path / "log.txt").read_bytes() == summary()
    assert get_attrib(outside / "secret.txt") == v5(A)


UNTYPED = r"""
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <sys/types.h>
/* Lists folders as file systems that give no type do: every entry DT_UNKNOWN. */
ssize_t getdents64(int fd, void *buffer, size_t size) {
  ssize_t (*real)(int, void *, size_t) = dlsym(RTLD_NEXT, "getdents64");
  ssize_t got = real(fd, buffer, size);
  for (ssize_t at = 0; at < got;) {
    struct dirent64 *entry = (struct dirent64 *)((char *)buffer + at);
    entry->d_type = DT_UNKNOWN;
    at += entry->d_reclen;
  }
  return got;
}
"""


def test_a_file_system_that_lists_no_types_is_walked_the_same(tool, tmp_path):
    tree, outside = tmp_path / "tree", tmp_path / "outside"
    for rel in ["a.txt", "sub/b.txt", "sub/deeper/c.txt"]:
        (tree / rel).parent.mkdir(parents=True, exist_ok=True)
        (tree / rel).write_text(rel)
        set_attrib(tree / rel, v5(A | 0x01))
    outside.mkdir()
    (outside / "secret.txt").write_text("x")
    set_attrib(outside / "secret.txt", v5(A))
    (tree / "link").symlink_to(outside)
    (tree / "file-link").symlink_to(outside / "secret.txt")
    os.mkfifo(tree / "fifo")
    typed = tool.run("-P", "tree", "typed.log", cwd=tmp_path, timeout=20)
    tool.env.update(LD_PRELOAD=str(build_shim(tmp_path, "untyped", UNTYPED)), ASAN_OPTIONS="verify_asan_link_order=0")
    untyped = tool.run("tree", "untyped.log", cwd=tmp_path, timeout=20)
    assert (untyped.code, untyped.err) == (0, b"")
    assert untyped.out == typed.out
    assert (tmp_path / "untyped.log").read_bytes() == (tmp_path / "typed.log").read_bytes().replace(
        b"Files Reset: 0", b"Files Reset: 3")
    assert get_attrib(tree / "sub" / "deeper" / "c.txt") == v5(0x01)
    assert get_attrib(outside / "secret.txt") == v5(A)
