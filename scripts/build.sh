#!/usr/bin/env bash
# Configures and builds DA1011 into build/ (the application folder is build/app).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cmake --preset default "$@" >/dev/null
cmake --build --preset default
