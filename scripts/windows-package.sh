#!/usr/bin/env bash
# Makes the Windows package on Debian 12: dist/virelan2-2.0-win64.zip and
# dist/virelan2-2.0-win64-setup.exe.
#
# Qt 6.4.2 (the version of Debian's host tools) is cross-built for MinGW-w64 once into a cache
# outside the clone, ~/.cache/virelan2/qt-6.4.2-mingw or the folder VIRELAN2_QT_WIN names; later
# runs reuse it.  The first build takes 20-30 minutes on two cores.  Remove the folder to rebuild.
#
# Qt Serial Port and Qt Charts are not served as Debian sources: their upstream v6.4.2 tarballs
# are taken from VIRELAN2_QT_MODULES (default: ../shared/qt-src beside the clone) and checked
# against the SHA256SUMS file there.
#
# Options: --qt-only   build the Qt cache and stop
#          --no-deps   do not install Debian packages
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
qt_only=0
install_deps=1
for a in "$@"; do
    case "$a" in
        --qt-only) qt_only=1 ;;
        --no-deps) install_deps=0 ;;
        -h|--help) sed -n '2,15p' "$0"; exit 0 ;;
        *) echo "windows-package: unknown option $a" >&2; exit 2 ;;
    esac
done

version=2.0
qt_version=6.4.2
triple=x86_64-w64-mingw32
cache=${VIRELAN2_QT_WIN:-$HOME/.cache/virelan2/qt-$qt_version-mingw}
modules_dir=${VIRELAN2_QT_MODULES:-$here/../shared/qt-src}
[ -d "$modules_dir" ] || modules_dir=/work/shared/qt-src
toolchain=$here/packaging/windows/mingw-w64-x86_64.cmake
prefix=$cache/prefix
build=${VIRELAN2_WIN_BUILD:-$here/build-win}
dist=$here/dist
jobs=${JOBS:-$(nproc)}
nice_=(nice -n 10)

say() { printf '== %s\n' "$*"; }
die() { printf 'windows-package: %s\n' "$*" >&2; exit 1; }

sudo_=()
[ "$(id -u)" -eq 0 ] || sudo_=(sudo)

# ---------------------------------------------------------------------------------------------
# Debian packages
# ---------------------------------------------------------------------------------------------
if [ "$install_deps" = 1 ]; then
    packages=(cmake ninja-build g++ dpkg-dev xz-utils zip unzip
              qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev
              g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
              nsis wine wine64 xvfb xauth xdotool util-linux)
    missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        say "Installing: ${missing[*]}"
        "${sudo_[@]}" apt-get update -qq
        DEBIAN_FRONTEND=noninteractive "${sudo_[@]}" apt-get install -y -qq --no-install-recommends \
            "${missing[@]}" >/dev/null
    fi
    # The Wine tests run under a Russian and an English locale (code pages 1251 and 1252); Wine
    # takes the code page and the file names' charset from them, so both must exist.
    for loc in ru_RU en_US; do
        if ! locale -a 2>/dev/null | grep -qix "$loc\.utf-\?8"; then
            dpkg-query -W -f='${Status}' locales 2>/dev/null | grep -q "install ok installed" \
                || DEBIAN_FRONTEND=noninteractive "${sudo_[@]}" apt-get install -y -qq locales >/dev/null
            if grep -q "^# *$loc.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null; then
                "${sudo_[@]}" sed -i "s/^# *\($loc.UTF-8 UTF-8\)/\1/" /etc/locale.gen
            elif ! grep -q "^$loc.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null; then
                echo "$loc.UTF-8 UTF-8" | "${sudo_[@]}" tee -a /etc/locale.gen >/dev/null
            fi
            "${sudo_[@]}" locale-gen >/dev/null
        fi
    done
fi

