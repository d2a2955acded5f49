#!/bin/sh
# A short run of every fuzz target (20 s each by default) in a build of its own, from the seed
# corpus. Exits 77 (skipped) when clang++ is missing.
#   tools/fuzz-court.sh [SOURCE_DIR] [BUILD_DIR] [SECONDS]
set -eu
source_dir=${1:-$(cd "$(dirname "$0")/.." && pwd)}
build_dir=${2:-$source_dir/build-fuzz}
secondes=${3:-20}

if ! command -v clang++ >/dev/null 2>&1; then
    echo "clang++ is not installed: the fuzz targets are not run"
    exit 77
fi
# clang without its fuzzing and sanitizer runtimes cannot build the targets: skipped too.
essai=$(mktemp -d)
printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char *, unsigned long) { return 0; }\n' >"$essai/t.cpp"
if ! clang++ -fsanitize=fuzzer,address,undefined "$essai/t.cpp" -o "$essai/t" >/dev/null 2>&1; then
    rm -rf "$essai"
    echo "clang++ cannot link libFuzzer with the sanitizers here: the fuzz targets are not run"
    exit 77
fi
rm -rf "$essai"
cmake -S "$source_dir" -B "$build_dir" -G Ninja -DORBELIN_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" -j2

travail=$(mktemp -d)
trap 'rm -rf "$travail"' EXIT
echec=0
for cible in "$build_dir"/bin/fuzz_*; do
    nom=$(basename "$cible")
    mkdir -p "$travail/$nom"
    graines=$source_dir/fuzz/corpus/$nom
    [ -d "$graines" ] || graines=
    # New inputs go to a scratch folder: the kept corpus only changes by hand.
    if ! "$cible" -max_total_time="$secondes" -print_final_stats=1 -artifact_prefix="$travail/" \
            "$travail/$nom" $graines >"$travail/$nom.log" 2>&1; then
        echo "$nom: FAILED"
        tail -40 "$travail/$nom.log"
        echec=1
    else
        printf '%s: %s executions\n' "$nom" "$(sed -n 's/^stat::number_of_executed_units: *//p' "$travail/$nom.log")"
    fi
done
exit $echec
