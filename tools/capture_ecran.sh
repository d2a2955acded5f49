#!/usr/bin/env bash
# Takes the README's screenshot again: the editor on the sample bank in a 1024x768 screen,
# the picture of the first card in front. Needs a built tree (default build/), xvfb-run,
# xdotool and ImageMagick (tools/deps.sh installs them).
# Usage: tools/capture_ecran.sh [BUILD_DIR] [OUTPUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
sortie=$(realpath -m "${2:-packaging/capture.png}")

if [ -z "${DISPLAY:-}" ] || [ "${CAPTURE_XVFB:-}" != 1 ]; then
  exec env CAPTURE_XVFB=1 xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1024x768x24 -noreset" "$0" "$build" "$sortie"
fi

dossier=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$dossier"' EXIT
cp -r "$build/exemple"/. "$dossier/"

attendre_fenetre() {
  for _ in $(seq 1 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "no window \"$1\"" >&2
  return 1
}

QT_QPA_PLATFORM=xcb "$build/bin/orbelin" "$dossier/DEMO.qzf" > "$dossier/sortie.txt" 2>&1 &
pid=$!
rappel=$(attendre_fenetre "Saisie des initiales de l'auteur des questions")
xdotool windowfocus --sync "$rappel" 2>/dev/null || true
sleep 0.2
xdotool key Return
fenetre=$(attendre_fenetre "Editeur de QCM - Pavonel")
xdotool windowfocus --sync "$fenetre" 2>/dev/null || true
sleep 0.3
# "&Voir l'image": the first card's picture comes in front of the theme choice.
xdotool key alt+v
# The mouse out of the window, so that no help line or hover shows.
xdotool mousemove 1020 764
sleep 0.5
import -window "$fenetre" "$dossier/capture.png"
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
pid=
# Flat colours: a palette of 256 keeps it small.
convert "$dossier/capture.png" -strip -colors 256 "PNG8:$sortie"
echo "$sortie: $(identify -format '%wx%h' "$sortie"), $(stat -c %s "$sortie") bytes"
