#!/usr/bin/env bash
# Configures and builds DA1011 into build/ (the application folder is build/app).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$root/build" -G Ninja "$@" >/dev/null
cmake --build "$root/build"
