#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
set -euo pipefail
packages=(
    build-essential cmake ninja-build pkg-config
    clang libclang-rt-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev libgl-dev
    nlohmann-json3-dev libcli11-dev fonts-dejavu-core fonts-wqy-microhei
    dpkg-dev help2man desktop-file-utils appstream bash-completion
    xvfb xauth
)
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}" >&2
    SUDO=""
    if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -q
    $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
