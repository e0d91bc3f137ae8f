#!/usr/bin/env bash
# Builds the Debian package from build/, installs it with apt-get as a user would, runs both
# installed programs, checks where the editor put KVT3.INI, and removes the package again.
set -euo pipefail
cd "$(dirname "$0")/.."

sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"

# The build's own packages and the build itself (up to date after the test run), then what making
# and checking a package needs.
bash scripts/setup.sh
packages=(dpkg-dev file desktop-file-utils appstream man-db)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi

echo "Building the Debian package…"
rm -f build/kvt-report-editor_*.deb
(cd build && cpack -G DEB >/dev/null)
deb=$(ls "$PWD"/build/kvt-report-editor_*.deb)
echo "Package: $deb"
dpkg-deb --field "$deb" Depends

passed=0
failed=0
check() { # description, command...
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $what"
  fi
}

home=$(mktemp -d)
installed=0
cleanup() {
  if [ "$installed" -eq 1 ]; then
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get remove --purge -y -qq kvt-report-editor >/dev/null
  fi
  rm -rf "$home"
}
trap cleanup EXIT

DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "$deb" >/dev/null
installed=1

# A user of their own: the configuration and data folders start empty.
export HOME=$home
unset XDG_CONFIG_HOME XDG_DATA_HOME
config="$HOME/.config/KVT Report Editor"
data="$HOME/.local/share/KVT Report Editor/DATA"

check "programs in /usr/bin" test -x /usr/bin/kvt-report-editor -a -x /usr/bin/kvt-datadir
check "kvt-datadir --version" bash -c '/usr/bin/kvt-datadir --version | grep -q "^kvt-datadir [0-9]"'
check "kvt-datadir --help" bash -c '/usr/bin/kvt-datadir --help | grep -q "^usage: kvt-datadir create"'
check "kvt-datadir create" /usr/bin/kvt-datadir create "$data" --demo --protect
rc=0
QT_QPA_PLATFORM=offscreen KVT_AUTOCLOSE_MS=1500 /usr/bin/kvt-report-editor 2>"$home/editor.err" || rc=$?
check "editor ends with exit code 0 (got $rc)" test "$rc" -eq 0
check "editor shows no message" bash -c '! grep -qE "^\[(Error Message|KVT Report Editor)\]" "$0"' "$home/editor.err"
[ "$rc" -eq 0 ] && ! grep -qE "^\[(Error Message|KVT Report Editor)\]" "$home/editor.err" || cat "$home/editor.err"
check "KVT3.INI in the configuration folder" grep -qxF "DataDir=$data" "$config/KVT3.INI"
check "no KVT3.INI beside the installed program" test ! -e /usr/bin/KVT3.INI
check "desktop entry valid" desktop-file-validate /usr/share/applications/kvt-report-editor.desktop
check "metadata valid" appstreamcli validate --no-net /usr/share/metainfo/org.tarrow.kvt_report_editor.metainfo.xml
for size in 16 22 24 32 48 64 128 256; do
  check "icon ${size}x${size}" test -s /usr/share/icons/hicolor/${size}x${size}/apps/kvt-report-editor.png
done
check "scalable icon" test -s /usr/share/icons/hicolor/scalable/apps/kvt-report-editor.svg
for page in kvt-datadir kvt-report-editor; do
  check "man $page" bash -c 'MANWIDTH=80 man "$0" 2>/dev/null | grep -q "^NAME"' "$page"
done

DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get remove --purge -y -qq kvt-report-editor >/dev/null
installed=0
check "package removed" test ! -e /usr/bin/kvt-report-editor -a ! -e /usr/share/applications/kvt-report-editor.desktop

echo "package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
