#!/usr/bin/env bash
# Builds everything and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "Building the editor and the test suite (first time: several minutes)…"
bash scripts/setup.sh
ctest --test-dir build --output-on-failure -j2
