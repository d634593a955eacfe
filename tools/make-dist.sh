#!/usr/bin/env bash
# Builds the release package dist/atapisw-2.0.zip from the Windows build:
# the executable, a Japanese README for the administrator (code page 932,
# CR LF line ends, as Notepad on NT 4.0 reads it) and their SHA-256 sums.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
stage="$root/build/dist/atapisw-2.0"
zip="$root/dist/atapisw-2.0.zip"

rm -rf "$stage"
mkdir -p "$stage" "$root/dist"
cp "$root/build/win32/atapisw.exe" "$stage/ATAPISW.EXE"
iconv -f UTF-8 -t CP932 "$root/package/README.TXT" | sed 's/$/\r/' >"$stage/README.TXT"
cd "$stage"
cmake -E sha256sum ATAPISW.EXE README.TXT >SHA256SUMS
# Entries carry the time of the last commit, so the same sources give the
# same package.
stamp=$(git -C "$root" log -1 --format=%cd --date=format:'%Y-%m-%d %H:%M:%S' 2>/dev/null ||
    echo "2026-01-01 00:00:00")
rm -f "$zip"
cmake -E tar cf "$zip" --format=zip --mtime="$stamp" ATAPISW.EXE README.TXT SHA256SUMS
echo "$zip: $(wc -c <"$zip") bytes"
