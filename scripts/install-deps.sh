#!/usr/bin/env bash
# Installs what building and testing the chainer needs on Debian 12.
# 64-bit Wine only: this kind of machine cannot run 32-bit code, so no 32-bit Wine is installed.
set -euo pipefail

packages=(
    cmake ninja-build make python3 googletest
    g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
    g++-mingw-w64-i686-posix mingw-w64-i686-dev
    wine64 xvfb xauth
    wixl nsis nginx tinyproxy python3-pyftpdlib curl
    openssl osslsigncode libssl-dev
    g++ clang-14 libclang-rt-14-dev
    locales fonts-wqy-microhei
    python3-jsonschema
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=""
    [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo_cmd apt-get update -qq
    $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The display languages the UI tests run in (Wine takes a program's language from its locale).
for locale in de_DE ja_JP ar_SA sv_SE; do
    if ! locale -a | grep -qx "${locale}.utf8"; then
        sudo_cmd=""
        [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
        $sudo_cmd localedef -i "$locale" -f UTF-8 "${locale}.UTF-8"
    fi
done
