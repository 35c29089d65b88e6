#!/usr/bin/env bash
# Fails when a chainer executable imports a DLL that is not on Windows' KnownDLLs list. Windows
# looks for any other imported DLL in the program's own folder first, before the program's first
# line runs, and a package folder may be a Downloads folder. Other system DLLs are loaded at run
# time from the system folder (platform/SystemLibrary.h).
# Usage: check-imports.sh BUILD_DIR...   (checks BUILD_DIR/OrvantaChainer.exe, PE32 or PE32+)
set -euo pipefail
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
known_dlls=" kernel32 user32 gdi32 advapi32 shell32 shlwapi ole32 oleaut32 msvcrt comdlg32 imm32 imagehlp
 psapi rpcrt4 sechost setupapi shcore ws2_32 combase normaliz nsi wldap32 msctf clbcatq coml2 difxapi gdiplus "
known_dlls=$(echo $known_dlls)

[ $# -gt 0 ] || { echo "usage: $0 BUILD_DIR..." >&2; exit 2; }
status=0
for dir in "$@"; do
    exe=$dir/OrvantaChainer.exe
    if [ ! -f "$exe" ]; then
        echo "check-imports: $exe does not exist" >&2
        status=1
        continue
    fi
    dump=$("$objdump" -p "$exe")
    names=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' | tr 'A-Z' 'a-z' | sed 's/\.dll$//')
    if [ -z "$names" ]; then
        echo "check-imports: no import table read from $exe" >&2
        status=1
        continue
    fi
    for name in $names; do
        case " $known_dlls " in
        *" $name "*) ;;
        *)
            echo "check-imports: $exe imports $name.dll, which is not a KnownDLL" >&2
            status=1
            ;;
        esac
    done
done
[ $status -ne 0 ] || echo "check-imports: only KnownDLLs imported by: $*"
exit $status
