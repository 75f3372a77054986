#!/usr/bin/env bash
# A library dropped beside the program and its book must never be loaded in place of a
# system library: the program's own libraries live in lib/ of the application folder, and
# no binary of the program looks for libraries in the application folder itself. A fake
# libcups.so.2 (the reader plugin's direct dependency) whose constructor leaves a marker is
# put beside the executable; opening the book must not run it.
#   library_folder_test.sh APP_DIR CXX_COMPILER
set -euo pipefail
app_dir=$1
cxx=$2
work=$(mktemp -d)
trap '[[ -n ${app_pid:-} ]] && kill "$app_pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cp -a "$app_dir" "$work/app"
app=$work/app

# Where each of the program's binaries looks for libraries: every RUNPATH or RPATH entry,
# with $ORIGIN resolved, must be the private lib/ folder, never the application folder.
binaries=0
while IFS= read -r -d '' file; do
  [[ $(head -c 4 "$file" | od -An -tx1 | tr -d ' ') == 7f454c46 ]] || continue
  binaries=$((binaries + 1))
  origin=$(dirname "$file")
  paths=$(readelf -d "$file" | sed -n 's/.*(R\(UN\)\?PATH).*\[\(.*\)\]$/\2/p')
  IFS=: read -r -a entries <<<"$paths"
  for entry in "${entries[@]}"; do
    resolved=${entry//\$\{ORIGIN\}/$origin}
    resolved=${resolved//\$ORIGIN/$origin}
    [[ $(realpath -m "$resolved") == "$(realpath "$app/lib")" ]] \
      || fail "${file#"$app"/} looks for libraries in '$entry'"
  done
done < <(find "$app" -type f -print0)
[[ $binaries -ge 4 ]] || fail "only $binaries binaries in the application folder"
[[ $(readelf -d "$app/lib/DA1011" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]$/\1/p') == '$ORIGIN' ]] \
  || fail "lib/DA1011's RUNPATH is not \$ORIGIN"

# The fake library, named like the real one, and built now for this machine.
marker=$work/fake-libcups-ran
cat >"$work/fake.cpp" <<EOF
#include <cstdio>
__attribute__((constructor)) static void leaveMarker()
{
    if (std::FILE* file = std::fopen("$marker", "w"))
        std::fclose(file);
}
EOF
"$cxx" -shared -fPIC -Wl,-soname,libcups.so.2 -o "$app/libcups.so.2" "$work/fake.cpp" \
  || fail "could not build the fake libcups.so.2"

# With the flag set the book opens at once, which loads the reader plugin and its libraries.
printf '1\r\n' >"$app/dontshow.txt"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config"
mkdir -p "$HOME"
[[ $(id -u) -eq 0 ]] && export QTWEBENGINE_DISABLE_SANDBOX=1
log=$work/app.log
(cd "$app" && QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="da1011.startup.info=true" \
  exec ./DA1011 >"$log" 2>&1) & app_pid=$!
for _ in $(seq 300); do
  grep -q "page loaded" "$log" && break
  [[ -e $marker ]] && break
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.1
done
[[ -e $marker ]] && fail "the libcups.so.2 beside the program was loaded"
grep -q "page loaded" "$log" || { cat "$log"; fail "the book did not open"; }
echo "libraries: $binaries binaries look only in lib/; a libcups.so.2 beside the program was not loaded"
