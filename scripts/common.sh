# Shared by the README's two commands: packages, the build and the
# project's own Wine prefix. Safe to run again and again.
set -euo pipefail

KORVANE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${KORVANE_BUILD_DIR:-$KORVANE_ROOT/build}
export WINEPREFIX=$BUILD_DIR/wineprefix
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono/Gecko prompts in a headless prefix, and no winemenubuilder: Wine
# starts it on every change of file associations to mirror them into the
# Linux desktop, and a copy still running holds CTest's output pipes.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# What building and testing needs, and any further packages named.
korvane_packages() {
    local wanted="wine64 wine g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools \
cmake googletest nlohmann-json3-dev python3 python3-jsonschema $*"
    local missing=""
    for p in $wanted; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
    done
    if [ -n "$missing" ]; then
        echo "== installing:$missing"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq --no-install-recommends $missing >/dev/null
    fi
}

korvane_build() {
    echo "== building in $BUILD_DIR"
    cmake -S "$KORVANE_ROOT" -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE="$KORVANE_ROOT/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
    if ! cmake --build "$BUILD_DIR" -j "$(nproc)" >"$BUILD_DIR/build.log" 2>&1; then
        grep -v -E '^\[ *[0-9]+%\]' "$BUILD_DIR/build.log" >&2
        echo "== the build failed" >&2
        return 1
    fi
}

# Starts the wineserver and Wine's services detached from this shell's
# pipes, so that a test runner reading them does not wait on them.
korvane_wine_up() {
    wineserver -p 120 </dev/null >/dev/null 2>&1 || true
    wine wineboot </dev/null >/dev/null 2>&1 || true
}

# A share and a network drive for the tests to name, each a local folder in
# truth: Wine resolves \\192.0.2.1\share through dosdevices/unc, and R:
# is a drive of the type "network"; and a link on C: to the share. A file
# call the tool must never make on an icon path there would find the test
# data's icon.
korvane_test_network() {
    korvane_prefix_exists
    mkdir -p "$WINEPREFIX/dosdevices/unc/192.0.2.1"
    ln -sfn "$BUILD_DIR/bin/testdata-remote" "$WINEPREFIX/dosdevices/unc/192.0.2.1/share"
    ln -sfn "$BUILD_DIR/bin/testdata-remote" "$WINEPREFIX/dosdevices/r:"
    # A local path that is a symbolic link to the icon on the share.
    ln -sfn "../dosdevices/unc/192.0.2.1/share/Long Named Sound Icon.ico" "$WINEPREFIX/drive_c/korvane-linked-icon.ico"
    wine reg add 'HKLM\Software\Wine\Drives' /v 'r:' /d network /f </dev/null >/dev/null 2>&1
}

korvane_prefix_exists() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "== creating the Wine prefix $WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        wineboot -i </dev/null >/dev/null 2>&1 || true
        wineserver -w
    fi
}

# Starts the prefix afresh with the graphics driver chosen: "null" runs
# windows and dialogs without any display, "" uses the X display; and with
# the screen DPI given (96 unless a second argument says otherwise). The
# desktop process takes the driver when it starts, so the server is
# restarted after the change.
korvane_prefix() {
    local graphics=$1 dpi=${2:-96}
    korvane_prefix_exists
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    if [ -n "$graphics" ]; then
        wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d "$graphics" /f </dev/null >/dev/null 2>&1
    else
        wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f </dev/null >/dev/null 2>&1 || true
    fi
    # A program that crashes ends there, its exception in its exit code:
    # winedbg, started on a crash, waits minutes for a console nobody reads.
    wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f </dev/null >/dev/null 2>&1 || true
    # The screen's DPI (96 = 100 %), read by each program as it starts.
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f </dev/null >/dev/null 2>&1
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    korvane_wine_up
}
