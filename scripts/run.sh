#!/usr/bin/env bash
# The tool's main job in the project's own Wine prefix: installs the five
# files into "C:\Program Files\Korvane Player" and runs a "/Register" with
# the sample settings file. With a display you answer the dialogs yourself;
# without one the run happens under Xvfb, a driver answers the dialogs, and
# a picture of every dialog is saved in build/screenshots/<language>-<scale>.
#
#   KORVANE_LANG=en|ja           the user's interface language (default en)
#   KORVANE_SCALE=100|125|150|200  the screen's scale in per cent (default 100)
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
# The terminal's encoding, from the locale it was started with (before LC_ALL
# is set for Wine below); UTF-8 where that is the plain C locale.
KORVANE_TERMINAL=${KORVANE_TERMINAL:-$(locale charmap 2>/dev/null || true)}
case "$KORVANE_TERMINAL" in ""|ANSI_X3.4-1968|US-ASCII) KORVANE_TERMINAL=UTF-8 ;; esac
export KORVANE_TERMINAL
KORVANE_LANG=${KORVANE_LANG:-en}
KORVANE_SCALE=${KORVANE_SCALE:-100}
case "$KORVANE_LANG" in
    en) export LC_ALL=C.UTF-8 ;;
    ja) export LC_ALL=ja_JP.UTF-8 ;;   # Wine takes the interface language from it
    *) echo "KORVANE_LANG is en or ja" >&2; exit 2 ;;
esac
case "$KORVANE_SCALE" in
    100|125|150|200) DPI=$((96 * KORVANE_SCALE / 100)) ;;
    *) echo "KORVANE_SCALE is 100, 125, 150 or 200" >&2; exit 2 ;;
esac
if [ -z "${KORVANE_IN_XVFB:-}" ]; then
    # The Japanese font only draws the pictures; the tests need none.
    korvane_packages xvfb xauth imagemagick fonts-ipafont-gothic
    korvane_build
fi

INSTALL_WIN='C:\Program Files\Korvane Player'
SETTINGS_WIN='C:\ProgramData\Korvane Player\Korvane.ini'
SHOTS="$BUILD_DIR/screenshots/$KORVANE_LANG-$KORVANE_SCALE"

install_into_prefix() {
    local dir="$WINEPREFIX/drive_c/Program Files/Korvane Player"
    cmake --install "$BUILD_DIR" --prefix "$dir" >/dev/null
    mkdir -p "$WINEPREFIX/drive_c/ProgramData/Korvane Player"
    cp "$KORVANE_ROOT/samples/Korvane.ini" "$WINEPREFIX/drive_c/ProgramData/Korvane Player/Korvane.ini"
    echo "== installed into $INSTALL_WIN; settings file $SETTINGS_WIN"
}

# What the player's own keys and the classes look like, as text.
registry_state() {
    local out=$1 key
    : >"$out"
    for key in 'HKLM\Software\Classes' 'HKLM\Software\Ostrafen' 'HKLM\Software\RegisteredApplications' \
               'HKLM\Software\Wow6432Node\Ostrafen' 'HKLM\Software\Wow6432Node\RegisteredApplications'; do
        if wine reg export "$key" "Z:$out.part" /y </dev/null >/dev/null 2>&1; then
            iconv -f UTF-16LE -t UTF-8 "$out.part" | tr -d '\r' | sed 's/^\xEF\xBB\xBF//' >>"$out"
        fi
        rm -f "$out.part"
    done
}

# Starts from a clean slate, so that every run shows the whole of what a
# registration writes.
unregister_earlier_run() {
    set +e
    wine "$INSTALL_WIN\\KorvaneAssoc.exe" /Unregister "$SETTINGS_WIN" </dev/null >/dev/null 2>&1
    echo "== KorvaneAssoc.exe /Unregister (an earlier run's types removed first) ended with exit code $?"
    set -e
}

show_changes() {
    echo "== what changed in the registry"
    diff -U0 "$BUILD_DIR/registry-before.txt" "$BUILD_DIR/registry-after.txt" | grep -v -E '^(---|\+\+\+|@@)' || true
}

# What the read-only report says about the state the run left. Into a pipe
# it writes the OEM code page of Wine's locale, as cmd would read it: 437
# for the English locale, 932 for the Japanese one. The terminal gets it in
# its own encoding.
show_report() {
    local oem=CP437
    [ "$KORVANE_LANG" = ja ] && oem=CP932
    echo "== KorvaneAssocCheck.exe \"$SETTINGS_WIN\""
    set +e
    wine "$INSTALL_WIN\\KorvaneAssocCheck.exe" "$SETTINGS_WIN" </dev/null | iconv -f "$oem" -t "$KORVANE_TERMINAL//TRANSLIT" |
        tr -d '\r' | tee "$BUILD_DIR/report.txt"
    echo "== the report ended with exit code ${PIPESTATUS[0]}"
    set -e
}

if [ -n "${DISPLAY:-}" ] && [ -z "${KORVANE_IN_XVFB:-}" ] && [ "${KORVANE_HEADLESS:-}" != 1 ]; then
    korvane_prefix "" "$DPI"
    install_into_prefix
    unregister_earlier_run
    registry_state "$BUILD_DIR/registry-before.txt"
    set +e
    wine "$INSTALL_WIN\\KorvaneAssoc.exe" /Register /TopMost "$SETTINGS_WIN" </dev/null
    code=$?
    set -e
    [ "$code" = 255 ] && code=-1
    echo "== KorvaneAssoc.exe /Register ended with exit code $code"
    registry_state "$BUILD_DIR/registry-after.txt"
    show_changes
    show_report
    exit 0
fi

# Headless: everything below runs inside an Xvfb display, where the
# wineserver has to be started too.
if [ -z "${KORVANE_IN_XVFB:-}" ]; then
    wineserver -k 2>/dev/null || true
    KORVANE_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 2000x1400x24" bash "$0" "$@"
fi
korvane_prefix "" "$DPI"
install_into_prefix
unregister_earlier_run
registry_state "$BUILD_DIR/registry-before.txt"
rm -rf "$SHOTS" && mkdir -p "$SHOTS"
echo "== running KorvaneAssoc.exe /Register under Xvfb ($KORVANE_LANG, $KORVANE_SCALE %); a driver answers the dialogs"
# A virtual desktop of Wine's own draws the dialogs with their title bars.
wine explorer /desktop=Korvane,$((1000 * KORVANE_SCALE / 100))x$((720 * KORVANE_SCALE / 100)) "$BUILD_DIR/bin/korvane_demo.exe" \
    "$INSTALL_WIN\\KorvaneAssoc.exe" "$SETTINGS_WIN" "Z:$SHOTS" "Z:$SHOTS/report.txt" </dev/null >/dev/null 2>&1 || true
cat "$SHOTS/report.txt" 2>/dev/null || echo "the driver wrote no report"
registry_state "$BUILD_DIR/registry-after.txt"
show_changes
show_report
for bmp in "$SHOTS"/*.bmp; do
    [ -e "$bmp" ] || continue
    convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
echo "== pictures of the dialogs:"
ls -1 "$SHOTS"/*.png 2>/dev/null || echo "none"
wineserver -k 2>/dev/null || true
