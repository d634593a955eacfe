#!/usr/bin/env bash
# Builds the release from the Windows build, in dist/:
#   atapisw-2.0.zip        ATAPISW.EXE, README.TXT and their SHA256SUMS, for a
#                          host with unzip
#   atapisw-2.0.img        a 3.5" 1.44 MB FAT12 floppy image, label ATAPISW,
#                          holding ATAPISW.EXE and README.TXT
#   atapisw-2.0.iso        an ISO 9660 level 1 CD image, volume ATAPISW, with
#                          the same two files
#   SHA256SUMS             the sums of the zip and both images
#   atapisw-2.0.buildinfo  the commit, the time and the packages that made them
# README.TXT is the Japanese guide in code page 932 with CR LF line ends, as
# Notepad on NT 4.0 reads it.
#
# The same commit gives the same bytes, whoever builds it and when: every
# timestamp is SOURCE_DATE_EPOCH (by default the last commit's time), written
# as UTC; file modes are fixed; the zip has no extra fields (no access or
# change times, no owner); the floppy's volume serial is SOURCE_DATE_EPOCH in
# hex. SOURCE_DATE_EPOCH=<seconds> make dist sets another time.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
name=atapisw-2.0
exe="$root/build/win32/atapisw.exe"
stage="$root/build/dist/$name"
out="$root/dist"
zip="$out/$name.zip" img="$out/$name.img" iso="$out/$name.iso"

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct) || {
        echo "make-dist.sh: no git history here; set SOURCE_DATE_EPOCH" >&2
        exit 1
    }
fi
# mtools, zip and xorriso read the time of day in the local zone; FAT and
# zip store no zone, so UTC is written. mtools reads no user settings.
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C MTOOLSRC=/dev/null
umask 022

rm -rf "$stage"
mkdir -p "$stage/media" "$out"
cd "$stage"
cp "$exe" ATAPISW.EXE
iconv -f UTF-8 -t CP932 "$root/package/README.TXT" | sed 's/$/\r/' >README.TXT
sha256sum ATAPISW.EXE README.TXT >SHA256SUMS
cp ATAPISW.EXE README.TXT media/
chmod 0644 ATAPISW.EXE README.TXT SHA256SUMS media/*
touch -d "@$SOURCE_DATE_EPOCH" ATAPISW.EXE README.TXT SHA256SUMS media/* media

rm -f "$zip" "$img" "$iso"
zip -X -q "$zip" ATAPISW.EXE README.TXT SHA256SUMS

# A standard 1.44 MB floppy (80 cylinders, 2 heads, 18 sectors, media F0).
# --invariant comes first: it would otherwise replace the serial.
mkfs.fat -C --invariant -i "$(printf %08X "$SOURCE_DATE_EPOCH")" -F 12 "$img" 1440 >/dev/null
mlabel -i "$img" ::ATAPISW
mcopy -m -i "$img" media/ATAPISW.EXE media/README.TXT ::

# Plain ISO 9660: upper-case 8.3 names, no Rock Ridge (owners and modes)
# and no Joliet, which NT 4.0's CD file system does not need.
# xorriso talks on stderr even when all is well: shown only on failure.
if ! log=$(xorriso -as mkisofs -iso-level 1 --norock -V ATAPISW -o "$iso" media 2>&1); then
    echo "$log" >&2
    exit 1
fi

cd "$out"
sha256sum "$name.zip" "$name.img" "$name.iso" >SHA256SUMS

# The packages whose programs made the bytes, at their exact versions.
# The compiler is the toolchain file's; Debian ships it in a win32 and a
# posix variant, chosen through alternatives.
gxx=$(dpkg-query -S "$(realpath "$(command -v i686-w64-mingw32-g++)")" | cut -d: -f1)
packages=("$gxx" "${gxx/#g++/gcc}" binutils-mingw-w64-i686 mingw-w64-i686-dev cmake libc-bin
    zip dosfstools mtools xorriso libisofs6 libisoburn1 libburn4)
commit=$(git -C "$root" rev-parse HEAD 2>/dev/null || echo unknown)
[ -z "$(git -C "$root" status --porcelain 2>/dev/null)" ] || commit="$commit (with uncommitted changes)"
{
    echo "Source: atapisw 2.0"
    echo "Commit: $commit"
    echo "SOURCE_DATE_EPOCH: $SOURCE_DATE_EPOCH ($(date -u -d "@$SOURCE_DATE_EPOCH" +%Y-%m-%dT%H:%M:%SZ))"
    echo "Build-Architecture: $(dpkg --print-architecture)"
    echo "Build-System: Debian $(cat /etc/debian_version)"
    echo "Build-Packages:"
    for p in "${packages[@]}"; do
        echo " $p (= $(dpkg-query -W -f='${Version}' "$p" 2>/dev/null || echo "not installed"))"
    done
    echo "Checksums-Sha256:"
    (cd "$(dirname "$exe")" && sha256sum "$(basename "$exe")") | sed 's/^/ /'
    sha256sum "$name.zip" "$name.img" "$name.iso" | sed 's/^/ /'
} >"$name.buildinfo"
for f in "$name.zip" "$name.img" "$name.iso"; do
    echo "dist/$f: $(wc -c <"$f") bytes"
done
