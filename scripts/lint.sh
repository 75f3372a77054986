#!/usr/bin/env bash
# The static checks, run by CTest (label lint, `ctest --preset tidy`):
#   lint.sh format        clang-format finds nothing to change in any source
#   lint.sh tidy BUILD    clang-tidy (.clang-tidy) finds nothing in the program's and the
#                         tests' sources, compiled as in BUILD/compile_commands.json
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

case ${1:-} in
  format)
    mapfile -t sources < <(git ls-files '*.cpp' '*.h')
    clang-format --dry-run -Werror "${sources[@]}"
    echo "formatting clean (${#sources[@]} files)" ;;
  tidy)
    build=${2:?"usage: $0 tidy BUILD_DIR"}
    mapfile -t sources < <(git ls-files '*.cpp' | grep -v '^tests/fuzz/')
    log=$(mktemp)
    trap 'rm -f "$log"' EXIT
    status=0
    run-clang-tidy -quiet -p "$build" -j "$(nproc)" "${sources[@]}" >"$log" 2>&1 || status=$?
    if [[ $status -ne 0 ]] || grep -qE 'warning:|error:' "$log"; then
      grep -E 'warning:|error:' "$log" | head -50
      [[ $status -ne 0 ]] && tail -20 "$log"
      exit 1
    fi
    echo "clang-tidy clean (${#sources[@]} files)" ;;
  *) echo "usage: $0 format | tidy BUILD_DIR" >&2; exit 2 ;;
esac
