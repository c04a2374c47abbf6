#!/usr/bin/env bash
# Installs what is missing, builds, and opens the tool against a simulated unit on COM1.
# The tool keeps its "log.txt" in the folder it is started from (default: this folder).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"
"$here/scripts/compile.sh" "$here/build" RelWithDebInfo

"$here/build/sim/unitsim" --com 1 &
sim=$!
trap 'kill -INT $sim 2>/dev/null; wait $sim 2>/dev/null || true' EXIT
# Wait for the unit's link to appear in the port folder.
ports=${XDG_DATA_HOME:-$HOME/.local/share}/virelan2/ports
for _ in $(seq 50); do [ -L "$ports/COM1" ] && break; sleep 0.1; done
"$here/build/virelan2"
