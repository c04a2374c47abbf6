#!/bin/sh
# Starts virelan2 from the desktop's menu.  The tool keeps its "log.txt" in the folder it is
# started in, and a menu entry would start it wherever the desktop happens to be (often "/",
# which the user cannot write): start it in the user's own data folder instead, the folder that
# also holds the port folder "ports/".
set -e
if [ -z "${XDG_DATA_HOME:-}" ] && [ -z "${HOME:-}" ]; then
    echo "virelan2-launch: neither XDG_DATA_HOME nor HOME is set" >&2
    exit 1
fi
# The tool installed beside this launcher, whatever the prefix; found before leaving the folder
# the launcher was called from, in case it was called by a relative path.
bindir=$(cd "$(dirname "$0")" && pwd)
dir="${XDG_DATA_HOME:-$HOME/.local/share}/virelan2"
mkdir -p "$dir"
cd "$dir"
exec "$bindir/virelan2" "$@"
