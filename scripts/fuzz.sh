#!/usr/bin/env bash
# usage: scripts/fuzz.sh SECONDS | --build
# Builds the libFuzzer targets with clang in build-fuzz and runs each one for
# SECONDS seconds on a copy of its seed corpus (--build: only builds). Exits
# non-zero when a target cannot be built or finds a crash (the input is kept
# in build-fuzz/crashes).
set -uo pipefail
if [ $# -ne 1 ] || { [ "$1" != --build ] && { ! [[ $1 =~ ^[0-9]+$ ]] || [ "$1" -eq 0 ]; }; }; then
    echo "usage: $0 SECONDS | --build" >&2
    exit 2
fi
seconds=$1
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build-fuzz"
targets=(fuzz_hex_records fuzz_pic_translate fuzz_config_file fuzz_qtp)

# A tree configured with another compiler cannot be switched to clang in place.
if [ -f "$build/CMakeCache.txt" ] && ! grep -q '^CMAKE_CXX_COMPILER:[A-Z]*=.*clang' "$build/CMakeCache.txt"; then
    rm -rf "$build"
fi
if ! CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DORVAN_FUZZ=ON -DORVAN_GUI=OFF -DCMAKE_UNITY_BUILD=ON >"$build.configure.log" 2>&1; then
    echo "error: configuring $build failed:" >&2
    tail -n 30 "$build.configure.log" >&2
    exit 1
fi
cmake --build "$build" --target "${targets[@]}" -j "$(nproc)" || { echo "error: building the fuzz targets failed" >&2; exit 1; }
[ "$seconds" = --build ] && exit 0

mkdir -p "$build/crashes"
# The targets run side by side, each for SECONDS: the stage takes SECONDS
# whatever the number of targets.
fuzz_one() {
    local t=$1 corpus log
    corpus=$(mktemp -d)
    cp -r "$top/fuzz/corpus/${t#fuzz_}/." "$corpus/"
    log="$build/$t.log"
    if "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -artifact_prefix="$build/crashes/$t-" "$corpus" >"$log" 2>&1; then
        echo "$t: $(grep -Eo '#[0-9]+' "$log" | tail -n 1 | tr -d '#') runs, no crash"
        rm -rf "$corpus"
    else
        echo "$t: FAILED (see $log)" >&2
        tail -n 40 "$log" >&2
        rm -rf "$corpus"
        return 1
    fi
}
pids=()
for t in "${targets[@]}"; do
    fuzz_one "$t" &
    pids+=($!)
done
status=0
for pid in "${pids[@]}"; do
    wait "$pid" || status=1
done
exit $status
