#!/usr/bin/env bash
# Builds the Debian package from a configured build folder, installs it into this machine with
# apt-get, and checks the installed programs and files:
#   - quenlith_<version>_<arch>.deb is made, and its Depends name the libraries it links;
#   - quenlith-cli --version runs from /usr/bin;
#   - quenlith starts under Xvfb from /usr/bin and is still running after a few seconds;
#   - the menu entry, metainfo, icons and manual are in their standard places under /usr.
# The package is removed again at the end unless KEEP_INSTALLED=1.
# Needs root (or sudo), dpkg-dev, xvfb and desktop-file-utils.
# usage: packaging/check-package.sh [BUILD_DIR]    (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=$(cd "${1:-build}" && pwd)
version=1.03

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

# The window is optional in a build (QUENLITH_BUILD_GUI); whatever was built is packaged.
has_gui=0
[ -x "$build_dir/app/quenlith" ] && has_gui=1

echo "== building the package in $build_dir"
cmake --build "$build_dir"
rm -f "$build_dir"/quenlith_*.deb
(cd "$build_dir" && cpack -G DEB)
arch=$(dpkg --print-architecture)
deb="$build_dir/quenlith_${version}_${arch}.deb"
[ -f "$deb" ] || { echo "FAIL: $deb was not made" >&2; exit 1; }
pass "$(basename "$deb") ($(stat -c %s "$deb") bytes)"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
expected=(libc6 libstdc++6 libqpdf libbrotli1 libisal2 libssl3 libexpat1)
[ "$has_gui" -eq 1 ] && expected+=(libqt6widgets6 libqt6gui6 libqt6core6 qt6-qpa-plugins)
for dep in "${expected[@]}"; do
  if [[ "$depends" == *"$dep"* ]]; then pass "depends on $dep"; else fail "Depends lacks $dep"; fi
done

echo "== installing it"
installed_before=0
dpkg-query -W -f='${Status}' quenlith 2>/dev/null | grep -q "install ok installed" && installed_before=1
cleanup() {
  if [ "${KEEP_INSTALLED:-0}" != 1 ] && [ "$installed_before" -eq 0 ]; then
    $sudo apt-get remove -y -qq quenlith >/dev/null 2>&1 || true
  fi
}
trap cleanup EXIT
# apt-get resolves the dependencies; it needs package lists only when one is not installed yet.
if ! $sudo apt-get install -y -qq --no-install-recommends "$deb" >/tmp/quenlith-apt.log 2>&1; then
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "$deb" || { cat /tmp/quenlith-apt.log; exit 1; }
fi
pass "installed $(dpkg-query -W -f='${Package} ${Version}' quenlith)"

echo "== running the installed programs"
cli_version=$(/usr/bin/quenlith-cli --version 2>&1) || fail "quenlith-cli --version exited non-zero"
if [ "$cli_version" = "Quenlith $version" ]; then
  pass "quenlith-cli --version: $cli_version"
else
  fail "quenlith-cli --version printed '$cli_version'"
fi

if [ "$has_gui" -eq 1 ]; then
  # A real X server, not the offscreen platform: this also proves the xcb plugin is there.
  status=0
  env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY xvfb-run -a timeout 5 /usr/bin/quenlith \
    >/tmp/quenlith-start.log 2>&1 || status=$?
  if [ "$status" -eq 124 ] || [ "$status" -eq 0 ]; then
    pass "quenlith ran under Xvfb for 5 seconds (status $status)"
  else
    cat /tmp/quenlith-start.log >&2
    fail "quenlith ended with status $status under Xvfb"
  fi
fi

echo "== checking the installed files"
must_exist=(/usr/bin/quenlith-cli /usr/share/doc/quenlith/manual.html)
if [ "$has_gui" -eq 1 ]; then
  must_exist+=(/usr/bin/quenlith
               /usr/share/applications/quenlith.desktop
               /usr/share/metainfo/io.github.quenlith.Quenlith.metainfo.xml
               /usr/share/icons/hicolor/scalable/apps/quenlith.svg)
  for size in 16 32 48 256; do
    must_exist+=("/usr/share/icons/hicolor/${size}x${size}/apps/quenlith.png")
  done
fi
for file in "${must_exist[@]}"; do
  if [ -f "$file" ]; then pass "$file"; else fail "$file is missing"; fi
done
if [ -f docs/quenlith-cli.1 ]; then
  if dpkg -L quenlith | grep -q '/usr/share/man/man1/quenlith-cli\.1'; then
    pass "man page of quenlith-cli"
  else
    fail "the man page of quenlith-cli is not in the package"
  fi
fi
if [ "$has_gui" -eq 1 ]; then
  desktop-file-validate /usr/share/applications/quenlith.desktop || fail "installed menu entry is invalid"
fi

if [ "$failures" -gt 0 ]; then
  echo "package check: $failures failure(s)" >&2
  exit 1
fi
echo "package check passed"
