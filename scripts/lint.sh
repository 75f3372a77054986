#!/usr/bin/env bash
# The static checks, run by CTest (label lint, `ctest --preset tidy`):
#   lint.sh format        clang-format finds nothing to change in any source
#   lint.sh tidy BUILD    clang-tidy (.clang-tidy) finds nothing in the program's and the
#                         tests' sources, compiled as in BUILD/compile_commands.json; files
#                         found clean before with nothing they see changed are not checked again
#   lint.sh layers [ROOT] every `#include "…"` of the sources under ROOT (this checkout) goes
#                         to the file's own folder or to one that its row of the README's
#                         layout table may include, and every source folder has a row
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# The layout table of ROOT's README as lines "folder allowed…": a row's first column names the
# folder, its last the folders it may include (or "anything").
layout_rules() {
  awk '/^## Layout/ { on = 1; next } /^## / { on = 0 }
       on && /^\| `/ {
         n = split($0, cell, "|"); folder = cell[2]; may = cell[n - 1]
         gsub(/[` ]/, "", folder)
         line = folder
         if (may ~ /anything/) line = line " anything"
         while (match(may, /`[^`]*\/`/)) {
           line = line " " substr(may, RSTART + 1, RLENGTH - 2); may = substr(may, RSTART + RLENGTH)
         }
         print line
       }' "$1/README.md"
}

check_layers() {
  local top=$1 file folder best target rule ok bad=0 count=0
  declare -A may
  while read -r folder rule; do may[$folder]=$rule; done < <(layout_rules "$top")
  while IFS= read -r file; do
    count=$((count + 1))
    folder=${file%/*}/ best=
    for rule in "${!may[@]}"; do
      [[ $folder == "$rule"* && ${#rule} -gt ${#best} ]] && best=$rule
    done
    if [[ -z $best ]]; then
      echo "$file: its folder $folder has no row in README.md's layout table"; bad=1; continue
    fi
    [[ ${may[$best]} == anything ]] && continue
    while IFS= read -r target; do
      target=${target%/*}/ ok=0
      [[ $target == "$best"* ]] && ok=1
      for rule in ${may[$best]}; do [[ $target == "$rule"* ]] && ok=1; done
      if [[ $ok -eq 0 ]]; then
        echo "$file: includes $target, which $best may not include (README.md, Layout)"; bad=1
      fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\/[^"]*\)".*/\1/p' "$top/$file")
  done < <(cd "$top" && find . \( -name .git -o -name 'build*' \) -prune -o \
             \( -name '*.cpp' -o -name '*.h' \) -type f -print | sed 's|^\./||' | sort)
  [[ $bad -eq 0 ]] && echo "includes follow the layout table ($count files)"
  return $bad
}

case ${1:-} in
  format)
    mapfile -t sources < <(git ls-files '*.cpp' '*.h')
    clang-format --dry-run -Werror "${sources[@]}"
    echo "formatting clean (${#sources[@]} files)" ;;
  tidy)
    build=${2:?"usage: $0 tidy BUILD_DIR"}
    mapfile -t sources < <(git ls-files '*.cpp' | grep -v '^tests/fuzz/')
    # A file found clean is not checked again while nothing it may see has changed: its own
    # text, any header of the checkout, its compile command, the checks and the tool. The
    # record lives beside the compiler cache, outside the checkout, and its keys name no
    # checkout folder, so a fresh clone on the same machine checks only what changed.
    cache=$(ccache -k cache_dir 2>/dev/null || true)
    clean=${DA1011_TIDY_RECORD:-${cache:-${XDG_CACHE_HOME:-$HOME/.cache}/ccache}/../da1011-tidy-clean}
    mkdir -p "$clean"
    mapfile -t keys < <(python3 - "$root" "$build/compile_commands.json" "${sources[@]}" <<'PY'
import hashlib, json, subprocess, sys
top = sys.argv.pop(1)
commands = {e["file"]: (e.get("command") or " ".join(e["arguments"])).replace(top, "<top>")
            for e in json.load(open(sys.argv[1]))}
common = hashlib.sha256()
for path in sorted(subprocess.run(["git", "ls-files", "*.h", ".clang-tidy"], check=True,
                                  capture_output=True, text=True).stdout.split()):
    common.update(path.encode() + b"\0" + open(path, "rb").read())
common.update(subprocess.run(["clang-tidy", "--version"], capture_output=True).stdout)
for source in sys.argv[2:]:
    key = common.copy()
    key.update(open(source, "rb").read())
    key.update(next((c for f, c in commands.items() if f.endswith("/" + source)), "").encode())
    print(key.hexdigest())
PY
    )
    pending=() pendingKeys=()
    for i in "${!sources[@]}"; do
      [[ -e "$clean/${keys[$i]}" ]] || { pending+=("${sources[$i]}"); pendingKeys+=("${keys[$i]}"); }
    done
    if [[ ${#pending[@]} -gt 0 ]]; then
      log=$(mktemp)
      trap 'rm -f "$log"' EXIT
      status=0
      run-clang-tidy -quiet -p "$build" -j "$(nproc)" "${pending[@]}" >"$log" 2>&1 || status=$?
      if [[ $status -ne 0 ]] || grep -qE 'warning:|error:' "$log"; then
        grep -E 'warning:|error:' "$log" | head -50
        [[ $status -ne 0 ]] && tail -20 "$log"
        exit 1
      fi
      for key in "${pendingKeys[@]}"; do : >"$clean/$key"; done
    fi
    echo "clang-tidy clean (${#sources[@]} files, ${#pending[@]} checked now)" ;;
  layers) check_layers "${2:-$root}" ;;
  *) echo "usage: $0 format | tidy BUILD_DIR | layers [ROOT]" >&2; exit 2 ;;
esac
