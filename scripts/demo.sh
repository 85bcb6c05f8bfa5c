#!/usr/bin/env bash
# Installs what is needed, builds Quillon and runs it on a demo project directory
# (build/demo-project: configuration in cfg/, log in log/). Stop it with Ctrl+C.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel "$(nproc)" --target quillon
project="$PWD/build/demo-project"
mkdir -p "$project"
echo "Quillon runs on $project; its log is $project/log/Quillon.log. Ctrl+C stops it."
exec build/src/App/quillon -p "$project" "$@"
