#!/usr/bin/env bash
# Installs what building, running and testing the tool needs on Debian 12, where missing.
set -euo pipefail

# Debian 12's qt6-charts-dev does not pull in libqt6opengl6-dev, which Qt Charts' CMake package
# requires; locales brings the Russian locale the benchmarks also run under.  The start-up
# benchmark shows the real window on Xvfb and watches it appear through XCB and its damage
# extension, as any other X client would; the report's tests read its PDF back with
# poppler-utils.
packages=(cmake ninja-build g++ qt6-base-dev qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev
          libgl-dev locales fonts-wine fonts-dejavu-core dpkg-dev desktop-file-utils appstream
          clang libclang-rt-14-dev xvfb libxcb1-dev libxcb-damage0-dev poppler-utils)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

sudo_=()
[ "$(id -u)" -eq 0 ] || sudo_=(sudo)

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    "${sudo_[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The window is designed in Tahoma.  Debian ships a metric-compatible face with Wine's
# fonts, outside fontconfig's path: make it visible once.
fontdir=/usr/local/share/fonts/virelan2
if [ ! -e "$fontdir/tahoma.ttf" ] && [ -e /usr/share/wine/fonts/tahoma.ttf ]; then
    "${sudo_[@]}" mkdir -p "$fontdir"
    for f in tahoma.ttf tahomabd.ttf; do
        [ -e "/usr/share/wine/fonts/$f" ] && "${sudo_[@]}" ln -sf "/usr/share/wine/fonts/$f" "$fontdir/$f"
    done
    command -v fc-cache >/dev/null && "${sudo_[@]}" fc-cache -f >/dev/null 2>&1 || true
fi

# The operators' machines run in Russian; the benchmarks measure under that locale as well as C.
if ! locale -a 2>/dev/null | grep -qix 'ru_RU\.utf-\?8'; then
    if [ -f /etc/locale.gen ] && grep -q '^# *ru_RU.UTF-8 UTF-8' /etc/locale.gen; then
        "${sudo_[@]}" sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    elif ! grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
        echo 'ru_RU.UTF-8 UTF-8' | "${sudo_[@]}" tee -a /etc/locale.gen >/dev/null
    fi
    "${sudo_[@]}" locale-gen >/dev/null
fi
