#!/usr/bin/env bash
# The application folder is the book's: whoever handed it over may have put files there for
# Qt to take as its own. A qt.conf beside DA1011 that moves Qt's plugins and helper programs
# into the folder (with an image format plugin and a QtWebEngineProcess there), and a plugin
# in platformthemes/ under a theme name that no installed plugin has, must all be left alone:
# none of them may run, and the book opens as usual. Each planted file leaves a marker once
# it runs.
#   qt_folders_test.sh APP_DIR QT_PLUGINS_DIR QT_DATA_DIR QT_TRANSLATIONS_DIR
#                      PLANTED_THEME_PLUGIN PLANTED_IMAGE_PLUGIN
set -euo pipefail
app_dir=$1
qt_plugins=$2
qt_data=$3
qt_translations=$4
theme_plugin=$5
image_plugin=$6
work=$(mktemp -d)
trap '[[ -n ${app_pid:-} ]] && kill "$app_pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cp -a "$app_dir" "$work/app"
app=$work/app
markers=$work/markers
mkdir "$markers"

# Qt's own data, so that a program taking this qt.conf still starts its web engine; and
# Qt's own plugins but the image formats.
cat >"$app/qt.conf" <<END
[Paths]
Data=$qt_data
Translations=$qt_translations
Plugins=$app/evil-plugins
LibraryExecutables=$app/evil-libexec
END
mkdir -p "$app/evil-plugins/imageformats" "$app/evil-libexec" "$app/platformthemes"
for folder in "$qt_plugins"/*; do
  [[ ${folder##*/} == imageformats ]] || ln -s "$folder" "$app/evil-plugins/"
done
cp "$image_plugin" "$app/evil-plugins/imageformats/"
cp "$theme_plugin" "$app/platformthemes/"
cat >"$app/evil-libexec/QtWebEngineProcess" <<END
#!/bin/sh
: >"$markers/QtWebEngineProcess"
exit 1
END
chmod +x "$app/evil-libexec/QtWebEngineProcess"

# With the flag set the book opens at once, which starts the web engine and shows pictures.
printf '1\r\n' >"$app/dontshow.txt"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" DA1011_PLANTED_MARKERS=$markers
mkdir -p "$HOME"
[[ $(id -u) -eq 0 ]] && export QTWEBENGINE_DISABLE_SANDBOX=1
log=$work/app.log
# The desktop asks for a theme by the planted plugin's name, as GNOME asks for gtk3 where
# Qt's GTK theme is not installed.
(cd "$app" && QT_QPA_PLATFORM=offscreen QT_QPA_PLATFORMTHEME=da1011-planted \
  QT_LOGGING_RULES="da1011.startup.info=true" exec ./DA1011 >"$log" 2>&1) & app_pid=$!
for _ in $(seq 300); do
  grep -q "page loaded" "$log" && break
  [[ -e $markers/QtWebEngineProcess ]] && break
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.1
done
ran=$(ls "$markers")
[[ -z $ran ]] || fail "files in the application folder were run: $(echo $ran)"
grep -q "page loaded" "$log" || { cat "$log"; fail "the book did not open"; }
echo "application folder: its qt.conf, a QtWebEngineProcess, an image format and a theme plugin there were not run; the book opened"
