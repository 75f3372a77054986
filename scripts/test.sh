#!/usr/bin/env bash
# Installs what is missing, then runs the checks: clang-format, the sanitizer tests and bounded
# fuzzing in one clang build, every test headless, then clang-tidy and the layering check,
# each by its CMake preset. DA1011_FUZZ_SECONDS sets the seconds per fuzzer (30).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" test
cd "$root"
# Quickest first: the formatting takes seconds. Then the sanitizer build with its tests and
# fuzzers, every test headless, and clang-tidy over what was built.
printf '\n== format\n'
bash scripts/lint.sh format
for preset in asan default tidy; do
  printf '\n== %s\n' "$preset"
  cmake --workflow --preset "$preset"
done
