"""A real Linux kernel with the drivers this machine's kernel lacks (vfat,
cifs), booted as an ordinary process by user-mode Linux. The guest's root is
the host's own (hostfs), so the built program and the tools run in it as they
are; the guest writes its results into a host folder, read once it has stopped."""

import os
import pathlib
import shutil
import subprocess

import pytest

KERNEL = "linux.uml"
MODULES = pathlib.Path("/usr/lib/uml/modules")

INIT = """#!/bin/sh
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin LC_ALL=C TZ=UTC
exec >{work}/guest.log 2>&1
mount -t proc proc /proc
mount -t sysfs sys /sys
# The guest's own /run, so that nothing it starts writes into the host's.
mount -t tmpfs run /run
# Modules come from user-mode Linux's own folder; the kernel's requests for more go there too.
echo {work}/modprobe > /proc/sys/kernel/modprobe
{work}/modprobe -a {modules}
touch {work}/booted
cd {work}
. {work}/script.sh
poweroff -f
"""

MODPROBE = """#!/bin/sh
exec /usr/sbin/modprobe -d {root} "$@"
"""


def version():
    found = sorted(MODULES.iterdir()) if MODULES.is_dir() else []
    if not shutil.which(KERNEL) or not found:
        pytest.fail("user-mode Linux is not installed: run tests/setup.sh")
    return found[-1].name


def boot(work, script, modules, disks=(), timeout=240):
    """Runs `script` (shell, with the current folder `work`) as the guest's
    init and waits until the guest has powered off. `disks` become /dev/ubda,
    /dev/ubdb and so on."""
    work = pathlib.Path(work)
    # The modules folder, laid out as modprobe expects it, inside the work folder.
    tree = work / "modroot" / "lib" / "modules"
    tree.mkdir(parents=True)
    (tree / version()).symlink_to(MODULES / version())
    (work / "modprobe").write_text(MODPROBE.format(root=work / "modroot"))
    (work / "init").write_text(INIT.format(work=work, modules=" ".join(modules)))
    (work / "script.sh").write_text(script)
    for name in ["modprobe", "init"]:
        os.chmod(work / name, 0o755)
    command = [KERNEL, "mem=512M", "root=/dev/root", "rootfstype=hostfs", "rootflags=/", "rw",
               f"init={work / 'init'}", "con=null", "con0=fd:0,fd:1"]
    command[1:1] = [f"ubd{i}={disk}" for i, disk in enumerate(disks)]
    with open(work / "boot.log", "wb") as log:
        subprocess.run(command, stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                       timeout=timeout, start_new_session=True)
    if not (work / "booted").exists():
        tail = (work / "boot.log").read_text(errors="replace")[-2000:]
        pytest.skip(f"user-mode Linux could not start here:\n{tail}")
    return (work / "guest.log").read_text(errors="replace")


def run_lines(program, cases):
    """Shell lines that run the program once for each case, as (name, folder
    to run in, arguments), keeping each run's exit code and streams."""
    lines = []
    for name, cwd, args in cases:
        quoted = " ".join(f"'{a}'" for a in args)
        lines.append(f"(cd '{cwd}' && '{program}' {quoted}) >'{name}.out' 2>'{name}.err'; echo $? >'{name}.rc'")
    return "\n".join(lines) + "\n"


def result(work, name):
    work = pathlib.Path(work)
    code = (work / f"{name}.rc").read_text().strip()
    return int(code), (work / f"{name}.out").read_bytes(), (work / f"{name}.err").read_bytes()
