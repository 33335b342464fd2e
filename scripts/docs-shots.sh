#!/bin/bash
# The auto-program pictures of README.md, rendered by the real dialog on the
# offscreen platform against the real writer-sim (the line test's run with
# ORVAN_SHOT set): docs/auto-program.png and docs/auto-program-line-lost.png.
# Usage: scripts/docs-shots.sh [BUILD_DIR]   (default build/)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
cmake --build "$build" -j2 --target production_line_tests
QT_QPA_PLATFORM=offscreen ORVAN_SHOT="$top/docs" \
    "$build/production/tests/production_line_tests" productionGoesOnOverALostLine
ls -l "$top/docs/auto-program.png" "$top/docs/auto-program-line-lost.png"
