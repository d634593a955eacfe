#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# Runs as root (or through sudo) without asking anything.
set -euo pipefail

packages=(
    cmake make g++ libgtest-dev       # native build and tests
    clang-format                      # source layout check
    g++-mingw-w64-i686 binutils-mingw-w64-i686 # the Windows build
    python3 python3-pefile            # checks of the built executable
    libc-bin                          # iconv, for the release package
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "need root to install ${missing[*]}" >&2; exit 1; }
    sudo="sudo -n"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
