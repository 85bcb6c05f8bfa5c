#!/usr/bin/env bash
# Installs what is needed, builds everything and runs the whole test suite.
# Extra arguments go to ctest, e.g. scripts/test.sh -L dms
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel "$(nproc)"
cd build
ctest --output-on-failure --timeout 600 "$@"
