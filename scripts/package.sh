#!/usr/bin/env bash
# Builds the Debian packages from a build tree and checks them with lintian:
#   scripts/package.sh [BUILD_DIR]     (default build/, configured if missing;
#   only the shipped programs and documents are built there)
# They land in build-pkg/: orvan-cli_<version>_<arch>.deb (command line,
# simulator, udev rule; no Qt) and orvan-writer_<version>_<arch>.deb (the
# desktop application, depending on the first).
# Exits non-zero when the build or cpack fails, lintian reports an error or a
# hardening tag, or orvan-cli depends on a Qt library.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
out=$top/build-pkg

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" -j "$(nproc)" --target orvan_shipped
rm -rf "$out"
mkdir -p "$out"
# The packages take the build tree as it is (stripped while packed), no second build.
cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || {
    cat "$out/cpack.log" >&2
    exit 1
}
rm -rf "$out/_CPack_Packages"
fail=0
for deb in "$out"/*.deb; do
    echo "== $deb"
    dpkg-deb --field "$deb"
    echo "== lintian"
    rc=0
    lintian --display-info --fail-on error "$deb" >"$deb.lintian.log" 2>&1 || rc=$?
    cat "$deb.lintian.log"
    if [ $rc -ne 0 ] || grep -q '^E:' "$deb.lintian.log"; then
        echo "lintian reports errors: $deb" >&2
        fail=1
    fi
    if grep -q 'hardening' "$deb.lintian.log"; then
        echo "lintian reports missing hardening: $deb" >&2
        fail=1
    fi
done
cli=$(ls "$out"/orvan-cli_*.deb 2>/dev/null || true)
if [ -z "$cli" ]; then
    echo "no orvan-cli package" >&2
    fail=1
elif dpkg-deb --field "$cli" Depends | grep -qi 'qt'; then
    echo "orvan-cli depends on Qt: $(dpkg-deb --field "$cli" Depends)" >&2
    fail=1
fi
[ $fail -eq 0 ] || exit 1
echo "== packages OK: $(cd "$out" && ls ./*.deb | tr '\n' ' ')"
