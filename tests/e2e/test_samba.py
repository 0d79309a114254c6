"""A real Samba server on loopback: files flagged through smbclient, swept on
the server's disk, and read back through smbclient."""

import os
import re
import shutil
import signal
import socket
import subprocess
import time

import pytest

import smbconf

from tamberlix import summary, text

PLATFORMS = ("linux",)

PORT = 4455

SHARE = """[share]
  path = {d}/share
  guest ok = yes
  read only = no
  force user = root
"""


class Samba:
    def __init__(self, base):
        self.base = base
        self.share = base / "share"
        self.conf = base / "smb.conf"

    def client(self, commands):
        proc = subprocess.run(
            ["smbclient", "//127.0.0.1/share", "-p", str(PORT), "-N", "-s", str(self.conf), "-c", commands],
            capture_output=True, text=True, timeout=60)
        assert proc.returncode == 0, proc.stdout + proc.stderr
        return proc.stdout

    def info(self, name):
        """What a client sees of a file: its attributes and its times."""
        out = self.client(f'allinfo "{name}"')
        fields = dict(re.findall(r"^(\w+):\s*(.*)$", out, re.M))
        return {k: fields[k] for k in ("attributes", "create_time", "write_time")}


@pytest.fixture
def samba(tmp_path):
    if not shutil.which("smbd") or not shutil.which("smbclient"):
        pytest.fail("Samba is not installed: run tests/setup.sh")
    base = tmp_path / "samba"
    for d in ["share"] + smbconf.FOLDERS:
        (base / d).mkdir(parents=True)
    server = Samba(base)
    server.conf.write_text(smbconf.config(base, SHARE.format(d=base), port=PORT))
    # smbd signals its whole process group when it stops: give it a session of its own.
    proc = subprocess.Popen(
        ["smbd", "--foreground", "--no-process-group", "-s", str(server.conf)],
        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        deadline = time.monotonic() + 30
        while True:
            try:
                socket.create_connection(("127.0.0.1", PORT), timeout=1).close()
                break
            except OSError:
                assert proc.poll() is None, (base / "smbd.log").read_text(errors="replace")
                assert time.monotonic() < deadline, "smbd did not start listening"
                time.sleep(0.1)
        yield server
    finally:
        proc.terminate()
        try:
            proc.wait(timeout=20)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
        try:
            os.killpg(proc.pid, signal.SIGKILL)  # any child still in the server's own group
        except ProcessLookupError:
            pass


FLAGGED = {  # name: smbclient setmode, attributes after the put, after the sweep
    "plain.txt": (None, "A (20)", "(80)"),
    "readonly.txt": ("+r", "RA (21)", "R (1)"),
    "hidden-system.txt": ("+hs", "HSA (26)", "HS (6)"),
    "cleared.txt": ("-a", "(80)", "(80)"),
    "sub/deep.txt": ("+h", "HA (22)", "H (2)"),
}


def flag_files(samba, tmp_path):
    local = tmp_path / "content.txt"
    local.write_text("content\n")
    commands = ["mkdir sub"]
    for name, (mode, _, _) in FLAGGED.items():
        commands.append(f'put "{local}" "{name}"')
        if mode:
            commands.append(f'setmode "{name}" {mode}')
    samba.client("; ".join(commands))
    seen = {name: samba.info(name) for name in FLAGGED}
    for name, (_, attributes, _) in FLAGGED.items():
        assert seen[name]["attributes"] == attributes, name
    return seen


def test_a_sweep_of_the_servers_disk_clears_what_clients_see(tool, tmp_path, samba):
    before = flag_files(samba, tmp_path)

    preview = tool.run("-P", samba.share, tmp_path / "preview.log")
    assert preview.code == 0
    assert {name: samba.info(name) for name in FLAGGED} == before

    r = tool.run(samba.share, tmp_path / "sweep.log")
    assert (r.code, r.err) == (0, b"")
    for name, (_, _, attributes) in FLAGGED.items():
        after = samba.info(name)
        assert after == dict(before[name], attributes=attributes), name

    log = (tmp_path / "sweep.log").read_bytes()
    root_lines = log.split(b"\r\n")[1:4]
    assert log.split(b"\r\n")[0] == str(samba.share).encode()
    assert sorted(root_lines) == [b"hidden-system.txt  _HSA -> _HS_", b"plain.txt  ___A -> ____",
                                  b"readonly.txt  R__A -> R___"]
    assert text(f"{samba.share}/sub\n  deep.txt  _H_A -> _H__\n") in log
    assert log.endswith(summary(total=5, arc=4, reset=4))
    assert (tmp_path / "preview.log").read_bytes().endswith(summary(total=5, arc=4))


def test_a_second_sweep_finds_nothing_and_a_client_write_flags_again(tool, tmp_path, samba):
    flag_files(samba, tmp_path)
    assert tool.run(samba.share, tmp_path / "first.log").code == 0
    assert tool.run(samba.share, tmp_path / "second.log").code == 0
    assert (tmp_path / "second.log").read_bytes() == summary(total=5)

    samba.client(f'put "{tmp_path / "content.txt"}" plain.txt')
    assert samba.info("plain.txt")["attributes"] == "A (20)"
    assert tool.run(samba.share, tmp_path / "third.log").code == 0
    assert (tmp_path / "third.log").read_bytes() == \
        text(f"{samba.share}\nplain.txt  ___A -> ____\n") + summary(total=5, arc=1, reset=1)
