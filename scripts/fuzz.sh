#!/bin/sh
# Builds the fuzz targets with clang, libFuzzer, AddressSanitizer and UBSan in build-fuzz/,
# then runs each for SECONDS (60 unless given), one after another.
#   scripts/fuzz.sh [SECONDS] [TARGET...]      targets: see fuzz/CMakeLists.txt
# New inputs collect in build-fuzz/fuzz/corpus/TARGET, crashes in build-fuzz/fuzz/crashes/.
# A crash found belongs in fuzz/corpus/TARGET/ and in an ordinary test, once fixed.
# Needs clang and libclang-rt-14-dev (Debian).
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
[ $# -gt 0 ] && shift
build=build-fuzz

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DCARDHOLD_FUZZ=ON -DCARDHOLD_BUILD_TESTS=OFF -DCARDHOLD_BUILD_BENCHMARKS=OFF >/dev/null
targets=${*:-$(cat "$build/fuzz/targets.txt")}
cmake --build "$build" -j2 --target $(for t in $targets; do printf '%s_fuzz ' "$t"; done)

mkdir -p "$build/fuzz/crashes"
failed=0
summary=""
for t in $targets; do
    work="$build/fuzz/corpus/$t"
    mkdir -p "$work"
    dict=""
    [ -f "fuzz/dict/$t.dict" ] && dict="-dict=fuzz/dict/$t.dict"
    echo "== $t: $seconds s"
    # shellcheck disable=SC2086
    if ! "$build/fuzz/${t}_fuzz" "$work" "fuzz/corpus/$t" $dict -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/fuzz/crashes/$t-" \
        >"$build/fuzz/$t.log" 2>&1; then
        failed=1
        grep -E "^==[0-9]+==ERROR|^SUMMARY|artifact" "$build/fuzz/$t.log" || tail -20 "$build/fuzz/$t.log"
    fi
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$build/fuzz/$t.log" | grep -o '[0-9]*$' || echo "?")
    cov=$(grep -oE '^#[0-9]+.*cov: [0-9]+ ft: [0-9]+' "$build/fuzz/$t.log" | tail -1 | grep -oE 'cov: [0-9]+ ft: [0-9]+' || echo "cov: ?")
    summary="$summary$(printf '%-14s %12s runs  %s' "$t" "$runs" "$cov")\n"
done
printf '\n%b' "$summary"
exit $failed
