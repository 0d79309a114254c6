"""Shipping: the manual page, the install, the packages and the version
resource, each checked with the tools that users' systems check them with."""

import os
import re
import struct
import subprocess
import tarfile
import zipfile

import pytest

from conftest import LINUX_BUILDS, ROOT, WINDOWS_BUILD

VERSION = "2.04"
BUILD = ROOT / os.path.dirname(LINUX_BUILDS[0])

# What lintian still says of the package, and why each stays.
LINTIAN_KEPT = {
    # An informational tag: CPack strips the program with plain strip, which keeps the compiler's
    # one-line version note.
    "binary-has-unneeded-section",
}
INSTALLED = {"bin/Tamberlix", "share/man/man1/Tamberlix.1.gz", "share/doc/tamberlix/copyright",
             "share/doc/tamberlix/changelog.gz", "share/lintian/overrides/tamberlix"}


def run(*command, text=True, **kwargs):
    return subprocess.run(command, capture_output=True, text=text, timeout=300, **kwargs)


def version_of(program):
    done = run(str(program), "--version", text=False)
    return done.returncode, done.stdout


def test_the_manual_page_is_clean_for_mandoc_and_man():
    lint = run("mandoc", "-T", "lint", "-W", "style", str(ROOT / "doc" / "Tamberlix.1"))
    assert (lint.returncode, lint.stdout + lint.stderr) == (0, "")
    shown = run("man", "--warnings", "-l", str(ROOT / "doc" / "Tamberlix.1"),
                env=dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8", MAN_KEEP_FORMATTING="0"))
    assert (shown.returncode, shown.stderr) == (0, "")
    plain = re.sub(".\b", "", shown.stdout)  # no overstriking
    for section in ["SYNOPSIS", "OPTIONS", "DATES", "WHERE THE ARCHIVE BIT LIVES", "LOG", "EXIT STATUS", "EXAMPLES"]:
        assert re.search(rf"^{section}$", plain, re.M), section


def test_install_puts_the_program_and_its_manual_page_in_place(tmp_path):
    done = run("cmake", "--install", str(BUILD), "--prefix", str(tmp_path / "usr"))
    assert done.returncode == 0, done.stderr
    installed = {str(p.relative_to(tmp_path / "usr")) for p in tmp_path.rglob("*") if p.is_file()}
    assert installed == INSTALLED
    assert version_of(tmp_path / "usr/bin/Tamberlix") == (0, f"Tamberlix V{VERSION} 9/8/2008\r\n".encode())


@pytest.fixture(scope="module")
def packages(tmp_path_factory):
    out = tmp_path_factory.mktemp("packages")
    made = run("cpack", "-G", "DEB;TGZ", "-B", str(out), cwd=BUILD)
    assert made.returncode == 0, made.stdout + made.stderr
    return out


def test_the_deb_passes_lintian_and_installs(packages, tmp_path):
    (deb,) = packages.glob("*.deb")
    assert deb.name == f"tamberlix_{VERSION}_amd64.deb"
    lint = run("lintian", "--tag-display-limit", "0", str(deb))
    tags = {line.split()[2] for line in lint.stdout.splitlines() if re.match(r"^[EWIPX]: ", line)}
    assert tags <= LINTIAN_KEPT, lint.stdout
    # Into a root of its own, so that the test leaves this system's package database alone.
    root = tmp_path / "root"
    (root / "var/lib/dpkg/info").mkdir(parents=True)
    (root / "var/lib/dpkg/updates").mkdir()
    (root / "var/lib/dpkg/status").write_text("")
    installed = run("dpkg", "--root", str(root), "--force-depends", "--force-script-chrootless",
                    "--force-not-root", "--log=/dev/null", "-i", str(deb))
    assert installed.returncode == 0, installed.stdout + installed.stderr
    listed = run("dpkg", "--root", str(root), "-L", "tamberlix").stdout.split()
    assert "/usr/bin/Tamberlix" in listed and "/usr/share/man/man1/Tamberlix.1.gz" in listed
    assert version_of(root / "usr/bin/Tamberlix") == (0, f"Tamberlix V{VERSION} 9/8/2008\r\n".encode())
    fields = run("dpkg-deb", "--field", str(deb), "Package", "Version", "Depends").stdout
    assert "Package: tamberlix" in fields and f"Version: {VERSION}" in fields and "libc6" in fields


def test_the_tarball_holds_the_same(packages):
    (tarball,) = packages.glob("*.tar.gz")
    with tarfile.open(tarball) as t:
        names = {n.split("/", 1)[1] for n in t.getnames() if "/" in n and not t.getmember(n).isdir()}
    assert names == INSTALLED


def fixed_version(exe):
    """The file and product versions of the program's VS_FIXEDFILEINFO, found by its signature."""
    data = exe.read_bytes()
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    assert at > 0, "no version resource"
    _, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", data, at)
    return (file_ms >> 16, file_ms & 0xFFFF, file_ls >> 16, file_ls & 0xFFFF), (product_ms, product_ls)


def test_the_windows_program_carries_its_version_and_ships_as_a_zip(tmp_path):
    if not WINDOWS_BUILD:
        pytest.skip("the Windows program is not built in this run")
    exe = ROOT / WINDOWS_BUILD
    numbers, product = fixed_version(exe)
    assert numbers == (2, 4, 0, 0) and product == ((2 << 16) | 4, 0)
    strings = exe.read_bytes().decode("utf-16-le", errors="ignore")
    for field in ["FileVersion", "ProductVersion"]:
        assert re.search(field + "\0+" + re.escape(VERSION), strings), field
    made = run("cpack", "-G", "ZIP", "-B", str(tmp_path), cwd=exe.parent)
    assert made.returncode == 0, made.stdout + made.stderr
    (archive,) = tmp_path.glob("*.zip")
    with zipfile.ZipFile(archive) as z:
        names = {n.split("/", 1)[1] for n in z.namelist() if not n.endswith("/")}
    assert names == {"bin/Tamberlix.exe", "LICENSE", "README.md"}


def test_the_build_configures_without_googletest(tmp_path):
    done = run("cmake", "-S", str(ROOT), "-B", str(tmp_path), "-DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON")
    assert done.returncode == 0, done.stderr
    assert "GoogleTest not found: the unit tests are not built" in done.stdout
