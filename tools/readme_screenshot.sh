#!/usr/bin/env bash
# Makes docs/editor.png, the README's picture: the editor on a photo-like
# card, a drag over the phone number and Edit > Mosaic, as a person would do
# it (X mouse and keys through xdotool), on a display of its own.
#   tools/readme_screenshot.sh [OUTPUT.png] [KEY]
# KEY is the Edit menu item's access key: m mosaic (the default), g blur,
# b diffusion, s scramble, p fill.
set -euo pipefail
MURKEL_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$MURKEL_ROOT"
output=$(realpath -m "${1:-docs/editor.png}")
effect_key=${2:-m}

source tools/screenshot_common.sh
drag_over_phone_number
xdotool key alt+e; sleep 0.5
xdotool key "$effect_key"; sleep 1

import -window root -crop 800x620+0+0 +repage "$work/shot.png"
mkdir -p "$(dirname "$output")"
mv "$work/shot.png" "$output"
echo "wrote $output"
