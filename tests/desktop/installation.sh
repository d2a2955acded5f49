#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks what a desktop needs of it: the programs,
# the desktop entry, the icons, the MIME type of the banks, the manual pages and the sample bank.
# Usage: installation.sh CMAKE BUILD_DIR
set -euo pipefail

cmake="$1"
build="$2"
racine=$(mktemp -d)
trap 'rm -rf "$racine"' EXIT
echecs=0
echec() { echo "FAIL: $*"; echecs=$((echecs + 1)); }

DESTDIR="$racine" "$cmake" --install "$build" --prefix /usr > "$racine.log" 2>&1 || { cat "$racine.log"; rm -f "$racine.log"; echo "FAIL: install"; exit 1; }
rm -f "$racine.log"
usr="$racine/usr"

attendus=(bin/orbelin bin/qzf share/applications/orbelin.desktop share/mime/packages/orbelin.xml
          share/man/man1/qzf.1.gz share/man/man1/orbelin.1.gz
          share/man/fr/man1/qzf.1.gz share/man/fr/man1/orbelin.1.gz
          share/orbelin/exemple/DEMO.qzf share/orbelin/exemple/DEMO.prm
          share/icons/hicolor/scalable/apps/orbelin.svg
          share/icons/hicolor/scalable/mimetypes/application-x-orbelin-bank.svg)
for t in 16 32 48 64 128 256; do
  attendus+=("share/icons/hicolor/${t}x${t}/apps/orbelin.png"
             "share/icons/hicolor/${t}x${t}/mimetypes/application-x-orbelin-bank.png")
done
for f in "${attendus[@]}"; do
  [ -s "$usr/$f" ] || echec "$f not installed"
done
[ -x "$usr/bin/orbelin" ] && [ -x "$usr/bin/qzf" ] || echec "programs not executable"

# Each PNG has the size its folder says.
for t in 16 32 48 64 128 256; do
  for png in "$usr/share/icons/hicolor/${t}x${t}"/*/*.png; do
    [ -f "$png" ] || continue
    taille=$(file -b "$png" | sed -n 's/.*PNG image data, \([0-9]*\) x \([0-9]*\).*/\1x\2/p')
    [ "$taille" = "${t}x${t}" ] || echec "$png is $taille"
  done
done

# The desktop entry: valid, opening a bank given by the file manager, with an installed icon.
entree="$usr/share/applications/orbelin.desktop"
sortie=$(desktop-file-validate "$entree" 2>&1) || true
[ -z "$sortie" ] || echec "desktop-file-validate: $sortie"
grep -qx 'Exec=orbelin %f' "$entree" || echec "Exec does not pass the file"
grep -qx 'Icon=orbelin' "$entree" || echec "Icon is not the installed orbelin icon"
grep -q '^Categories=.*Education;' "$entree" || echec "not in the Education category"
grep -qx 'MimeType=application/x-orbelin-bank;' "$entree" || echec "MimeType differs from the MIME file"

# The MIME type: the database builds without a word; its glob is case-insensitive (no ":cs" flag), so
# that BASE.QZF is a bank as well as demo.qzf.
sortie=$(XDG_DATA_DIRS="$usr/share" update-mime-database "$usr/share/mime" 2>&1) || echec "update-mime-database failed"
[ -z "$sortie" ] || echec "update-mime-database: $sortie"
grep -qx "50:application/x-orbelin-bank:\*.qzf" "$usr/share/mime/globs2" || echec "*.qzf is not a bank, case-insensitively"
grep -qx 'application/x-orbelin-bank:application-x-orbelin-bank' "$usr/share/mime/icons" \
  || echec "the MIME type names no icon"

# Manual pages: rendered without a warning, and every verb of qzf --help has its entry.
for page in qzf orbelin; do
  sortie=$(MANWIDTH=80 man --warnings -l "$usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null) || echec "man $page failed"
  [ -z "$sortie" ] || echec "man $page: $sortie"
done
texte=$(MANWIDTH=200 man -l "$usr/share/man/man1/qzf.1.gz" 2>/dev/null)
verbes=$("$usr/bin/qzf" --help | sed -n 's/^  \([a-z][a-z]*\) .*/\1/p')
[ -n "$verbes" ] || echec "qzf --help lists no verb"
for v in $verbes; do
  grep -Eq "^ {7}qzf $v( |$)" <<< "$texte" || echec "the manual has no entry for qzf $v"
done
# The French pages: found by man -L fr (through MANPATH: man -M skips the language folders),
# rendered without a warning, every verb there too.
for page in qzf orbelin; do
  trouve=$(MANPATH="$usr/share/man" man -L fr -w "$page" 2>/dev/null) || true
  [ "$trouve" = "$usr/share/man/fr/man1/$page.1.gz" ] || echec "man -L fr $page finds '$trouve'"
  sortie=$(LANG=C.UTF-8 MANWIDTH=80 man --warnings -l "$usr/share/man/fr/man1/$page.1.gz" 2>&1 >/dev/null) \
    || echec "man fr $page failed"
  [ -z "$sortie" ] || echec "man fr $page: $sortie"
done
texte=$(LANG=C.UTF-8 MANWIDTH=200 man -l "$usr/share/man/fr/man1/qzf.1.gz" 2>/dev/null)
grep -q "^NOM" <<< "$texte" || echec "the French manual of qzf has no NOM section"
for v in $verbes; do
  grep -Eq "^ {7}qzf $v( |$)" <<< "$texte" || echec "the French manual has no entry for qzf $v"
done

# The sample bank installed is the one built.
cmp -s "$build/exemple/DEMO.qzf" "$usr/share/orbelin/exemple/DEMO.qzf" || echec "installed DEMO.qzf differs"

if [ "$echecs" -eq 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; exit 1; fi
