#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs, only those that are missing.
# Works as root, or through sudo otherwise.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libgl-dev
  qt6-translations-l10n          # Qt's own texts in French (message box buttons, file chooser)
  gstreamer1.0-plugins-good      # WAV, and MP3 (mpg123), for the sound player
  gstreamer1.0-plugins-bad       # MIDI: midiparse and fluidsynth, with its General MIDI soundfont
  fonts-dejavu-core
  xvfb xauth xdotool             # the end-to-end test runs the real window
  libbenchmark-dev               # bench/
  libzip-dev                     # QTI packages are zip files
  libxml2-dev                    # XML files to import are read by its streaming reader
  libzxing-dev                   # QR codes of the answer sheets, written and read
  libopencv-imgproc-dev          # scanned answer sheets: perspective and thresholds
  qt6-pdf-dev                    # scanned PDF pages rendered to pictures
  qt6-image-formats-plugins      # TIFF scans
  libxml2-utils nodejs           # tests: xmllint, and node for the GIFT parser
  librsvg2-bin desktop-file-utils shared-mime-info   # icons rendered, desktop entry and MIME type checked
  man-db groff-base file dpkg-dev                     # manual pages checked; dpkg-shlibdeps for the .deb
  imagemagick                    # tools/capture_ecran.sh: the README screenshot
  poppler-utils                  # tests read the printed listings' PDF back with pdftotext
  chromium-headless-shell        # tests: the students' quiz page taken in a real browser
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Some builds of nodejs bring npm and refuse Debian's npm package: it is asked only when missing.
command -v npm >/dev/null 2>&1 || missing+=(npm)
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=()
[ "$(id -u)" -ne 0 ] && SUDO=(sudo)
echo "Installing: ${missing[*]}"
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
