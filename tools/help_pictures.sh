#!/usr/bin/env bash
# Makes the help's pictures in docs/help/ from the running editor, worked as a
# person would (X mouse and keys through xdotool) on a display of its own:
# the window, the five menus, the card before and after each effect, the
# three settings dialogs and the information dialog. With
# MURKEL_SCREENSHOT_LANGUAGE=en, the English page's pictures (en-*.png) of
# the editor under an English locale.
#   tools/help_pictures.sh [FOLDER]
set -euo pipefail
MURKEL_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$MURKEL_ROOT"
out=$(realpath -m "${1:-docs/help}")
mkdir -p "$out"

source tools/screenshot_common.sh

# The Edit menu's letters for the five effects, and each dialog's menu
# letters (the Japanese pictures open the dialogs by a click, menu x and item
# y on screen).
if [ "${MURKEL_SCREENSHOT_LANGUAGE:-ja}" = en ]; then
  prefix=en- effect_letters=(m b d s f) dialogs=(s+m:settings-mosaic s+b:settings-blur s+s:settings-scramble h+a:information)
else
  prefix="" effect_letters=(m g b s p) dialogs=(215:31:settings-mosaic 215:48:settings-blur 215:66:settings-scramble 275:48:information)
fi

# The card's part of the screen (the picture's 150,150 to 570,330).
shoot_card() { import -window root -crop 420x180+$((150 + 5))+$((150 + canvas_top + 5)) +repage "$out/$prefix$1"; }
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

import -window root -crop 800x620+0+0 +repage "$out/${prefix}window.png"
drag_over_phone_number
shoot_card before.png
for menu in f e v s h; do
  xdotool key alt+$menu; sleep 0.7
  # The Edit menu, with its find and history items, is the tallest.
  height=230
  [ $menu = e ] && height=340
  import -window root -crop 400x${height}+0+0 +repage "$out/${prefix}menu-$menu.png"
  xdotool key Escape Escape; sleep 0.3
done
# An item's letter, or for the secure effects (which have none) the arrow
# keys from Undo down to their place.
secure_mosaic_keys=Down,Down,Down,Down,Down,Down,Return
for effect in "${effect_letters[0]}":mosaic "${effect_letters[1]}":blur "${effect_letters[2]}":diffusion \
  "${effect_letters[3]}":scramble "${effect_letters[4]}":fill \
  $secure_mosaic_keys:secure-mosaic Down,$secure_mosaic_keys:secure-blur; do
  xdotool key alt+e; sleep 0.5
  IFS=, read -r -a keys <<<"${effect%%:*}"
  xdotool key "${keys[@]}"; sleep 1
  shoot_card "effect-${effect#*:}.png"
  xdotool key alt+e; sleep 0.5
  xdotool key u; sleep 1  # Undo, so that each effect starts from the card
done

# Each dialog through its menu item, by its letters or clicked.
for dialog in "${dialogs[@]}"; do
  known=$(xdotool search --onlyvisible --class murkel.exe || true)
  if [ -n "$prefix" ]; then
    IFS=:+ read -r menu item name <<<"$dialog"
    xdotool key alt+$menu; sleep 0.5
    xdotool key "$item"
  else
    IFS=: read -r menu_x item_y name <<<"$dialog"
    xdotool mousemove "$menu_x" 9 click 1; sleep 0.5
    xdotool mousemove "$menu_x" "$item_y" click 1
  fi
  id=$(new_window); sleep 1
  import -window "$id" "$out/$prefix$name.png"
  xdotool windowfocus "$id"; sleep 0.3
  xdotool key alt+F4
  for _ in $(seq 50); do xdotool search --onlyvisible --class murkel.exe | grep -qx "$id" || break; sleep 0.1; done
done
echo "wrote the pictures into $out"
