#!/usr/bin/env bash
# Installs what is missing, builds, and starts the editor. The banks live beside the
# program, in build/bin/ (the editor creates BASE.QZF there on its first start).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
tools/build.sh --target orbelin qzf
cd build/bin
exec ./orbelin
