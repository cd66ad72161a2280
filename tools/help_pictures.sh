#!/usr/bin/env bash
# Makes the help's pictures in docs/help/ from the running editor, worked as a
# person would (X mouse and keys through xdotool) on a display of its own:
# the window, the four menus, the card before and after each effect, the
# three settings dialogs and the information dialog.
#   tools/help_pictures.sh [FOLDER]
set -euo pipefail
MURKEL_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$MURKEL_ROOT"
out=$(realpath -m "${1:-docs/help}")
mkdir -p "$out"

source tools/screenshot_common.sh

# The card's part of the screen (the picture's 150,150 to 570,330).
shoot_card() { import -window root -crop 420x180+$((150 + 5))+$((150 + canvas_top + 5)) +repage "$out/$1"; }
# A window of the editor that was not there before: a dialog just opened.
new_window() {
  local id
  for _ in $(seq 50); do
    for id in $(xdotool search --onlyvisible --class murkel.exe); do
      grep -qx "$id" <<<"$known" || { echo "$id"; return; }
    done
    sleep 0.1
  done
  echo "no new window appeared" >&2
  return 1
}

import -window root -crop 800x620+0+0 +repage "$out/window.png"
drag_over_phone_number
shoot_card before.png
for menu in f e s h; do
  xdotool key alt+$menu; sleep 0.7
  import -window root -crop 330x230+0+0 +repage "$out/menu-$menu.png"
  xdotool key Escape Escape; sleep 0.3
done
# An item's letter, or for the secure effects (which have none) the arrow
# keys from Undo down to their place.
secure_mosaic_keys=Down,Down,Down,Down,Down,Down,Return
for effect in m:mosaic g:blur b:diffusion s:scramble p:fill \
  $secure_mosaic_keys:secure-mosaic Down,$secure_mosaic_keys:secure-blur; do
  xdotool key alt+e; sleep 0.5
  IFS=, read -r -a keys <<<"${effect%%:*}"
  xdotool key "${keys[@]}"; sleep 1
  shoot_card "effect-${effect#*:}.png"
  xdotool key alt+e; sleep 0.5
  xdotool key u; sleep 1  # Undo, so that each effect starts from the card
done

# Each dialog through its menu item, clicked (menu x, item y on screen).
for dialog in 155:31:settings-mosaic 155:48:settings-blur 155:66:settings-scramble 215:48:information; do
  IFS=: read -r menu_x item_y name <<<"$dialog"
  known=$(xdotool search --onlyvisible --class murkel.exe || true)
  xdotool mousemove "$menu_x" 9 click 1; sleep 0.5
  xdotool mousemove "$menu_x" "$item_y" click 1
  id=$(new_window); sleep 1
  import -window "$id" "$out/$name.png"
  xdotool windowfocus "$id"; sleep 0.3
  xdotool key alt+F4
  for _ in $(seq 50); do xdotool search --onlyvisible --class murkel.exe | grep -qx "$id" || break; sleep 0.1; done
done
echo "wrote the pictures into $out"
