#!/usr/bin/env bash
# Puts the recording stand-in in place of the test prefix's powershell.exe (install) and brings
# the original back (restore). The prefix is shared by every test program: restore always runs.
# Usage: powershell-recorder.sh install PREFIX RECORDER | restore PREFIX
set -euo pipefail
action=$1
prefix=$2
target="$prefix/drive_c/windows/system32/WindowsPowerShell/v1.0/powershell.exe"
saved="$target.orvanta-original"

case "$action" in
install)
    mkdir -p "$(dirname "$target")"
    if [ ! -e "$saved" ]; then
        if [ -e "$target" ]; then cp -p "$target" "$saved"; else : >"$saved.none"; fi
    fi
    cp "$3" "$target"
    ;;
restore)
    if [ -e "$saved" ]; then
        mv -f "$saved" "$target"
    elif [ -e "$saved.none" ]; then
        rm -f "$target" "$saved.none"
    fi
    ;;
*)
    echo "usage: $0 install PREFIX RECORDER | restore PREFIX" >&2
    exit 2
    ;;
esac
