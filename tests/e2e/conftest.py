import dataclasses
import os
import pathlib
import shutil
import subprocess

import pytest

from tamberlix import Tool

ROOT = pathlib.Path(__file__).resolve().parents[2]
WINE = "/usr/lib/wine/wine64"

# The Linux builds to test, as paths from the top of the tree, ':' between them.
LINUX_BUILDS = os.environ.get("TAMBERLIX_BINS", "build/Tamberlix").split(":")
WINDOWS_BUILD = os.environ.get("TAMBERLIX_EXE", "")


def pytest_generate_tests(metafunc):
    """Every test that takes `tool` runs against each build its module names in
    PLATFORMS (both platforms when it names none)."""
    if "tool" not in metafunc.fixturenames:
        return
    platforms = getattr(metafunc.module, "PLATFORMS", ("linux", "windows"))
    builds = [b for b in LINUX_BUILDS if "linux" in platforms]
    if "windows" in platforms and WINDOWS_BUILD:
        builds.append(WINDOWS_BUILD)
    metafunc.parametrize("tool", builds, indirect=True, ids=[os.path.dirname(b) or b for b in builds])


@pytest.fixture(scope="session")
def wine_prefix(tmp_path_factory):
    """One private Wine prefix for the session, made on first use, with its
    server kept running between the runs so that each starts quickly."""
    prefix = tmp_path_factory.mktemp("wineprefix")
    # Wine reads file names in the locale's character set: UTF-8, as they are written here.
    env = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG="-all", LC_ALL="C.UTF-8")
    # The server first, then the prefix's services, with no pipe of a test's held open.
    quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["/usr/lib/wine/wineserver", "-p"], env=env, timeout=60, **quiet)
    subprocess.run([WINE, "wineboot", "-i"], env=env, timeout=300, **quiet)
    yield prefix
    subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=env, timeout=60)


@pytest.fixture
def tool(request):
    binary = ROOT / request.param
    if not binary.exists():
        pytest.fail(f"the program is not built: {binary}")
    if binary.suffix == ".exe":
        prefix = request.getfixturevalue("wine_prefix")
        return Tool("windows", [WINE, str(binary)], "Tamberlix.exe", "/", "\\", date_pattern="M/d/yyyy",
                    env={"WINEPREFIX": str(prefix), "WINEDEBUG": "-all", "LC_ALL": "C.UTF-8"})
    return Tool("linux", [str(binary)], "Tamberlix", "-", "/")


@pytest.fixture
def as_nobody(tool, tmp_path):
    """Runs the program as the user nobody, so that permissions hold. The
    program is copied into the test's folder first: nobody may not reach the
    folder it was built in."""
    if os.geteuid() != 0:
        pytest.skip("switching to an unprivileged user needs root")
    (tmp_path / "bin").mkdir()
    shutil.copy2(tool.command[0], tmp_path / "bin" / "Tamberlix")
    copy = dataclasses.replace(tool, command=["./bin/Tamberlix"])

    def drop():
        os.setgroups([])
        os.setgid(65534)
        os.setuid(65534)

    # The run starts in the test's folder, so no folder above it needs to be open to nobody.
    return lambda *args: copy.run(*args, cwd=tmp_path, preexec_fn=drop)
