#!/usr/bin/env bash
# Installs what the build and the tests need, from Debian's archive (run as root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
packages=(
  cmake g++ make libgtest-dev python3 python3-pytest locales
  attr samba smbclient ntfs-3g
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine64
  clang libclang-rt-14-dev strace
  user-mode-linux kmod dosfstools mtools cifs-utils iproute2
  clang-format mandoc man-db lintian dpkg-dev liburing-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi
echo "setup: all packages present"
