#!/usr/bin/env bash
# Builds the program for speed and runs the benchmark; arguments go to bench/run.py.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)" >/dev/null
exec /usr/bin/python3 bench/run.py "$@"
