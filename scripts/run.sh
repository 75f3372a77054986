#!/usr/bin/env bash
# Installs what is missing, builds, and starts DA1011 on the sample book.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" run
"$root/scripts/build.sh"
# Chromium's sandbox refuses to start as root.
[[ $(id -u) -eq 0 ]] && export QTWEBENGINE_DISABLE_SANDBOX=1
exec "$root/build/app/DA1011"
