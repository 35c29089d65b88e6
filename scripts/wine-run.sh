#!/usr/bin/env bash
# Runs a Windows test program under 64-bit Wine in the build's private prefix.
# Usage: wine-run.sh PREFIX PROGRAM [ARGS...]
set -euo pipefail
export WINEPREFIX=$1
shift
export WINEDEBUG=${WINEDEBUG:--all}
# A test may ask for DLLs found beside a program to come first (ORVANTA_NATIVE_FIRST_DLLS, comma
# separated), as Windows loads them for names that are not KnownDLLs. Wine reads the overrides
# only from the environment the program tree starts with.
export WINEDLLOVERRIDES="mscoree=d;mshtml=d${ORVANTA_NATIVE_FIRST_DLLS:+;$ORVANTA_NATIVE_FIRST_DLLS=n,b}"
# WinINet follows these even for 127.0.0.1.
unset http_proxy https_proxy ftp_proxy HTTP_PROXY HTTPS_PROXY FTP_PROXY all_proxy ALL_PROXY
export no_proxy=127.0.0.1,localhost
exec /usr/lib/wine/wine64 "$@"
