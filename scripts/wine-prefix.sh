#!/usr/bin/env bash
# Creates (setup) or stops (stop) the private Wine prefix that the tests run in.
# Usage: wine-prefix.sh setup|stop PREFIX [DESKTOP]
# DESKTOP (WIDTHxHEIGHT) makes every window of the prefix live in one virtual desktop of that
# size, which draws window frames even on an X server without a window manager.
set -euo pipefail
action=$1
export WINEPREFIX=$2
desktop=${3:-}
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs while the prefix is created.
export WINEDLLOVERRIDES="mscoree=d;mshtml=d"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)

case "$action" in
setup)
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        "$wine" wineboot --init >"$WINEPREFIX.boot.log" 2>&1 || true
        "$wineserver" -w
    fi
    # A crashing test program must end at once instead of waiting behind the crash dialog.
    "$wine" reg add "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug" \
        /v Debugger /d "" /f >"$WINEPREFIX.reg.log" 2>&1
    "$wine" reg add "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug" \
        /v Auto /d "0" /f >>"$WINEPREFIX.reg.log" 2>&1
    if [ -n "$desktop" ]; then
        "$wine" reg add "HKCU\\Software\\Wine\\Explorer" /v Desktop /d Default /f >>"$WINEPREFIX.reg.log" 2>&1
        "$wine" reg add "HKCU\\Software\\Wine\\Explorer\\Desktops" /v Default /d "$desktop" /f \
            >>"$WINEPREFIX.reg.log" 2>&1
        # The desktop of a running server keeps its old settings.
        "$wineserver" -k || true
        "$wineserver" -w || true
    fi
    ;;
stop)
    "$wineserver" -k || true
    ;;
*)
    echo "usage: $0 setup|stop PREFIX" >&2
    exit 2
    ;;
esac
