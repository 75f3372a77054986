#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" test
"$root/scripts/build.sh"
# Sanitizers, fuzzing, clang-format and clang-tidy first; the full suite's summary comes last.
"$root/scripts/hardening.sh" "${DA1011_FUZZ_SECONDS:-30}"
export QT_QPA_PLATFORM=offscreen
[[ $(id -u) -eq 0 ]] && export QTWEBENGINE_DISABLE_SANDBOX=1
cd "$root/build"
ctest --output-on-failure --timeout 600
