#!/usr/bin/env bash
# Installs what is missing, then builds and runs each set of checks by its CMake preset:
# clang-format and clang-tidy, the sanitizer tests, bounded fuzzing, and every test headless
# (whose summary comes last). DA1011_FUZZ_SECONDS sets the seconds per fuzzer (30).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" test
cd "$root"
for preset in tidy asan fuzz default; do
  printf '\n== %s\n' "$preset"
  cmake --workflow --preset "$preset"
done
