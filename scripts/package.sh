#!/usr/bin/env bash
# Builds the Debian package from a build tree and checks it with lintian:
#   scripts/package.sh [BUILD_DIR]     (default build/, configured if missing)
# The package lands in build-pkg/ as orvan-writer_<version>_<arch>.deb.
# Exits non-zero when the build, cpack or any lintian error (E:) fails.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
out=$top/build-pkg

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" -j "$(nproc)"
rm -rf "$out"
mkdir -p "$out"
# The package takes the build tree as it is (stripped while packed), no second build.
cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || {
    cat "$out/cpack.log" >&2
    exit 1
}
rm -rf "$out/_CPack_Packages"
deb=$(ls "$out"/orvan-writer_*.deb)
echo "== $deb"
dpkg-deb --field "$deb"
echo "== lintian"
rc=0
lintian --display-info --fail-on error "$deb" >"$out/lintian.log" 2>&1 || rc=$?
cat "$out/lintian.log"
if [ $rc -ne 0 ] || grep -q '^E:' "$out/lintian.log"; then
    echo "lintian reports errors" >&2
    exit 1
fi
echo "== package OK: $deb"
