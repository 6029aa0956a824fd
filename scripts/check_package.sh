#!/usr/bin/env bash
# Builds the Debian package from an already built tree (default: build-test), installs it
# into a temporary root and checks its file list, its dependencies and its MIME type.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-test}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
if ! (cd "$build" && cpack -G DEB -B "$tmp/out" >"$tmp/cpack.log" 2>&1); then
  cat "$tmp/cpack.log" >&2
  exit 1
fi
debs=("$tmp"/out/tamberlo_*.deb)
deb=${debs[0]}
dpkg-deb -x "$deb" "$tmp/root"
(cd "$tmp/root" && find . \( -type f -o -type l \) | LC_ALL=C sort) >"$tmp/files"
if ! diff -u packaging/files.txt "$tmp/files"; then
  echo "check_package: the package's files differ from packaging/files.txt" >&2
  exit 1
fi
depends=$(dpkg-deb -f "$deb" Depends)
for need in libsdl2 libepoxy libpng zlib1g libfreetype libfontconfig fonts-liberation; do
  if [[ $depends != *"$need"* ]]; then
    echo "check_package: Depends lacks $need: $depends" >&2
    exit 1
  fi
done
# The shared MIME database accepts the package's type definition and learns its magic.
XDG_DATA_DIRS="$tmp/root/usr/share" update-mime-database "$tmp/root/usr/share/mime"
grep -q "application/x-tamberlo-game" "$tmp/root/usr/share/mime/magic"
"$tmp/root/usr/bin/tamberlo" --version >/dev/null
echo "check_package: $(basename "$deb") has the expected files; Depends: $depends"
