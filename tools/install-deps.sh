#!/usr/bin/env bash
# Installs the Debian packages a part of the project needs, when missing.
# Runs as root (or through sudo) without asking anything.
#   install-deps.sh [build] [wine] [screenshots]
set -euo pipefail

build=(
    cmake make g++ libgtest-dev            # native build and tests
    clang-format                           # source layout check
    g++-mingw-w64-i686 binutils-mingw-w64-i686 # the Windows build
    python3 python3-pefile                 # checks of the built executable
    libc-bin zip mtools dosfstools xorriso # the release: zip, floppy and CD images
    genisoimage faketime git               # reading the CD back; building it again
)
wine=(wine wine32:i386 locales)            # the real executable under Wine
screenshots=(xvfb imagemagick fonts-ipafont-gothic fonts-wine)

wanted=()
for group in "${@:-build}"; do
    case "$group" in
    build) wanted+=("${build[@]}") ;;
    wine) wanted+=("${wine[@]}") ;;
    screenshots) wanted+=("${screenshots[@]}") ;;
    *) echo "unknown group $group" >&2; exit 2 ;;
    esac
done

missing=()
for p in "${wanted[@]}"; do
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
for p in "${missing[@]}"; do
    if [[ "$p" == *:i386 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
done
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
