"""The cold-cache prefetcher only warms: the same tree swept with and without
it gives the same log, the same console and the same attributes, byte for byte."""

import os
import pathlib
import resource
import subprocess

import pytest

from dosattrib import get_attrib, set_attrib, v5
from tamberlix import summary

PLATFORMS = ("linux",)
SWITCH = pathlib.Path("/proc/sys/kernel/io_uring_disabled")
DROP = pathlib.Path("/proc/sys/vm/drop_caches")


@pytest.fixture
def io_uring():
    """Sets whether processes may use io_uring (0 may, 2 may not), and puts the system's setting back."""
    if os.geteuid() != 0 or not SWITCH.exists() or not os.access(DROP, os.W_OK):
        pytest.skip("turning io_uring off and dropping caches need root and a kernel with io_uring_disabled")
    before = SWITCH.read_text()
    yield lambda value: SWITCH.write_text(str(value))
    SWITCH.write_text(before)


def drop_caches():
    """Empties the page, inode and dentry caches, so that the next walk reads from the disk."""
    os.sync()
    DROP.write_text("3\n")


def make_tree(root):
    blobs = {}
    for d in range(12):
        for s in range(5):
            folder = root / f"d{d}" / f"s{s}"
            folder.mkdir(parents=True)
            for f in range(30):
                path = folder / f"f{f}.txt"
                path.write_text("x")
                if f % 3:
                    blobs[path] = v5(0x20 | (f % 8))
                    set_attrib(path, blobs[path])
        (root / f"d{d}" / "link").symlink_to(root)
    # More than one batch of listing in one folder: the two walks must never share a place in it.
    for f in range(6000):
        path = root / f"many{f}"
        path.write_text("")
        if f % 100 == 0:
            blobs[path] = v5(0x20)
            set_attrib(path, blobs[path])
    return blobs


def traced_sweep(tool, tmp_path, log, preexec_fn=None):
    """A sweep, and whether the prefetcher set its io_uring up: True, False (refused) or None (never tried)."""
    trace = tmp_path / "trace.txt"
    tool.env["ASAN_OPTIONS"] = "detect_leaks=0"  # the leak checker cannot run under ptrace
    # Filtered in the kernel, so that tracing does not slow the walk down.
    strace = ["strace", "--seccomp-bpf", "-f", "-qq", "-e", "trace=io_uring_setup", "-e", "signal=none",
              "-o", str(trace)]
    r = subprocess.run(strace + tool.command + ["tree", log], cwd=tmp_path, capture_output=True,
                       env=dict(os.environ, LC_ALL="C", **tool.env), timeout=120, preexec_fn=preexec_fn)
    assert (r.returncode, r.stderr) == (0, b"")
    setups = [line for line in trace.read_text().splitlines() if "io_uring_setup(" in line]
    assert len(setups) <= 1, setups
    return r.stdout, (tmp_path / log).read_bytes(), ("= -1" not in setups[0]) if setups else None


def test_a_sweep_with_the_prefetcher_is_byte_for_byte_the_sweep_without(tool, tmp_path, io_uring):
    tree = tmp_path / "tree"
    blobs = make_tree(tree)
    results = []
    for allowed, started in [(2, False), (0, True)]:
        io_uring(allowed)
        for path, blob in blobs.items():
            set_attrib(path, blob)
        drop_caches()
        out, log, setup = traced_sweep(tool, tmp_path, f"log{allowed}.txt")
        # The cold walk started the prefetcher, which could set up its io_uring only where allowed.
        assert setup is started
        results.append((out, log, {str(p): get_attrib(p) for p in blobs}))
    assert results[0] == results[1]
    assert results[1][1].count(b"-> ") == len(blobs)


def test_a_warm_walk_does_without_the_prefetcher(tool, tmp_path, io_uring):
    io_uring(0)
    make_tree(tmp_path / "tree")
    tool.run("-P", "tree", "/dev/null", cwd=tmp_path)
    # A machine that stalls the walk for long may start it all the same; not every time.
    setups = [traced_sweep(tool, tmp_path, f"log{run}.txt")[2] for run in range(3)]
    assert None in setups, setups


def make_chain(top, levels):
    fd = os.open(top, os.O_RDONLY | os.O_DIRECTORY)
    for _ in range(levels):
        os.mkdir("d", dir_fd=fd)
        inner = os.open("d", os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
        os.close(fd)
        fd = inner
    return fd


def test_the_walk_never_runs_short_of_descriptors_because_of_the_prefetcher(tool, tmp_path, io_uring):
    io_uring(0)
    levels, limit = 240, 256
    tree = tmp_path / "tree"
    for name in ["x", "y"]:
        (tree / name).mkdir(parents=True)
    # The walk goes down a chain deep enough to need nearly every descriptor, while the
    # prefetcher waits a window ahead of it in a large folder deeper in the next one,
    # holding its own descriptors.
    deep, ahead = os.listdir(tree)
    os.close(make_chain(tree / deep, levels))
    fd = make_chain(tree / ahead, 10)
    for f in range(40_000):
        os.close(os.open(f"f{f}", os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=fd))
    os.close(fd)
    drop_caches()

    def few_descriptors():
        resource.setrlimit(resource.RLIMIT_NOFILE, (limit, limit))

    out, log, setup = traced_sweep(tool, tmp_path, "log.txt", preexec_fn=few_descriptors)
    assert setup is True
    assert log == summary(total=40_000)
    subprocess.run(["rm", "-rf", str(tree)], check=True)


THREAD_MALLOC = r"""
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdlib.h>
#include <unistd.h>
/* Lets each thread but the main one make THREAD_MALLOCS allocations and refuses the rest. */
void *malloc(size_t size) {
  static void *(*real)(size_t);
  static __thread long made;
  if (!real) real = (void *(*)(size_t))dlsym(RTLD_NEXT, "malloc");
  if (gettid() != getpid() && made++ >= atol(getenv("THREAD_MALLOCS"))) {
    errno = ENOMEM;
    return NULL;
  }
  return real(size);
}
"""


@pytest.mark.parametrize("allowed", [0, 1, 4, 40])
def test_a_prefetcher_short_of_memory_stops_and_the_sweep_goes_on(tool, tmp_path, io_uring, allowed):
    if "asan" in tool.command[0]:
        pytest.skip("AddressSanitizer serves operator new itself, so no shim can refuse it")
    tree = tmp_path / "tree"
    blobs = make_tree(tree)
    source, shim = tmp_path / "thread_malloc.c", tmp_path / "thread_malloc.so"
    source.write_text(THREAD_MALLOC)
    subprocess.run(["cc", "-shared", "-fPIC", "-o", str(shim), str(source), "-ldl"], check=True)
    results = []
    for uring, env in [(2, {}), (0, {"LD_PRELOAD": str(shim), "THREAD_MALLOCS": str(allowed)})]:
        io_uring(uring)
        for path, blob in blobs.items():
            set_attrib(path, blob)
        tool.env.update(env)
        drop_caches()
        out, log, setup = traced_sweep(tool, tmp_path, "log.txt")
        assert setup is (uring == 0)
        results.append((out, log, {str(p): get_attrib(p) for p in blobs}))
    assert results[0] == results[1]
