#!/bin/bash
# Checks a built package as Debian and a desktop would see it:
#   packaging/check-package.sh build/release/qvxtracker_VERSION_amd64.deb
# lintian must find no errors (its warnings are printed), the desktop entry, the AppStream
# metadata and the file types must validate, and the programs must run from the unpacked files.
set -euo pipefail
deb=$(realpath "$1")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

echo "== lintian"
# --fail-on error: warnings are reported but do not fail the check.
lintian --fail-on error --allow-root "$deb"

dpkg -x "$deb" "$scratch/root"
root=$scratch/root

echo "== desktop-file-validate"
desktop-file-validate "$root/usr/share/applications/qvxtracker.desktop"

echo "== appstreamcli validate"
appstreamcli validate --no-net --explain "$root"/usr/share/metainfo/*.metainfo.xml

echo "== file types"
# The definitions must compile into a MIME database, and name songs and instruments by content.
cp -r "$root/usr/share/mime" "$scratch/mime"
XDG_DATA_DIRS=$scratch update-mime-database "$scratch/mime"
for type in application/x-qvxtracker-song application/x-qvxtracker-instrument; do
  grep -q "^$type\$" "$scratch/mime/types" || { echo "$type is missing from the MIME database"; exit 1; }
done
grep -q "QVXM1" "$scratch/mime/magic" && grep -q "QVXI1" "$scratch/mime/magic" ||
  { echo "the MIME magic lacks QVXM1 or QVXI1"; exit 1; }
# As a desktop asks, beside the system's own types (TeX claims "*.ins" as well).
cp "$root/usr/share/doc/qvxtracker/examples/demo.mus" "$scratch/song.mus"
cp "$root/usr/share/doc/qvxtracker/examples/slap-bass.ins" "$scratch/voice.ins"
printf '%%%% docstrip installer\n\\input docstrip\n' > "$scratch/installer.ins"
filetype() { env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION XDG_DATA_DIRS="$scratch:/usr/share" xdg-mime query filetype "$scratch/$1"; }
for pair in song.mus:application/x-qvxtracker-song voice.ins:application/x-qvxtracker-instrument \
            installer.ins:text/x-tex; do
  got=$(filetype "${pair%%:*}")
  [ "$got" = "${pair#*:}" ] || { echo "xdg-mime types ${pair%%:*} as $got, not ${pair#*:}"; exit 1; }
done

echo "== the programs from the unpacked files"
"$root/usr/bin/qvxtool" --version
QT_QPA_PLATFORM=offscreen "$root/usr/bin/qvxtracker" --version
"$root/usr/bin/qvxtool" render "$root/usr/share/doc/qvxtracker/examples/demo.mus" --seconds 2 \
  -o "$scratch/demo.wav"
test "$(stat -c %s "$scratch/demo.wav")" -gt 300000
man -l "$root/usr/share/man/man1/qvxtool.1.gz" > /dev/null
echo "The package checks passed."
