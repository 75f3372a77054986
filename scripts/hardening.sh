#!/usr/bin/env bash
# The hardening checks: a sanitizer build (AddressSanitizer and UndefinedBehaviorSanitizer)
# of the library and the tests that do not need the web engine, bounded fuzzing runs of the
# flag-file reader and the subscription address, clang-format and clang-tidy.
#   hardening.sh [SECONDS_PER_FUZZER]
# Expects the main build in build/ (its compile_commands.json feeds clang-tidy).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
fuzz_seconds=${1:-30}
build="$root/build-hardening"
cd "$root"

step() { printf '\n== %s\n' "$*"; }

step "sanitizer build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=clang++ -DDA1011_SANITIZE=ON -DDA1011_FUZZ=ON >/dev/null
cmake --build "$build" --target test_platform_textfile test_platform_transfer \
  test_platform_form test_welcome_window test_welcome_skip_file fuzz_flag_reader \
  fuzz_subscription_url

step "tests under the sanitizers"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" -L noweb --output-on-failure

step "fuzzing, ${fuzz_seconds}s each"
for fuzzer in flag_reader subscription_url; do
  corpus=$(mktemp -d)
  cp "$root/tests/fuzz/corpus/$fuzzer"/* "$corpus"/
  log="$build/fuzz_$fuzzer.log"
  status=0
  "$build/tests/fuzz_$fuzzer" -max_total_time="$fuzz_seconds" -max_len=65536 \
    -artifact_prefix="$build/fuzz_$fuzzer-" -print_final_stats=1 "$corpus" >"$log" 2>&1 || status=$?
  rm -rf "$corpus"
  grep -E 'stat::number_of_executed_units|Done [0-9]+ runs' "$log" | sed "s/^/fuzz_$fuzzer: /" || true
  if [[ $status -ne 0 ]]; then
    tail -40 "$log"
    echo "fuzz_$fuzzer found a failure (exit $status)" >&2
    exit 1
  fi
done

sources=$(git ls-files '*.cpp' '*.h')

step "clang-format"
# shellcheck disable=SC2086
clang-format --dry-run -Werror $sources
echo "formatting clean"

step "clang-tidy"
# shellcheck disable=SC2086
run-clang-tidy -quiet -p "$root/build" -j "$(nproc)" $(git ls-files '*.cpp' | grep -v '^tests/fuzz/') \
  >"$build/clang-tidy.log" 2>&1 || { grep -E 'warning:|error:' "$build/clang-tidy.log" | head -50; exit 1; }
if grep -qE 'warning:|error:' "$build/clang-tidy.log"; then
  grep -E 'warning:|error:' "$build/clang-tidy.log" | head -50
  exit 1
fi
echo "clang-tidy clean"
