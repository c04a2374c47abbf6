#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite with CTest.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh" "$here/build" RelWithDebInfo
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$here/build" --output-on-failure -j2
