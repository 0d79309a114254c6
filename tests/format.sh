#!/usr/bin/env bash
# Fails when a source drifts from .clang-format; `clang-format -i FILE` mends it.
set -euo pipefail
cd "$(dirname "$0")/.."
drift=()
while IFS= read -r -d '' file; do
  clang-format --dry-run -Werror "$file" >/dev/null 2>&1 || drift+=("$file")
done < <(git ls-files -z '*.cpp' '*.h' '*.c')
if ((${#drift[@]})); then
  printf 'format: drifts from .clang-format: %s\n' "${drift[@]}"
  exit 1
fi
echo "format: every source follows .clang-format"
