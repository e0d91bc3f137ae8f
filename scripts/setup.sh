#!/usr/bin/env bash
# Installs what the build needs when it is missing, then configures and builds into build/: the
# targets given as arguments, or everything without arguments.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ qt6-base-dev libqt6sql6-sqlite libsqlite3-dev libgtest-dev libgmock-dev libbenchmark-dev
          fonts-dejavu-core scdoc librsvg2-bin desktop-file-utils appstream pxlib-dev pkg-config
          libqt6sql6-psql libpq-dev postgresql)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi

# Prefix /usr: the Debian package is made from this same build (scripts/test-package.sh).
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
if [ $# -gt 0 ]; then
  cmake --build build -j"$(nproc)" --target "$@"
else
  cmake --build build -j"$(nproc)"
fi
