#!/usr/bin/env bash
# The installed program on an X server: started from a read-only program folder it keeps its banks
# in the per-user data folder, with the sample bank copied there; started on a bank it works in
# the bank's own folder; started on a missing bank it says so and opens BASE.QZF; started with
# --exemple it opens the sample bank.
# Usage: premier_demarrage.sh CMAKE BUILD_DIR (it starts its own X server)
set -euo pipefail

# Its own X server, from a random number up: several test runs on one machine would otherwise
# race for the same free display. -noreset: by default the server resets when its last client
# leaves, and an editor started during that reset finds no display.
if [ "${PREMIER_DEMARRAGE_XVFB:-}" != 1 ]; then
  exec env PREMIER_DEMARRAGE_XVFB=1 QT_QPA_PLATFORM=xcb \
    xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1280x1024x24 -noreset" "$0" "$@"
fi

cmake="$1"
build="$2"
racine=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; chmod -R u+w "$racine"; rm -rf "$racine"' EXIT

etape=0
echec() { echo "FAIL (step $etape): $*"; [ -f "$racine/sortie.txt" ] && cat "$racine/sortie.txt"; echo "0 passed, 1 failed"; exit 1; }

DESTDIR="$racine/inst" "$cmake" --install "$build" --prefix /usr > /dev/null || echec "install"
programme="$racine/inst/usr/bin/orbelin"
chmod -R a-w "$racine/inst"
export XDG_DATA_HOME="$racine/donnees"
donnees="$XDG_DATA_HOME/Orbelin"
mkdir "$racine/ailleurs"

attendre_fenetre() {
  for _ in $(seq 1 300); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

attendre_serveur() {
  for _ in $(seq 1 100); do
    xdotool getdisplaygeometry > /dev/null 2>&1 && return 0
    sleep 0.1
  done
  echec "the X server does not answer"
}

# No window manager here: give the box the focus ourselves, then press Enter on it.
appuyer_entree() {
  xdotool windowfocus --sync "$1" 2>/dev/null || true
  sleep 0.2
  xdotool key Return
}

attendre_fin() {
  for _ in $(seq 1 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && echec "the editor did not end after Quitter"
  wait "$pid" || { pid=; echec "the editor ended with status $?"; }
  pid=
}

# Starts the editor from a folder of no interest, answers the reminder and quits with Quitter.
# With a blank card on screen, quitting first says that no good answer is chosen.
lancer() {
  local carteVide="$1"
  shift
  attendre_serveur
  (cd "$racine/ailleurs" && exec "$programme" "$@" > "$racine/sortie.txt" 2>&1) &
  pid=$!
  if [ "${ACCUEIL:-}" = 1 ]; then
    accueil=$(attendre_fenetre "^Bienvenue$") || echec "no welcome on the first start"
    xdotool windowfocus --sync "$accueil" 2>/dev/null || true
    sleep 0.2
    xdotool key Escape
  fi
  if [ "${ATTENDRE_ERREUR:-}" = 1 ]; then
    erreur=$(attendre_fenetre "^Erreur$") || echec "no message for the bank on the command line"
    appuyer_entree "$erreur"
  fi
  rappel=$(attendre_fenetre "Saisie des initiales de l'auteur des questions") || echec "no reminder message"
  appuyer_entree "$rappel"
  fenetre=$(attendre_fenetre "Editeur de QCM - Pavonel") || echec "no main window"
  sleep 0.3
  # The Quitter button, at the bottom of the card column.
  xdotool mousemove --window "$fenetre" 522 634 click 1
  if [ "$carteVide" = 1 ]; then
    message=$(attendre_fenetre "^Orbelin$") || echec "no good-answer message on quitting"
    appuyer_entree "$message"
  fi
  attendre_fin
}

etape=1
# 1. First start: the welcome, then the data folder is made, BASE.QZF created empty, the sample bank
# copied beside it.
ACCUEIL=1 lancer 1
for f in BASE.QZF BASE.prm base.tmp; do
  [ -f "$donnees/$f" ] || echec "$f not in the per-user data folder"
done
[ "$(stat -c %s "$donnees/BASE.QZF")" -eq 0 ] || echec "BASE.QZF is not empty"
exemple="$racine/inst/usr/share/orbelin/exemple"
for f in DEMO.qzf DEMO.prm DEMO/saturne.jpg DEMO/hexagone.jpg DEMO/diapason.wav; do
  cmp -s "$exemple/$f" "$donnees/$f" || echec "$f not copied as installed"
done
[ -w "$donnees/DEMO.qzf" ] || echec "the copied DEMO.qzf cannot be written"
ls "$racine/inst/usr/bin" | grep -qvx -e orbelin -e qzf && echec "files left in the program folder"
ls "$racine/ailleurs" | grep -q . && echec "files left in the working folder of the start"

etape=2
# 2. A later start never brings back nor replaces the sample bank.
printf 'mine' > "$donnees/DEMO.prm"
rm "$donnees/DEMO/saturne.jpg"
lancer 1
[ "$(cat "$donnees/DEMO.prm")" = mine ] || echec "DEMO.prm replaced"
[ -f "$donnees/DEMO/saturne.jpg" ] && echec "a removed sample file came back"
cp "$exemple/DEMO/saturne.jpg" "$donnees/DEMO/saturne.jpg"
cp "$exemple/DEMO.prm" "$donnees/DEMO.prm"

etape=3
# 3. A bank from the file manager: it is opened in its own folder, where the sort leaves base.tmp.
mkdir "$racine/cours"
cp -r "$exemple"/. "$racine/cours/"
chmod -R u+w "$racine/cours"
rm "$donnees/base.tmp"
lancer 0 "$racine/cours/DEMO.qzf"
[ -f "$racine/cours/base.tmp" ] || echec "no base.tmp beside the bank opened"
[ "$(stat -c %s "$racine/cours/DEMO.qzf")" -eq "$(stat -c %s "$exemple/DEMO.qzf")" ] || echec "the bank opened changed size"
[ -f "$donnees/base.tmp" ] && echec "the data folder was used for a bank of the command line"

etape=4
# 4. A bank that does not exist: the message, then the usual start on BASE.QZF.
ATTENDRE_ERREUR=1 lancer 1 "$racine/cours/ABSENT.qzf"
[ -f "$donnees/base.tmp" ] || echec "no start on BASE.QZF after a missing bank"
[ -f "$racine/cours/ABSENT.qzf" ] && echec "the missing bank was created"

etape=5
# 5. The desktop entry's second action: the sample bank of the data folder.
rm "$donnees/base.tmp"
lancer 0 --exemple
[ "$(stat -c %s "$donnees/base.tmp")" -eq "$(stat -c %s "$exemple/DEMO.qzf")" ] || echec "--exemple did not open DEMO.qzf"

echo "1 passed, 0 failed"
