#!/bin/sh
# Rebuilds the DA1011 pictures and icon in this folder:
#   welcome.gif, reader.jpg, icon16.png, DA1011.ico, and the desktop icons icon32.png ... icon256.png
# Needs python3 and ImageMagick (convert) with the URW base35 fonts.
# Run from anywhere:  sh assets/make-assets.sh
set -e
cd "$(dirname "$0")"
exec python3 make_assets.py "$@"
