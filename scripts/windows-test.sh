#!/usr/bin/env bash
# Tests the Windows package under Wine, in scratch Wine prefixes: one Russian (code page 1251)
# and one English (code page 1252, where the log must still be Windows-1251).
#
#   1. the tests that need no pseudo-terminal, cross-built and run as Windows programs by CTest;
#   2. virelan2-cli.exe from the zip against simulated units whose pseudo-terminals the prefix
#      maps to COM1 and COM3;
#   3. virelan2.exe from the zip under Xvfb, connected to a simulated unit and closed: log.txt
#      keeps its history and gains the run's lines in Windows-1251; a picture of the window goes
#      to docs/windows-wine.png;
#   4. the installer run silently, the installed program started from its Start-menu shortcut,
#      and the uninstaller.
# Makes the package first when dist/ does not hold it.  Exits non-zero when anything failed.
#
#   scripts/windows-test.sh                      everything above
#   scripts/windows-test.sh FUNCTION...          only the named functions of the Wine driver
#                                                (tests/wine/test_wine.cpp), code page 1251
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
version=2.0
name=virelan2-$version-win64
dist=$here/dist
build=${VIRELAN2_WIN_BUILD:-$here/build-win}
host_build=${VIRELAN2_HOST_BUILD:-$here/build-host}
cache=${VIRELAN2_QT_WIN:-$HOME/.cache/virelan2/qt-6.4.2-mingw}
prefix=$cache/prefix
nice_=(nice -n 10)

say() { printf '== %s\n' "$*"; }

if [ "${VIRELAN2_WINE_NS:-}" != 1 ]; then
    if [ ! -f "$dist/$name.zip" ] || [ ! -f "$dist/$name-setup.exe" ] || [ ! -d "$build" ]; then
        "$here/scripts/windows-package.sh"
    fi
    for c in wine wineserver Xvfb xdotool unshare; do
        command -v "$c" >/dev/null || { echo "windows-test: $c is missing (run scripts/windows-package.sh)" >&2; exit 1; }
    done
    # A mount namespace of its own, in which the machine's serial ports are empty files: Wine
    # gives each /dev/ttyS* a COM number, and reading one that has no hardware behind it hangs
    # Wine's serial layer, so the start-up scan would never end.
    if [ "$(id -u)" -eq 0 ]; then
        exec unshare -m --propagation private env VIRELAN2_WINE_NS=1 "$0" "$@"
    else
        exec unshare -rm --propagation private env VIRELAN2_WINE_NS=1 "$0" "$@"
    fi
fi

work=$(mktemp -d /tmp/virelan2-wine.XXXXXX)
blank=$work/no-such-port
: > "$blank"
for t in /dev/ttyS*; do
    [ -e "$t" ] && mount --bind "$blank" "$t"
done

xvfb_pid=
cleanup() {
    for p in "$work"/prefix-*; do
        [ -d "$p" ] && WINEPREFIX=$p wineserver -k 2>/dev/null || true
    done
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A scratch home: an installer's shortcuts and Wine's menu entries must not reach the real
# desktop.  No Mono or Gecko downloads; no menu builder.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
export XDG_CACHE_HOME=$work/home/.cache
mkdir -p "$HOME/Documents"
export WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x900x24 -nolisten tcp -ac >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=:$display

results=()
failed=0
step() {  # title command...
    local title=$1; shift
    say "$title"
    if "$@"; then
        results+=("PASS  $title")
    else
        results+=("FAIL  $title")
        failed=1
    fi
}

makeprefix() {  # folder locale
    WINEPREFIX=$1 LANG=$2 LC_ALL=$2 wineboot -i >/dev/null 2>&1
    WINEPREFIX=$1 wineserver -w
}

ru=ru_RU.UTF-8
en=en_US.UTF-8
say "Making the scratch Wine prefixes"
makeprefix "$work/prefix-ru" "$ru"
makeprefix "$work/prefix-en" "$en"

# The package as a user gets it: unpacked from the zip.
(cd "$work" && unzip -q "$dist/$name.zip")
folder=$work/$name

only=("$@")

# 1. Unit tests as Windows programs.
win_tests=(settings_strtoint settings_image settings_file sound_wav sound_record test_logfile windows_console)
if [ ${#only[@]} -eq 0 ]; then
say "Building the Windows tests"
"${nice_[@]}" cmake --build "$build" -j"$(nproc)" --target "${win_tests[@]}" >/dev/null
zpath() { printf 'Z:%s' "${1//\//\\}"; }
winepath_="$(zpath "$prefix/bin");$(zpath "$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")")"
winepath_+=";$(zpath /usr/x86_64-w64-mingw32/lib)"
ctest_in() {  # locale prefix
    WINEPREFIX=$2 LANG=$1 LC_ALL=$1 WINEPATH="$winepath_" \
        ctest --test-dir "$build" --output-on-failure --timeout 300 -R "^($(IFS='|'; echo "${win_tests[*]}"))\$"
}
step "Unit tests under Wine, code page 1251" ctest_in "$ru" "$work/prefix-ru"
step "Unit tests under Wine, code page 1252" ctest_in "$en" "$work/prefix-en"
fi

# 2-4. The programs against simulated units, driven from Linux.
say "Building the Linux-side driver"
"${nice_[@]}" cmake -S "$here" -B "$host_build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
"${nice_[@]}" cmake --build "$host_build" -j"$(nproc)" --target wine_driver >/dev/null
driver() {  # locale prefix [test functions...]
    local loc=$1 pfx=$2; shift 2
    WINEPREFIX=$pfx LANG=$loc LC_ALL=$loc QT_QPA_PLATFORM=xcb V2_WIN_FOLDER="$folder" \
        "$host_build/tests/wine/wine_driver" "$@"
}
driver_ru() {
    V2_WIN_SETUP="$dist/$name-setup.exe" V2_WIN_SHOT="$here/docs/windows-wine.png" driver "$ru" "$work/prefix-ru" "$@"
}
if [ ${#only[@]} -gt 0 ]; then
    step "${only[*]} under Wine, code page 1251" driver_ru "${only[@]}"
else
    step "Command line, window, installer under Wine, code page 1251" driver_ru
    step "Window and console under Wine, code page 1252" \
        driver "$en" "$work/prefix-en" windowKeepsTheLogInWindows1251 consoleShowsRussian missingPort
fi

echo
say "Summary"
printf '%s\n' "${results[@]}"
exit "$failed"
