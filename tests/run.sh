#!/usr/bin/env bash
# Builds the program (plain, with sanitizers, and for Windows) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
# smbd, mkntfs and localedef live in the system folders, which a plain user's PATH may lack.
export PATH="$PATH:/usr/sbin:/sbin"
jobs=$(nproc)

bash tests/format.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$jobs"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTAMBERLIX_SANITIZE=ON >/dev/null
cmake --build build-asan -j "$jobs"
cmake -S . -B build-win -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake >/dev/null
cmake --build build-win -j "$jobs"

ctest --test-dir build --output-on-failure
ctest --test-dir build-asan --output-on-failure
# The same unit tests built for Windows, under Wine, in a prefix of their own.
wine_prefix=$(mktemp -d)
for attempt in 1 2 3; do
  # Exit code 127 is Wine's own loader failing now and then, before the tests are even loaded.
  status=0
  WINEPREFIX=$wine_prefix WINEDEBUG=-all /usr/lib/wine/wine64 build-win/tests/unit_tests.exe --gtest_brief=1 || status=$?
  ((status == 127)) || break
done
((status == 0)) || exit "$status"
WINEPREFIX=$wine_prefix /usr/lib/wine/wineserver -k || true
rm -rf "$wine_prefix"

# A short run of each fuzz target from its seeds, so that regressions show.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMBERLIX_FUZZ=ON \
  -DTAMBERLIX_TESTS=OFF >/dev/null
cmake --build build-fuzz -j "$jobs"
fuzz_seconds=${FUZZ_SECONDS:-20}
for target in CmdLin Date DosAttrib; do
  work=$(mktemp -d)
  cp fuzz/corpus/$target/* "$work"/
  (cd "$work" && "$top/build-fuzz/fuzz/${target}Fuzz" -max_total_time="$fuzz_seconds" -max_len=4096 \
    "$work" >fuzz.log 2>&1) || { tail -n 40 "$work/fuzz.log"; echo "fuzz: $target found a fault"; exit 1; }
  echo "fuzz: $target ran ${fuzz_seconds}s clean"
  rm -rf "$work"
done

export TAMBERLIX_BINS="build/Tamberlix:build-asan/Tamberlix"
export TAMBERLIX_EXE="build-win/Tamberlix.exe"
cd tests/e2e
exec /usr/bin/python3 -m pytest -q -p no:cacheprovider "$@"
