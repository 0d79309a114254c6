"""Times Tamberlix against getfattr, a plain C sweep and a Python sweep, side by
side on one tree that is put back as it was made before every sweep, and
prints the figures."""

import argparse
import math
import os
import pathlib
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
TOP = HERE.parent


def v5(attrib):
    return b"\0\0" + struct.pack("<HHHIIQ", 5, 5, 0, 0x11, attrib, 0x01DD8961994CF170)


WITH_ARCHIVE, WITHOUT_ARCHIVE = v5(0x20), v5(0x02)


def make_tree(root, files, folders):
    """`folders` folders two levels deep, the files spread over them: half carry
    the archive bit, a quarter a blob without it, a quarter no attribute."""
    top = max(1, round(math.sqrt(folders)))
    leaves = [root / f"top{t:03}" / f"sub{s:03}" for t in range(top) for s in range(max(1, folders // top))]
    for leaf in leaves:
        leaf.mkdir(parents=True)
    for i in range(files):
        fd = os.open(leaves[i % len(leaves)] / f"file{i:07}.dat", os.O_WRONLY | os.O_CREAT, 0o644)
        kind = i % 4
        if kind < 2:
            os.setxattr(fd, "user.DOSATTRIB", WITH_ARCHIVE)
        elif kind == 2:
            os.setxattr(fd, "user.DOSATTRIB", WITHOUT_ARCHIVE)
        os.close(fd)


def make_chain(root, levels, files=False):
    """One folder inside the other, `levels` deep, made relative to each folder
    (the whole path is longer than the system takes at once); with `files`, a
    file with the archive bit in each, so that every folder logs its header."""
    root.mkdir(parents=True)
    fd = os.open(root, os.O_RDONLY | os.O_DIRECTORY)
    for _ in range(levels):
        os.mkdir("d", dir_fd=fd)
        inner = os.open("d", os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
        os.close(fd)
        fd = inner
        if files:
            file = os.open("f", os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=fd)
            os.setxattr(file, "user.DOSATTRIB", WITH_ARCHIVE)
            os.close(file)
    os.close(fd)


IO_URING = pathlib.Path("/proc/sys/kernel/io_uring_disabled")


def prefetcher(allowed):
    """Lets the program's prefetcher run, or not: it needs io_uring, which this switch refuses."""
    IO_URING.write_text("0\n" if allowed else "2\n")


def drop_caches():
    subprocess.run(["sync"], check=True)
    pathlib.Path("/proc/sys/vm/drop_caches").write_text("3\n")


def run_once(work, command):
    """Seconds and peak memory (KiB) of one run, its output thrown away."""
    out = subprocess.run([str(work / "peak")] + command, capture_output=True, text=True, check=True).stdout
    seconds, rss, code = out.split()
    # getfattr ends with 1 when some file has no such attribute.
    if int(code) != 0 and not (command[0] == "getfattr" and int(code) == 1):
        sys.exit(f"{command[0]} failed with exit code {code}")
    return float(seconds), int(rss)


def syscalls(command):
    """System calls of one run, counted by strace."""
    with tempfile.NamedTemporaryFile("r", suffix=".strace") as out:
        subprocess.run(["strace", "-c", "-f", "-o", out.name] + command, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        for line in out.read().splitlines():
            fields = line.split()
            if fields and fields[-1] == "total":
                return int(fields[3])  # % time, seconds, usecs/call, calls
    return 0


class Bench:
    def __init__(self, work, files, folders):
        self.work = work
        self.files = files
        self.template = work / f"template-{files}"
        if not self.template.exists():
            print(f"making a tree of {files} files in {folders} folders ...", flush=True)
            make_tree(self.template, files, folders)
        self.log = work / "log.txt"

    def restore(self):
        """Every sweep starts from the tree as it was made."""
        subprocess.run([str(self.work / "restore"), str(self.template)], check=True)

    def tools(self):
        """name: (command over a root, whether it changes the tree)."""
        tamberlix = str(TOP / "build" / "Tamberlix")
        baseline = str(self.work / "baseline")
        return {
            "Tamberlix": (lambda root: [tamberlix, str(root), str(self.log)], True),
            "Tamberlix -P": (lambda root: [tamberlix, "-P", str(root), str(self.log)], False),
            "C baseline": (lambda root: [baseline, str(root), str(self.log)], True),
            "Python sweep": (lambda root: [sys.executable, str(HERE / "sweep.py"), str(root), str(self.log)], True),
            "getfattr -R": (lambda root: ["getfattr", "-R", "-n", "user.DOSATTRIB", "--absolute-names",
                                          str(root)], False),
        }

    def measure(self, make, changes, runs, cold=False):
        times, peak = [], 0
        for _ in range(runs):
            if changes:
                self.restore()
            if cold:
                drop_caches()
            seconds, rss = run_once(self.work, make(self.template))
            times.append(seconds)
            peak = max(peak, rss)
        return statistics.median(times), peak

    def count_calls(self, make, changes):
        if changes:
            self.restore()
        return syscalls(make(self.template))


def table(title, rows, files):
    print(f"\n{title}")
    print(f"{'':14} {'median s':>9} {'x Tamberlix':>12} {'files/s':>10} {'calls/file':>11} {'peak KiB':>9}")
    reference = {"Tamberlix -P": rows.get("Tamberlix -P"), "getfattr -R": rows.get("Tamberlix -P")}
    for name, (seconds, rss, calls) in rows.items():
        base = (reference.get(name) or rows["Tamberlix"])[0]
        ratio = seconds / base if base else float("nan")
        per_file = f"{calls / files:.2f}" if calls else "-"
        print(f"{name:14} {seconds:9.3f} {ratio:12.2f} {files / seconds:10.0f} {per_file:>11} {rss:9d}")


def prefetch_table(work, args):
    """The walk with and without its prefetcher, runs paired and alternated so
    that the machine's drift falls on both alike."""
    runs = max(3, args.runs // 2 + 1)
    print(f"\nThe prefetcher, median of {runs} paired runs (ratio: with / without)")
    print(f"{'files':>9} {'run':8} {'cache':6} {'without s':>10} {'with s':>8} {'ratio':>6} {'peak KiB':>9}")
    try:
        for size in [int(s) for s in args.cold_sizes.split(",") if s]:
            bench = Bench(work, size, max(args.folders, size // 100))
            for name in ["Tamberlix", "Tamberlix -P"]:
                make, changes = bench.tools()[name]
                for cold in [True, False]:
                    figures = {False: [], True: []}
                    peak = 0
                    for _ in range(runs):
                        for allowed in [False, True]:
                            prefetcher(allowed)
                            seconds, rss = bench.measure(make, changes, 1, cold=cold)
                            figures[allowed].append(seconds)
                            peak = max(peak, rss)
                    without, with_ = statistics.median(figures[False]), statistics.median(figures[True])
                    ratios = statistics.median(w / o for w, o in zip(figures[True], figures[False]))
                    print(f"{size:9d} {'sweep' if changes else 'preview':8} {'cold' if cold else 'warm':6} "
                          f"{without:10.3f} {with_:8.3f} {ratios:6.2f} {peak:9d}", flush=True)
            shutil.rmtree(bench.template)
    finally:
        prefetcher(True)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--files", type=int, default=100_000, help="files in the timed tree (at most 1,000,000)")
    parser.add_argument("--folders", type=int, default=1000)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--memory", default="10000,100000",
                        help="tree sizes for the peak-memory figures, e.g. 10000,100000,1000000")
    parser.add_argument("--depths", default="1000,10000",
                        help="folder depths for the peak-memory figures of a deep tree")
    parser.add_argument("--cold", action="store_true", help="also time with caches dropped (root only)")
    parser.add_argument("--cold-sizes", default="100000,1000000",
                        help="tree sizes for the prefetcher's cold and warm table (with --cold)")
    parser.add_argument("--chain", type=int, default=10_000, help="depth of the chain with a file in each folder")
    parser.add_argument("--other", help="another build of the program, timed on the chain beside this one")
    parser.add_argument("--work", help="folder for the trees (default: a new one under /var/tmp)")
    args = parser.parse_args()
    if args.files > 1_000_000:
        parser.error("--files is at most 1,000,000")

    work = pathlib.Path(args.work or tempfile.mkdtemp(prefix="tamberlix-bench-", dir="/var/tmp"))
    work.mkdir(parents=True, exist_ok=True)
    for program in ["baseline", "restore", "peak"]:
        subprocess.run(["cc", "-O2", "-o", str(work / program), str(HERE / f"{program}.c")], check=True)
    try:
        bench = Bench(work, args.files, args.folders)
        rows = {}
        for name, (make, changes) in bench.tools().items():
            seconds, rss = bench.measure(make, changes, args.runs)
            rows[name] = (seconds, rss, bench.count_calls(make, changes))
        table(f"Warm cache, {args.files} files, median of {args.runs} runs "
              "(ratios: sweeps to Tamberlix, readers to Tamberlix -P)", rows, args.files)

        if args.cold:
            if os.geteuid() != 0:
                print("\n(cold cache figures need root to drop the caches)")
            else:
                cold = {}
                for name in ["Tamberlix", "Tamberlix -P", "C baseline", "getfattr -R"]:
                    make, changes = bench.tools()[name]
                    cold[name] = bench.measure(make, changes, max(1, args.runs // 2), cold=True) + (0,)
                table("Cold cache (caches dropped before each run)", cold, args.files)

        if args.cold and os.geteuid() == 0 and IO_URING.exists():
            prefetch_table(work, args)

        print("\nPeak memory of Tamberlix by tree size")
        print(f"{'files':>9} {'sweep KiB':>10} {'preview KiB':>12} {'sweep s':>8} {'us/file':>8}")
        for size in [int(s) for s in args.memory.split(",") if s]:
            sized = Bench(work, size, args.folders)
            make, _ = sized.tools()["Tamberlix"]
            seconds, sweep_rss = sized.measure(make, True, 1)
            _, preview_rss = sized.measure(sized.tools()["Tamberlix -P"][0], False, 1)
            print(f"{size:9d} {sweep_rss:10d} {preview_rss:12d} {seconds:8.3f} {seconds / size * 1e6:8.2f}")
            shutil.rmtree(sized.template)

        print("\nPeak memory of a preview by tree depth")
        print(f"{'depth':>9} {'preview KiB':>12} {'seconds':>8}")
        tamberlix = str(TOP / "build" / "Tamberlix")
        for depth in [int(d) for d in args.depths.split(",") if d]:
            chain = work / f"chain-{depth}"
            make_chain(chain, depth)
            seconds, rss = run_once(work, [tamberlix, "-P", str(chain), str(work / "log.txt")])
            print(f"{depth:9d} {rss:12d} {seconds:8.3f}")
            subprocess.run(["rm", "-rf", str(chain)], check=True)  # deeper than shutil can remove

        chain = work / "chain-files"
        make_chain(chain, args.chain, files=True)
        print(f"\nA chain of {args.chain} folders with a file in each (preview: the log's headers are the whole path)")
        print(f"{'program':40} {'seconds':>8} {'peak KiB':>9}")
        for program in [tamberlix] + ([args.other] if args.other else []):
            seconds, rss = min(run_once(work, [program, "-P", str(chain), str(work / "log.txt")])
                               for _ in range(3))
            print(f"{program[-40:]:40} {seconds:8.3f} {rss:9d}")
        subprocess.run(["rm", "-rf", str(chain)], check=True)
    finally:
        if not args.work:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
