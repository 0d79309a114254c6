"""The cold-cache prefetcher only warms: the same tree swept with and without
it gives the same log, the same console and the same attributes, byte for byte."""

import os
import pathlib
import resource
import subprocess

import pytest

from dosattrib import get_attrib, set_attrib, v5

PLATFORMS = ("linux",)
SWITCH = pathlib.Path("/proc/sys/kernel/io_uring_disabled")


@pytest.fixture
def io_uring():
    """Sets whether processes may use io_uring (0 may, 2 may not), and puts the system's setting back."""
    if os.geteuid() != 0 or not SWITCH.exists():
        pytest.skip("turning io_uring off needs root and a kernel with io_uring_disabled")
    before = SWITCH.read_text()
    yield lambda value: SWITCH.write_text(str(value))
    SWITCH.write_text(before)


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


def test_a_sweep_with_the_prefetcher_is_byte_for_byte_the_sweep_without(tool, tmp_path, io_uring):
    tree = tmp_path / "tree"
    blobs = make_tree(tree)
    results = []
    for allowed in [2, 0]:
        io_uring(allowed)
        for path, blob in blobs.items():
            set_attrib(path, blob)
        trace = tmp_path / f"trace{allowed}.txt"
        tool.env["ASAN_OPTIONS"] = "detect_leaks=0"  # the leak checker cannot run under ptrace
        strace = ["strace", "-f", "-qq", "-e", "trace=io_uring_setup", "-e", "signal=none", "-o", str(trace)]
        r = subprocess.run(strace + tool.command + ["tree", f"log{allowed}.txt"], cwd=tmp_path,
                           capture_output=True, env=dict(os.environ, LC_ALL="C", **tool.env), timeout=120)
        assert (r.returncode, r.stderr) == (0, b"")
        after = {str(p): get_attrib(p) for p in blobs}
        results.append((r.stdout, (tmp_path / f"log{allowed}.txt").read_bytes(), after))
        # The prefetcher did run where io_uring was allowed, and could not where it was not.
        setups = [line for line in trace.read_text().splitlines() if "io_uring_setup(" in line]
        assert setups and all(("= -1" in line) == (allowed == 2) for line in setups), setups
    assert results[0] == results[1]
    assert results[1][1].count(b"-> ") == len(blobs)


def test_the_walk_never_runs_short_of_descriptors_because_of_the_prefetcher(tool, tmp_path, io_uring):
    io_uring(0)
    # Deep enough that the walk's own descriptors and the prefetcher's together pass the limit.
    levels, limit = 240, 256
    fd = os.open(tmp_path, os.O_RDONLY | os.O_DIRECTORY)
    for _ in range(levels):
        os.mkdir("d", dir_fd=fd)
        inner = os.open("d", os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
        os.close(fd)
        fd = inner
    os.close(fd)
    tool.env["ASAN_OPTIONS"] = "detect_leaks=0"  # the leak checker needs descriptors of its own

    def few_descriptors():
        resource.setrlimit(resource.RLIMIT_NOFILE, (limit, limit))

    r = tool.run("d", "/dev/null", cwd=tmp_path, preexec_fn=few_descriptors)
    assert (r.code, r.err) == (0, b"")
    subprocess.run(["rm", "-rf", str(tmp_path / "d")], check=True)


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
        r = tool.run("tree", "log.txt", cwd=tmp_path, timeout=60)
        assert (r.code, r.err) == (0, b"")
        results.append((r.out, (tmp_path / "log.txt").read_bytes(), {str(p): get_attrib(p) for p in blobs}))
    assert results[0] == results[1]
