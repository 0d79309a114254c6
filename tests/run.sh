#!/usr/bin/env bash
# Builds the program (plain, with sanitizers, and for Windows) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$jobs"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTAMBERLIX_SANITIZE=ON >/dev/null
cmake --build build-asan -j "$jobs"
cmake -S . -B build-win -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake >/dev/null
cmake --build build-win -j "$jobs"

ctest --test-dir build --output-on-failure
ctest --test-dir build-asan --output-on-failure

export TAMBERLIX_BINS="build/Tamberlix:build-asan/Tamberlix"
export TAMBERLIX_EXE="build-win/Tamberlix.exe"
cd tests/e2e
exec /usr/bin/python3 -m pytest -q -p no:cacheprovider "$@"
