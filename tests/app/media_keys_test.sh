#!/usr/bin/env bash
# The book plays no protected media: a page asking for the Widevine key system must not get
# the engine to load a content decryption module, also not one placed as libwidevinecdm.so
# beside DA1011 (where the engine looked when Qt's plugin folder has none) or in the
# program's lib/ folder. The planted module leaves a marker once loaded.
#   media_keys_test.sh APP_DIR HOSTILE_PAGES_DIR CXX_COMPILER
set -euo pipefail
app_dir=$1
hostile=$2
cxx=$3
work=$(mktemp -d)
trap '[[ -n ${app_pid:-} ]] && kill "$app_pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cp -a "$app_dir" "$work/app"
app=$work/app
cp "$hostile/media-keys.html" "$app/start.html"
printf '1\r\n' >"$app/dontshow.txt"

marker=$work/module-loaded
cat >"$work/module.cpp" <<END
#include <cstdio>
__attribute__((constructor)) static void leaveMarker()
{
    if (std::FILE* file = std::fopen("$marker", "w"))
        std::fclose(file);
}
END
"$cxx" -shared -fPIC -o "$app/libwidevinecdm.so" "$work/module.cpp" \
  || fail "could not build the planted module"
cp "$app/libwidevinecdm.so" "$app/lib/"

export HOME="$work/home" XDG_CONFIG_HOME="$work/config"
mkdir -p "$HOME"
[[ $(id -u) -eq 0 ]] && export QTWEBENGINE_DISABLE_SANDBOX=1
log=$work/app.log
(cd "$app" && QT_QPA_PLATFORM=offscreen exec ./DA1011 >"$log" 2>&1) & app_pid=$!
for _ in $(seq 300); do
  grep -q "media keys:" "$log" && break
  [[ -e $marker ]] && break
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.1
done
[[ -e $marker ]] && fail "the engine loaded a libwidevinecdm.so planted beside DA1011 or in lib/"
grep -q "media keys: refused" "$log" || { cat "$log"; fail "the page's request was not refused"; }
echo "protected media: $(grep -o 'media keys: .*' "$log"); no planted module loaded"
