#!/bin/sh
# InstalledSimConnect.sh PREFIX: the installed writer-sim and orvan-cli find
# each other through ports.map, with nothing from the build tree.
set -u
prefix=$1
dir=$(mktemp -d)
sim=
cleanup() {
    [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
    rm -rf "$dir"
}
trap cleanup EXIT
cd "$dir" || exit 1
"$prefix/bin/writer-sim" --model OV128 --ports-map ports.map --port Com1 >sim.out 2>&1 &
sim=$!
# writer-sim writes ports.map once its pty is open.
for _ in $(seq 100); do
    grep -q '^Com1 ' ports.map 2>/dev/null && break
    kill -0 "$sim" 2>/dev/null || { echo "writer-sim ended:"; cat sim.out; exit 1; }
    sleep 0.05
done
out=$(env -i PATH=/usr/bin:/bin "$prefix/bin/orvan-cli" -P Com1 -d OV128 connect 2>&1)
rc=$?
echo "$out"
[ $rc -eq 0 ] || { echo "orvan-cli connect exited $rc"; exit 1; }
echo "$out" | grep -qx 'Connect OK!' || { echo "no \"Connect OK!\" line"; exit 1; }
