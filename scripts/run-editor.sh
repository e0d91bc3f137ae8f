#!/usr/bin/env bash
# Builds the editor and starts it on the demo data directory next to it (made on first use).
set -euo pipefail
cd "$(dirname "$0")/.."
echo "Building the editor (first time: a few minutes)…"
bash scripts/setup.sh kvt-report-editor kvt-datadir
if [ ! -f build/DATA/KVT3.sqlite ]; then
  ./build/kvt-datadir create build/DATA --demo --protect
fi
exec ./build/kvt-report-editor
