#!/bin/sh
# The long kill campaign: qzf sort, delete and transfer on a 32767-card bank, each killed with
# SIGKILL at random moments (1000 times each by default), the bank and the destination checked
# whole, old or new, after every kill. Not part of the test command (it takes a long while).
#   tools/kill-campaign.sh [BUILD_DIR] [KILLS]
set -eu
build_dir=${1:-$(cd "$(dirname "$0")/.." && pwd)/build}
export ORBELIN_TUERIES=${2:-1000}
cmake --build "$build_dir" --target test_tuer qzf
exec "$build_dir/tests-bin/test_tuer" -maxwarnings 0
