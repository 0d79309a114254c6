"""Running the built program and writing down what it must print."""

import os
import subprocess
from dataclasses import dataclass, field

CRLF = "\r\n"
PROGRESS_WIDTH = 78


@dataclass
class Result:
    code: int
    out: bytes
    err: bytes


@dataclass
class Tool:
    """One build of the program and the conventions of its platform."""

    name: str
    command: list
    module: str
    switch: str
    delimiter: str
    date_pattern: str = "m/d/yy"
    env: dict = field(default_factory=dict)

    @property
    def windows(self):
        return self.name == "windows"

    def folder(self, root, *names):
        """A folder's path as the progress line shows it: the root as the
        program takes it, then each name, each with its delimiter."""
        if self.windows:
            root = "".join(chr(ord(c) - 32) if "a" <= c <= "z" else c for c in root)
        path = root if root.endswith(self.delimiter) else root + self.delimiter
        return path + "".join(n + self.delimiter for n in names)

    def run(self, *args, cwd=None, stdout=subprocess.PIPE, timeout=120, preexec_fn=None):
        env = dict(os.environ, LC_ALL="C", TZ="UTC")
        env.pop("LANG", None)
        env.update(self.env)
        for _ in range(3):
            proc = subprocess.run(
                self.command + [str(a) for a in args], cwd=cwd, env=env, stdout=stdout,
                stderr=subprocess.PIPE, timeout=timeout, preexec_fn=preexec_fn)
            # Wine's own loader now and then fails to start, before the program is even loaded.
            if not (self.windows and proc.returncode == 127 and proc.stderr.startswith(b"Inconsistency detected")):
                break
        return Result(proc.returncode, proc.stdout if stdout == subprocess.PIPE else b"", proc.stderr)


def text(s):
    """Test texts are written with plain line ends; the program's have CR LF."""
    return s.replace("\n", CRLF).encode("latin-1")


def help_text(tool, pattern=None):
    s = tool.switch
    pattern = pattern or tool.date_pattern
    return text(
        "\n"
        "Tamberlix V2.04 9/8/2008  Command Line Parameters:\n"
        "Usage: Mirrowan <rootpath> {logfilename}\n"
        f"{s}P    -  Preview mode - only writes what would be done to log file, but makes no changes to files\n"
        f"{s}D    -  Exclude resetting files on or after this date. {s}D{pattern})\n"
        f"{s}H    -  This Help.\n")


def report(tool, kind, message, address="00000000"):
    if message and not message.endswith("."):
        message += "."
    return text(f"Exception {kind} in module {tool.module} at {address}.\n{message}\n\n")


def progress(path):
    return (path.ljust(PROGRESS_WIDTH)[:PROGRESS_WIDTH] + "\r").encode("latin-1")


def console(folders, date_text=None):
    """Standard output of a completed run that visited these folders in order."""
    out = b""
    if date_text is not None:
        out += text(f"Exclude reset for files dated on or after {date_text}\n")
    out += text("Reading Files...\n")
    out += b"".join(progress(f) for f in folders)
    return out + text("\nDone.\n")


def summary(total=0, arc=0, reset=0, date=0, name=0, errors=0):
    return text(
        "\n\n"
        f"Total Files: {total}\n"
        f"Files with ARC Attribute set: {arc}\n"
        f"Files Reset: {reset}\n"
        f"Files skipped for date: {date}\n"
        f"Files skipped for name: {name}\n"
        f"Files with errors resetting attrbutes: {errors}\n")


def log_blocks(log, is_header=lambda line: not line.startswith(b" ") and b"  " not in line):
    """The log's body as {header: set of its lines}, and its summary: for
    systems that list a folder in an order of their own."""
    body, _, tail = log.partition(b"\r\n\r\n\r\n")
    result, header = {}, None
    for line in body.split(b"\r\n"):
        if header is None or is_header(line):
            header = line
            result[header] = set()
        else:
            result[header].add(line)
    return result, b"\r\n\r\n" + tail
