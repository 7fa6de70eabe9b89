#!/bin/sh
# Validates the desktop integration files: the menu entry with desktop-file-validate and the
# AppStream metainfo with appstreamcli (offline), and checks that the entry and the metainfo
# agree with each other and with the icons they name.
# usage: validate.sh [SOURCE_DIR]   (default: the repository this script is in)
set -u
src=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
desktop="$src/packaging/quenlith.desktop"
metainfo="$src/packaging/io.github.quenlith.Quenlith.metainfo.xml"
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

for tool in desktop-file-validate appstreamcli; do
  command -v "$tool" >/dev/null 2>&1 || { echo "FAIL: $tool is missing (packages desktop-file-utils, appstream)"; exit 1; }
done

# desktop-file-validate exits non-zero on errors; hints and warnings are shown but pass.
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
appstreamcli validate --no-net --pedantic "$metainfo" || fail "appstreamcli rejects $metainfo"

# The facts a user sees in the menu.
entry() { sed -n "s/^$1=//p" "$desktop"; }
[ "$(entry Name)" = "Quenlith" ] || fail "Name is '$(entry Name)'"
[ "$(entry Comment)" = "Extract Attachments from PDF Documents" ] || fail "Comment is '$(entry Comment)'"
[ "$(entry Exec)" = "quenlith %F" ] || fail "Exec is '$(entry Exec)'"
[ "$(entry Icon)" = "quenlith" ] || fail "Icon is '$(entry Icon)'"
[ "$(entry Terminal)" = "false" ] || fail "Terminal is '$(entry Terminal)'"
[ "$(entry Categories)" = "Office;Utility;" ] || fail "Categories is '$(entry Categories)'"
[ "$(entry MimeType)" = "application/pdf;inode/directory;" ] || fail "MimeType is '$(entry MimeType)'"

# The metainfo launches this entry and shows the same summary and icon.
grep -q '<launchable type="desktop-id">quenlith.desktop</launchable>' "$metainfo" \
  || fail "metainfo does not launch quenlith.desktop"
grep -q '<summary>Extract Attachments from PDF Documents</summary>' "$metainfo" \
  || fail "metainfo summary differs from the entry's comment"
grep -q '<release version="1.03"' "$metainfo" || fail "metainfo has no release 1.03"

# Every icon size the theme gets exists and has its size.
icons="$src/app/icons"
for size in 16 32 48 256; do
  png="$icons/quenlith-$size.png"
  if [ ! -f "$png" ]; then
    fail "$png is missing"
  elif command -v identify >/dev/null 2>&1; then
    got=$(identify -format '%wx%h' "$png")
    [ "$got" = "${size}x${size}" ] || fail "$png is $got"
  fi
done
[ -f "$icons/quenlith.svg" ] || fail "$icons/quenlith.svg is missing"

if [ "$failures" -eq 0 ]; then
  echo "desktop files valid"
  exit 0
fi
exit 1
