#!/usr/bin/env bash
# Runs the real editor in a fresh program folder on an X server, answers the start-up
# reminder, quits with the Quitter button, then looks at the files left on disk.
# Usage (under xvfb-run): smoke.sh PATH_TO_ORBELIN
set -euo pipefail

programme="$1"
dossier=$(mktemp -d)
trap 'rm -rf "$dossier"' EXIT
cp "$programme" "$dossier/orbelin"
cd "$dossier"

echec() { echo "FAIL: $*"; ls -la "$dossier"; exit 1; }

./orbelin > sortie.txt 2>&1 &
pid=$!

attendre_fenetre() {
  for _ in $(seq 1 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# No window manager here: give the box the focus ourselves, then press Enter on it.
appuyer_entree() {
  xdotool windowfocus --sync "$1" 2>/dev/null || true
  sleep 0.2
  xdotool key Return
}

# A first start: the welcome comes first; Escape closes it and the usual start follows.
accueil=$(attendre_fenetre "^Bienvenue$") || echec "no welcome on a first start"
xdotool windowfocus --sync "$accueil" 2>/dev/null || true
sleep 0.2
xdotool key Escape
rappel=$(attendre_fenetre "Saisie des initiales de l'auteur des questions") || echec "no reminder message"
[ -f BASE.QZF ] || echec "BASE.QZF not created"
[ "$(stat -c %s BASE.QZF)" -eq 0 ] || echec "BASE.QZF is not empty"
[ -f BASE.prm ] || echec "BASE.prm not created"
[ "$(stat -c %s BASE.prm)" -eq 0 ] || echec "BASE.prm is not empty"
appuyer_entree "$rappel"

fenetre=$(attendre_fenetre "Editeur de QCM - Pavonel") || echec "no main window"
sleep 0.3
# The Quitter button, at the bottom of the card column.
xdotool mousemove --window "$fenetre" 522 634 click 1
# An empty bank has no good answer: the editor says so, then sorts and ends.
message=$(attendre_fenetre "Orbelin") || echec "no good-answer message on quitting"
appuyer_entree "$message"

for _ in $(seq 1 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  kill "$pid"
  echec "the editor did not end after Quitter"
fi
wait "$pid" || echec "the editor ended with status $?"
[ -f base.tmp ] || echec "base.tmp missing after quitting"
[ "$(stat -c %s base.tmp)" -eq 0 ] || echec "base.tmp is not empty"
[ "$(stat -c %s BASE.QZF)" -eq 0 ] || echec "BASE.QZF changed"
echo "1 passed, 0 failed"
