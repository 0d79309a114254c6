import os
import pathlib
import shutil

import pytest

from tamberlix import Tool

ROOT = pathlib.Path(__file__).resolve().parents[2]


# The Linux builds to test, as paths from the top of the tree, ':' between them.
LINUX_BUILDS = os.environ.get("TAMBERLIX_BINS", "build/Tamberlix").split(":")


@pytest.fixture(params=LINUX_BUILDS, ids=[os.path.dirname(b) or b for b in LINUX_BUILDS])
def tool(request):
    binary = ROOT / request.param
    if not binary.exists():
        pytest.fail(f"the program is not built: {binary}")
    return Tool("linux", [str(binary)], "Tamberlix", "-", "/")


@pytest.fixture
def unprivileged():
    """Runs the program as the user nobody, so that permissions hold."""
    if os.geteuid() != 0:
        pytest.skip("switching to an unprivileged user needs root")

    def drop():
        os.setgroups([])
        os.setgid(65534)
        os.setuid(65534)

    return drop
