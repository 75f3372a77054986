#!/usr/bin/env bash
# Installs the Debian 12 packages that DA1011 needs and that are missing.
#   install-deps.sh run   what building and running the program needs
#   install-deps.sh test  that, plus what the test suite, the sanitizer and fuzzing builds and
#                         the static checks need
#   install-deps.sh screenshots  that, plus what the README's screenshots need
#   install-deps.sh accessibility  what running, plus what scripts/accessibility-check.sh needs
#   install-deps.sh speech  what running, plus what scripts/read-aloud-check.sh needs
set -euo pipefail

run_packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-private-dev qt6-webengine-dev libqt6webenginecore6-bin libgl-dev
  libcurl4-openssl-dev libcups2-dev libqpdf-dev libxml2-dev qt6-speech-dev
  fonts-liberation fonts-dejavu-core
  qt6-speech-speechd-plugin speech-dispatcher speech-dispatcher-espeak-ng
)
test_packages=(
  libcpp-httplib-dev poppler-utils qpdf python3 procps git fonts-wqy-microhei
  cups cups-client cups-bsd cups-filters
  xvfb xauth x11-utils openbox wmctrl
  clang clang-tidy clang-format libclang-rt-14-dev ccache
  dpkg-dev file lintian appstream desktop-file-utils xdotool fonts-dejavu-extra hicolor-icon-theme
)
shot_packages=(xdotool imagemagick)
a11y_packages=(xvfb x11-utils openbox xdotool dbus at-spi2-core python3-pyatspi)
speech_packages=(xvfb xauth x11-utils openbox xdotool imagemagick pulseaudio pulseaudio-utils python3)

case "${1:-run}" in
  run) wanted=("${run_packages[@]}") ;;
  test) wanted=("${run_packages[@]}" "${test_packages[@]}") ;;
  screenshots) wanted=("${run_packages[@]}" "${test_packages[@]}" "${shot_packages[@]}") ;;
  accessibility) wanted=("${run_packages[@]}" "${a11y_packages[@]}") ;;
  speech) wanted=("${run_packages[@]}" "${speech_packages[@]}") ;;
  *) echo "usage: $0 run|test|screenshots|accessibility|speech" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
[[ $(id -u) -ne 0 ]] && sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
