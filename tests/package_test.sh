#!/usr/bin/env bash
# Builds the Debian package from the build directory given, unpacks it into a
# temporary root and checks what it installs; the packaged program must answer.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$build"
cpack -G DEB -B "$work/out" >/dev/null
deb=$(ls "$work"/out/corvix_*.deb)
dpkg-deb -x "$deb" "$work/root"
fail() { echo "package: $*" >&2; exit 1; }
[ -x "$work/root/usr/bin/corvix" ] || fail "no /usr/bin/corvix"
desktop="$work/root/usr/share/applications/corvix.desktop"
[ -f "$desktop" ] || fail "no desktop entry"
grep -qx 'Exec=corvix' "$desktop" || fail "desktop entry does not start corvix"
grep -qx 'Icon=corvix' "$desktop" || fail "desktop entry names no icon"
[ -f "$work/root/usr/share/icons/hicolor/scalable/apps/corvix.svg" ] || fail "no icon"
for unit in corvix-capture.service corvix-capture.timer; do
  [ -f "$work/root/usr/lib/systemd/user/$unit" ] || fail "no $unit"
done
dpkg-deb -f "$deb" Depends | grep -q 'libqt6webenginecore6' || fail "dependencies not declared"
version=$("$work/root/usr/bin/corvix" --version)
[ "$version" = "Corvix $(dpkg-deb -f "$deb" Version)" ] || fail "packaged program says '$version'"
echo "package: $(basename "$deb") installs corvix, its desktop entry and its icon"