# ---------------------------------------------------------------------------------------------
# Qt for Windows, built once into the cache
# ---------------------------------------------------------------------------------------------
# Only what the tool uses.  Changing these options rebuilds the module whose options changed.
# Measured with 6.4.2: Direct2D must stay on, since qtbase compiles its DirectWrite font engine
# only with it and the Windows platform plugin links that engine; PrintSupport (unused) does not
# link with this configuration; OpenGL off needs dynamicgl off for the platform plugin to build;
# Debian's source has no wintab, hence no tablet events.  QPdfWriter and QTextDocument are Gui's.
qtbase_options=(
    -DCMAKE_BUILD_TYPE=Release -DFEATURE_optimize_size=ON -DBUILD_SHARED_LIBS=ON
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
    -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_xml=OFF
    -DFEATURE_concurrent=OFF
    -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF -DFEATURE_vulkan=OFF
    -DFEATURE_direct2d=ON
    -DFEATURE_tabletevent=OFF -DFEATURE_sessionmanager=OFF
    -DFEATURE_textmarkdownreader=OFF -DFEATURE_textmarkdownwriter=OFF -DFEATURE_textodfwriter=OFF
    -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_ico=OFF -DFEATURE_zstd=OFF
    -DFEATURE_pkg_config=OFF -DFEATURE_icu=OFF -DFEATURE_glib=OFF
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_doubleconversion=OFF
    -DFEATURE_printsupport=OFF -DFEATURE_pdf=ON -DFEATURE_textdocument=ON -DFEATURE_testlib=ON
)
charts_options=()
serialport_options=()

# The host tools (moc, rcc, uic) of Debian's qt6-base-dev-tools build the Windows Qt: they must
# be the same version.
host_qt=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools 2>/dev/null || true)
case "$host_qt" in
    "$qt_version"*) ;;
    *) die "qt6-base-dev-tools $qt_version is needed (found '${host_qt:-none}')" ;;
esac

stamp_of() { printf '%s\n' "$qt_version" "$host_qt" "$(sha256sum "$toolchain" | cut -d' ' -f1)" "$@"; }
stamp_ok() { [ -f "$prefix/.stamp-$1" ] && [ "$(cat "$prefix/.stamp-$1")" = "$2" ]; }

# qtbase: Debian's own source package, fetched with a private deb-src list and private apt state
# so that the machine's package lists and sources stay as they are.
fetch_qtbase() {
    local apt=$cache/apt
    rm -rf "$apt" && mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/src" "$apt/parts"
    : > "$apt/sources.list"
    # Each Debian 'deb' source of this machine, as a 'deb-src' line with the same keyring.
    local f
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] || continue
        sed -n 's/^[[:space:]]*deb[[:space:]]\+/deb-src /p' "$f" | grep -i debian >> "$apt/sources.list" || true
    done
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        awk '
            function flush() {
                if (types ~ /(^| )deb( |$)/ && uris ~ /debian/ && enabled != "no") {
                    n = split(suites, s, " ")
                    for (i = 1; i <= n; i++)
                        printf "deb-src %s%s %s %s\n", (key != "" ? "[signed-by=" key "] " : ""), uris, s[i], comps
                }
                types = uris = suites = comps = key = enabled = ""
            }
            /^[[:space:]]*$/ { flush(); next }
            /^[[:space:]]*#/ { next }
            { v = $0; sub(/^[^:]*:[[:space:]]*/, "", v); sub(/[[:space:]]+$/, "", v) }
            tolower($1) == "types:" { types = v }
            tolower($1) == "uris:" { uris = v }
            tolower($1) == "suites:" { suites = v }
            tolower($1) == "components:" { comps = v }
            tolower($1) == "signed-by:" { key = v }
            tolower($1) == "enabled:" { enabled = tolower(v) }
            END { flush() }' "$f" >> "$apt/sources.list"
    done
    [ -s "$apt/sources.list" ] || die "no Debian source found in /etc/apt to fetch qt6-base from"
    local opts=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/parts"
                -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache"
                -o "Dir::Cache::pkgcache=" -o "Dir::Cache::srcpkgcache=" -o "APT::Sandbox::User=root")
    say "Fetching Debian's qt6-base $host_qt source"
    apt-get "${opts[@]}" update -qq
    (cd "$apt/src" && apt-get "${opts[@]}" source --download-only -qq "qt6-base=$host_qt")
    rm -rf "$cache/src/qtbase"
    mkdir -p "$cache/src"
    dpkg-source --no-check -x "$apt/src"/qt6-base_*.dsc "$cache/src/qtbase" >/dev/null
    rm -rf "$apt"
}

module_tarball() {  # name -> path, checked
    local name=$1 file=$1-$qt_version.tar.xz
    [ -f "$modules_dir/$file" ] || die "$file not found in $modules_dir (set VIRELAN2_QT_MODULES)"
    [ -f "$modules_dir/SHA256SUMS" ] || die "no SHA256SUMS in $modules_dir"
    (cd "$modules_dir" && grep " $file\$" SHA256SUMS | sha256sum --quiet -c -) \
        || die "$file does not match its checksum in $modules_dir/SHA256SUMS"
    echo "$modules_dir/$file"
}

