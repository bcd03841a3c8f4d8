#!/usr/bin/env bash
# Builds the Debian package from the build directory given, unpacks it into a
# temporary root and checks what it installs; the packaged program must answer.
# The package is built again only when what goes into it changed: the program,
# the packaging files, the package settings or this script.
set -euo pipefail
build=$1
top=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
out="$build/package-test"
inputs=$(cat "$build/corvix" "$build/CPackConfig.cmake" "$top/CMakeLists.txt" "$top"/packaging/* "$top"/src/ui/icons/* "$0" |
         sha256sum | cut -d' ' -f1)
if [ "$(cat "$out/inputs.sha256" 2>/dev/null)" != "$inputs" ] || ! ls "$out"/corvix_*.deb >/dev/null 2>&1; then
  rm -rf "$out"
  (cd "$build" && cpack -G DEB -B "$work/out" >/dev/null)
  mkdir -p "$out"
  mv "$work"/out/corvix_*.deb "$out/"
  echo "$inputs" >"$out/inputs.sha256"
  echo "package: built"
else
  echo "package: unchanged since the last run"
fi
deb=$(ls "$out"/corvix_*.deb)
dpkg-deb -x "$deb" "$work/root"
fail() { echo "package: $*" >&2; exit 1; }
[ -x "$work/root/usr/bin/corvix" ] || fail "no /usr/bin/corvix"
desktop="$work/root/usr/share/applications/corvix.desktop"
[ -f "$desktop" ] || fail "no desktop entry"
grep -qx 'Exec=corvix' "$desktop" || fail "desktop entry does not start corvix"
grep -qx 'Icon=corvix' "$desktop" || fail "desktop entry names no icon"
[ -f "$work/root/usr/share/icons/hicolor/scalable/apps/corvix.svg" ] || fail "no icon"
[ -f "$work/root/usr/share/icons/hicolor/256x256/apps/corvix.png" ] || fail "no bitmap icon"
for unit in corvix-capture.service corvix-capture.timer; do
  [ -f "$work/root/usr/lib/systemd/user/$unit" ] || fail "no $unit"
done
dpkg-deb -f "$deb" Depends | grep -q 'libqt6webenginecore6' || fail "dependencies not declared"
dpkg-deb -f "$deb" Depends | grep -q 'qt6-translations-l10n' || fail "Qt's Chinese texts not declared"
description=$(dpkg-deb -f "$deb" Description)
head -n1 <<<"$description" | grep -q '商品价格采集' || fail "description does not start in Chinese"
grep -q 'Collects the prices' <<<"$description" || fail "description has no English line"
version=$("$work/root/usr/bin/corvix" --version)
[ "$version" = "Corvix $(dpkg-deb -f "$deb" Version)" ] || fail "packaged program says '$version'"
echo "package: $(basename "$deb") installs corvix, its desktop entry and its icon"
