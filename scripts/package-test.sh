#!/usr/bin/env bash
# Builds the .deb from a built tree (default build/), unpacks it into a scratch root, checks what
# it installs (desktop entry, software-centre description, icons, dependencies), runs the
# unpacked command line and starts the unpacked tool through its launcher, offscreen, with the
# unpacked simulated unit on COM1.
# Nothing outside the scratch folder is touched: cpack writes there, and the tool's data folder
# is a scratch XDG_DATA_HOME.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
id=org.virelan2.virelan2

for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null || { echo "package-test: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/virelan2-package.XXXXXX")
sim=
tool=
cleanup() {
    set +e
    if [ -n "$tool" ]; then kill -KILL "$tool" 2>/dev/null; wait "$tool" 2>/dev/null; fi
    if [ -n "$sim" ]; then kill -INT "$sim" 2>/dev/null; wait "$sim" 2>/dev/null; fi
    rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "package-test: $*" >&2; exit 1; }

# The package.  cpack stages and writes below a folder of this run's own.
if ! cpack --config "$build/CPackConfig.cmake" -B "$scratch/cpack" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log" >&2
    fail "cpack failed"
fi
debs=("$scratch"/cpack/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single .deb: ${debs[*]}"
deb=${debs[0]}
echo "built $(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
depends=$(field Depends)
echo "Depends: $depends"
names=$(tr "," "\n" <<<"$depends" | sed "s/(.*//; s/ //g")
for p in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 libqt6charts6 fonts-wine; do
    grep -qx "$p" <<<"$names" || fail "the package does not depend on $p"
done
[ "$(field Package)" = virelan2 ] || fail "package name: $(field Package)"
[ "$(field Section)" = electronics ] || fail "section: $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no maintainer"
[ -n "$(field Description)" ] || fail "no description"

# The scratch root.
root=$scratch/root
dpkg-deb -x "$deb" "$root"
for f in usr/bin/virelan2 usr/bin/virelan2-cli usr/bin/unitsim usr/bin/virelan2-launch; do
    [ -x "$root/$f" ] || fail "$f is not installed as a program"
done
desktop=$root/usr/share/applications/$id.desktop
metainfo=$root/usr/share/metainfo/$id.metainfo.xml
[ -f "$desktop" ] || fail "no desktop entry"
[ -f "$metainfo" ] || fail "no metainfo"
[ -f "$root/usr/share/icons/hicolor/scalable/apps/virelan2.svg" ] || fail "no scalable icon"
for s in 16 24 32 48 64 128 256; do
    png=$root/usr/share/icons/hicolor/${s}x${s}/apps/virelan2.png
    [ -f "$png" ] || fail "no ${s}x${s} icon"
    # A PNG's width and height are the big-endian words at bytes 16 and 20.
    read -r w h < <(od -An -tu1 -j16 -N8 "$png" |
                    awk '{ print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }')
    [ "$w $h" = "$s $s" ] || fail "the ${s}x${s} icon is ${w}x${h}"
done
for f in tahoma.ttf tahomabd.ttf; do
    [ -L "$root/usr/share/fonts/truetype/virelan2/$f" ] || fail "no link to the $f face"
done

desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
# The whole tree: the launchable desktop entry and the icon are where the metainfo says.
appstreamcli validate-tree --no-net "$root" || fail "appstreamcli validate-tree"
grep -qx 'Exec=virelan2-launch' "$desktop" || fail "the desktop entry does not start the launcher"
grep -qx 'Icon=virelan2' "$desktop" || fail "the desktop entry names another icon"

# Start it as the menu would: the launcher, a data folder of the user's own, the simulated unit
# linked as COM1 in that folder's port folder.
export XDG_DATA_HOME=$scratch/data HOME=$scratch/home
export QT_QPA_PLATFORM=offscreen
unset LD_LIBRARY_PATH
mkdir -p "$HOME"
"$root/usr/bin/unitsim" --com 1 >"$scratch/unitsim.log" 2>&1 &
sim=$!
ports=$XDG_DATA_HOME/virelan2/ports
for _ in $(seq 100); do [ -L "$ports/COM1" ] && break; sleep 0.05; done
[ -L "$ports/COM1" ] || { cat "$scratch/unitsim.log" >&2; fail "unitsim linked no COM1"; }

# The command line needs no display: its version, and the port list with the unit on COM1.
cli=$root/usr/bin/virelan2-cli
version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$cli" --version) ||
    fail "virelan2-cli --version failed"
[ "$version" = "virelan2-cli $(field Version)" ] || fail "virelan2-cli --version printed: $version"
listed=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$cli" ports 2>"$scratch/cli.log") ||
    { cat "$scratch/cli.log" >&2; fail "virelan2-cli ports failed"; }
grep -qxF "COM1"$'\t'"$(readlink -f "$ports/COM1")" <<<"$listed" ||
    fail "virelan2-cli ports does not list the unit on COM1: $listed"
echo "installed virelan2-cli: $version, lists COM1"
# Its report, from the module it loads out of the package's library folder, still no display.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$cli" read COM1 "$scratch/unit.ini" 2>>"$scratch/cli.log" &&
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$cli" report "$scratch/unit.ini" \
        -o "$scratch/report.pdf" 2>>"$scratch/cli.log" ||
    { cat "$scratch/cli.log" >&2; fail "virelan2-cli report failed"; }
head -c 5 "$scratch/report.pdf" | grep -qx '%PDF-' || fail "virelan2-cli report wrote no PDF"
echo "installed virelan2-cli report: a PDF of the unit on COM1"

cd "$scratch"
"$root/usr/bin/virelan2-launch" >"$scratch/virelan2.log" 2>&1 &
tool=$!
sleep 3
if ! kill -0 "$tool" 2>/dev/null; then
    wait "$tool" && rc=0 || rc=$?
    tool=
    cat "$scratch/virelan2.log" >&2
    fail "the installed tool ended by itself within 3 s (exit $rc)"
fi
folder=$XDG_DATA_HOME/virelan2
[ "$(readlink "/proc/$tool/exe")" = "$root/usr/bin/virelan2" ] ||
    fail "the launcher ran $(readlink "/proc/$tool/exe"), not the installed tool"
[ "$(readlink "/proc/$tool/cwd")" = "$folder" ] ||
    fail "the tool runs in $(readlink "/proc/$tool/cwd"), not in $folder"
[ -f "$folder/log.txt" ] || fail "the tool made no log.txt in $folder"
[ ! -e "$scratch/log.txt" ] || fail "the tool wrote log.txt where the launcher was called from"
kill -0 "$sim" 2>/dev/null || fail "unitsim ended"

kill -TERM "$tool"
wait "$tool" 2>/dev/null || true
tool=
echo "installed tool started from the launcher in $folder against unitsim on COM1: ok"