build_qtbase() {
    local stamp; stamp=$(stamp_of "${qtbase_options[@]}")
    stamp_ok qtbase "$stamp" && return 0
    say "Building qtbase $qt_version for Windows into $prefix (20-30 minutes the first time)"
    local t0=$SECONDS
    [ -f "$cache/src/qtbase/CMakeLists.txt" ] || fetch_qtbase
    # A build folder left by an interrupted or failed build is taken up where it stopped.
    rm -rf "$prefix"
    "${nice_[@]}" cmake -S "$cache/src/qtbase" -B "$cache/build-qtbase" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        "${qtbase_options[@]}"
    "${nice_[@]}" cmake --build "$cache/build-qtbase" -j"$jobs"
    cmake --install "$cache/build-qtbase" >/dev/null
    printf '%s\n' "$stamp" > "$prefix/.stamp-qtbase"
    rm -rf "$cache/build-qtbase"
    say "qtbase built in $(( (SECONDS - t0) / 60 )) min $(( (SECONDS - t0) % 60 )) s"
}

build_module() {  # name stamp-name options...
    local name=$1; shift
    local stamp; stamp=$(stamp_of "$(cat "$prefix/.stamp-qtbase")" "$@")
    stamp_ok "$name" "$stamp" && return 0
    local tarball; tarball=$(module_tarball "$name")
    say "Building $name $qt_version for Windows"
    local t0=$SECONDS
    rm -rf "$cache/src/$name-$qt_version" "$cache/build-$name"
    mkdir -p "$cache/src"
    tar -xJf "$tarball" -C "$cache/src"
    mkdir -p "$cache/build-$name"
    (cd "$cache/build-$name" && "${nice_[@]}" "$prefix/bin/qt-configure-module" \
        "$cache/src/$name-$qt_version" -- "$@" >/dev/null)
    "${nice_[@]}" cmake --build "$cache/build-$name" -j"$jobs"
    cmake --install "$cache/build-$name" >/dev/null
    printf '%s\n' "$stamp" > "$prefix/.stamp-$name"
    rm -rf "$cache/build-$name" "$cache/src/$name-$qt_version"
    say "$name built in $(( SECONDS - t0 )) s"
}

mkdir -p "$cache"
qt_t0=$SECONDS
build_qtbase
build_module qtserialport "${serialport_options[@]}"
build_module qtcharts "${charts_options[@]}"
say "Qt for Windows ready in $prefix ($(( SECONDS - qt_t0 )) s this run)"
[ "$qt_only" = 1 ] && exit 0

# ---------------------------------------------------------------------------------------------
# The icon: drawn by makeicon, built for this machine
# ---------------------------------------------------------------------------------------------
host_build=${VIRELAN2_HOST_BUILD:-$here/build-host}
say "Drawing the icon (native build in $host_build)"
"${nice_[@]}" cmake -S "$here" -B "$host_build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
"${nice_[@]}" cmake --build "$host_build" -j"$jobs" --target virelan2-icons >/dev/null
icon=$host_build/packaging/icons/virelan2.ico
[ -s "$icon" ] || die "makeicon wrote no $icon"

# ---------------------------------------------------------------------------------------------
# The two programs, cross-built from the project's own CMake files
# ---------------------------------------------------------------------------------------------
say "Building virelan2.exe and virelan2-cli.exe in $build"
project_t0=$SECONDS
# The tests are configured too (scripts/windows-test.sh builds and runs them through Wine).
"${nice_[@]}" cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_ROOT_PATH="$prefix" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DVIRELAN2_ICON="$icon" -DBUILD_TESTING=ON -DCMAKE_CROSSCOMPILING_EMULATOR=wine >/dev/null
"${nice_[@]}" cmake --build "$build" -j"$jobs" --target virelan2 virelan2-cli virelan2-report
say "Programs built in $(( SECONDS - project_t0 )) s"

