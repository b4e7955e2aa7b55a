#!/usr/bin/env bash
# Installs what is missing, builds and opens the window.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/build.sh build -DVELLUMARA_TESTS=OFF
exec ./build/src/shell/vellumara
