"""The smb.conf of the test servers: everything the server keeps, in a folder of the test's own."""

GLOBAL = """[global]
  workgroup = TAMBERLIXTEST
  server role = standalone server
  map to guest = Bad User
  interfaces = 127.0.0.1
  bind interfaces only = yes
  disable netbios = yes
  load printers = no
  printcap name = /dev/null
  disable spoolss = yes
  pid directory = {d}/pid
  lock directory = {d}/lock
  state directory = {d}/state
  cache directory = {d}/cache
  private dir = {d}/private
  ncalrpc dir = {d}/ncalrpc
  log file = {d}/smbd.log
"""

FOLDERS = ["pid", "lock", "state", "cache", "private", "ncalrpc"]


def config(base, shares, port=None):
    """The whole file for a server whose state lives under `base`, with `shares` appended as written."""
    text = GLOBAL.format(d=base)
    if port:
        text += f"  smb ports = {port}\n"
    return text + shares
