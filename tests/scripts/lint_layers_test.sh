#!/usr/bin/env bash
# The layering check fails, naming the file, on an include its folder's row does not allow and
# on a folder the layout table does not name; it passes the same tree without them.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
cp "$root/README.md" "$tree/"
mkdir -p "$tree/platform/print" "$tree/welcome"
printf '#include "platform/runtime/Errors.h"\n#include "platform/print/Other.h"\n' >"$tree/platform/print/Job.cpp"
mkdir -p "$tree/app"
echo '#include "welcome/QV101.h"' >"$tree/app/Startup.cpp"
bash "$root/scripts/lint.sh" layers "$tree"

expect_refusal() {  # file, include line, words the refusal must hold
  local file=$1 line=$2 words=$3 out
  mkdir -p "$tree/${file%/*}"
  echo "$line" >"$tree/$file"
  if out=$(bash "$root/scripts/lint.sh" layers "$tree"); then
    echo "FAIL: '$line' in $file passed the layering check"; exit 1
  fi
  grep -qF "$words" <<<"$out" || { echo "FAIL: expected '$words' in: $out"; exit 1; }
  rm "$tree/$file"
}
expect_refusal welcome/Loop.h '#include "app/HandOff.h"' 'welcome/Loop.h: includes app/'
expect_refusal platform/print/Up.cpp '#include "platform/web/BrowserView.h"' 'platform/print/Up.cpp: includes platform/web/'
expect_refusal platform/runtime/Book.h '#  include "reader/QV101m.h"' 'platform/runtime/Book.h: includes reader/'
expect_refusal platform/Loose.h '#include "platform/runtime/Errors.h"' 'platform/ has no row'
echo "the layering check refuses what the layout table does not allow"
