# Sourced by the screenshot tools (with MURKEL_ROOT set and the current folder
# there): builds the editor, makes the photo-like card with a name, a phone
# number and an address, and starts the editor on it on a display of its own.
# MURKEL_SCREENSHOT_LANGUAGE=en makes the card English and runs the editor
# under an English locale (ja, the default: Japanese).
bash scripts/install-deps.sh
command -v xdotool >/dev/null || apt-get install -y -q xdotool
source scripts/wine-env.sh
build_windows "$MURKEL_WINE_BITS" --target murkel murkel-launch

work=$(mktemp -d)
font=/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf
if [ "${MURKEL_SCREENSHOT_LANGUAGE:-ja}" = en ]; then
  # The number where the Japanese card has it, under the same drag.
  card_text=(-draw "text 185,210 'Name: Taro Yamada'" -draw "text 185,262 'Tel:'" -draw "text 275,262 '090-1234-5678'"
             -pointsize 20 -draw "text 185,305 '1-2-3 Chiyoda, Tokyo'")
  editor_locale=C.UTF-8
else
  card_text=(-draw "text 185,210 '氏名: 山田 太郎'" -draw "text 185,262 '電話: 090-1234-5678'"
             -pointsize 20 -draw "text 185,305 '東京都千代田区1-2-3'")
  editor_locale=ja_JP.UTF-8
fi
convert -size 720x480 -seed 11 plasma:peru-steelblue -blur 0x6 \
  \( -size 720x480 gradient:'#ffffff40-#00000060' \) -compose overlay -composite \
  -fill '#fffbf0e0' -draw "roundrectangle 150,150 570,330 18,18" \
  -font "$font" -fill '#203040' -pointsize 30 "${card_text[@]}" \
  -type truecolor BMP3:"$work/card.bmp"

unset DISPLAY
start_xvfb
init_wine_prefix
trap 'stop_wine_and_xvfb; rm -rf "$work"' EXIT

LC_ALL=$editor_locale LANG=$editor_locale wine "$MURKEL_WIN_BUILD/bin/murkel-launch.exe" "$(winepath -w "$MURKEL_WIN_BUILD/bin/murkel.exe")" \
  "$(winepath -w "$work/card.bmp")" &
window=$(xdotool search --sync --name 'MURKEL_Pro' | head -1)
xdotool windowmove "$window" 0 0 windowsize "$window" 800 620
sleep 1

# Image point (x, y) on screen: the frame at (0, 0) has no border without a
# window manager; the canvas starts below the menu bar, the picture 5 px in.
canvas_top=19
at() { echo $(($1 + 5)) $(($2 + canvas_top + 5)); }

# A drag over the phone number, as a hand would move.
drag_over_phone_number() {
  xdotool mousemove $(at 268 224); sleep 0.3
  xdotool mousedown 1; sleep 0.2
  for step in 1 2 3 4 5 6 7 8; do
    xdotool mousemove $(at $((268 + step * 26)) $((224 + step * 6))); sleep 0.06
  done
  sleep 0.2
  xdotool mouseup 1; sleep 0.3
}
