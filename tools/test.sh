#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: first the normal build,
# then the same suite under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
jobs=$(nproc)
bash tools/build.sh build
(cd build && ctest --output-on-failure -j "$jobs")
bash tools/build.sh build-sanitize -DVELLUMARA_SANITIZE=ON
cd build-sanitize && ctest --output-on-failure -j "$jobs"
