#!/usr/bin/env bash
# Configures and builds into the folder given (default build/), in the build type given.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$here/build}
type=${2:-RelWithDebInfo}
shift $(( $# > 2 ? 2 : $# )) || true
cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