# ---------------------------------------------------------------------------------------------
# The folder: what windeployqt would lay out for these two programs, from a fixed list
# ---------------------------------------------------------------------------------------------
name=virelan2-$version-win64
folder=$dist/$name
gccdll() { "$triple-g++-posix" -print-file-name="$1"; }
qt_dlls=(Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll Qt6SerialPort.dll Qt6Charts.dll)
plugins=(platforms/qwindows.dll styles/qwindowsvistastyle.dll)
runtime=(libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
# What a Windows 10 or 11 (x64) has of its own; any other import must ship in the folder.
system_dlls="advapi32 authz comctl32 comdlg32 crypt32 d3d11 d3d12 d3d9 dwmapi dwrite dxgi gdi32
    imm32 kernel32 mpr msvcrt netapi32 ntdll ole32 oleaut32 setupapi shcore shell32 shlwapi
    user32 userenv uxtheme version winmm winspool.drv ws2_32 wtsapi32 cfgmgr32 bcrypt"

say "Laying out $folder"
rm -rf "$folder" && mkdir -p "$folder/platforms" "$folder/styles"
cp "$build/virelan2.exe" "$build/virelan2-cli.exe" "$folder/"
# The command line's report draws with the GUI library; it loads this module beside itself for
# that command alone, so nothing imports it.
cp "$build/virelan2-report.dll" "$folder/"
for d in "${qt_dlls[@]}"; do cp "$prefix/bin/$d" "$folder/"; done
for p in "${plugins[@]}"; do cp "$prefix/plugins/$p" "$folder/$p"; done
for r in "${runtime[@]}"; do
    f=$(gccdll "$r"); [ -f "$f" ] || die "$r not found beside the MinGW-w64 compiler"
    cp "$f" "$folder/"
done
find "$folder" -name '*.exe' -o -name '*.dll' | while read -r f; do "$triple-strip" --strip-unneeded "$f"; done

# Every import of every file is either shipped or Windows' own, and every shipped library is
# imported by something (a Wine run alone proves neither: Wine has DLLs of its own).
imports() { "$triple-objdump" -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z'; }
shipped=$(cd "$folder" && ls *.dll | tr 'A-Z' 'a-z')
used=""
bad=0
while read -r f; do
    for dll in $(imports "$f"); do
        if grep -qx "$dll" <<<"$shipped"; then
            used+="$dll"$'\n'
        elif ! grep -qw "${dll%.dll}" <<<"$system_dlls" && [[ "$dll" != api-ms-win-* ]]; then
            echo "windows-package: ${f#$folder/} imports $dll, which is neither shipped nor Windows' own" >&2
            bad=1
        fi
    done
done < <(find "$folder" -name '*.exe' -o -name '*.dll')
for dll in $shipped; do
    [ "$dll" = virelan2-report.dll ] && continue
    grep -qx "$dll" <<<"$used" || { echo "windows-package: $dll ships but nothing imports it" >&2; bad=1; }
done
[ "$bad" = 0 ] || die "the folder's libraries do not add up"

# The folder's own notes: where the log goes, and the licences of what ships.
cp "$here/packaging/windows/README-windows.txt" "$folder/README.txt"
sed -i 's/$/\r/' "$folder/README.txt"

say "Zipping"
mkdir -p "$dist"
rm -f "$dist/$name.zip"
(cd "$dist" && zip -q -9 -r "$name.zip" "$name")

# ---------------------------------------------------------------------------------------------
# The installer
# ---------------------------------------------------------------------------------------------
say "Making the installer"
uninstall_list=$build/uninstall-files.nsh
{
    (cd "$folder" && find . -type f | sed 's|^\./||' | sort) | while read -r f; do
        printf 'Delete "$INSTDIR\\%s"\n' "${f//\//\\}"
    done
    (cd "$folder" && find . -mindepth 1 -type d | sed 's|^\./||' | sort -r) | while read -r d; do
        printf 'RMDir "$INSTDIR\\%s"\n' "${d//\//\\}"
    done
} > "$uninstall_list"
size_kb=$(du -sk "$folder" | cut -f1)
rm -f "$dist/$name-setup.exe"
makensis -V2 -INPUTCHARSET UTF8 \
    -DVERSION="$version" -DSRCDIR="$folder" -DOUTFILE="$dist/$name-setup.exe" -DICON="$icon" \
    -DUNINSTALL_LIST="$uninstall_list" -DSIZE_KB="$size_kb" \
    "$here/packaging/windows/installer.nsi"

zip_size=$(stat -c %s "$dist/$name.zip")
setup_size=$(stat -c %s "$dist/$name-setup.exe")
say "$dist/$name.zip: $zip_size bytes"
say "$dist/$name-setup.exe: $setup_size bytes"
limit=$((10 * 1024 * 1024))
[ "$zip_size" -le "$limit" ] || die "the zip is over 10 MB"
[ "$setup_size" -le "$limit" ] || die "the installer is over 10 MB"
