#!/usr/bin/env bash
# Builds the project with gcc coverage instrumentation in its own folder (build-coverage, or the
# first argument), runs the test suite there and prints line and branch coverage of src/, lib/
# and external/. The HTML report goes to <build folder>/coverage/index.html.
# Further arguments go to ctest, e.g. scripts/coverage.sh build-coverage -L parsing
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-coverage}"
[ $# -gt 0 ] && shift
case "$build" in /*) ;; *) build="$root/$build" ;; esac

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_CXX_FLAGS="--coverage -O0" -DCMAKE_C_FLAGS="--coverage -O0" \
      -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage
cmake --build "$build" --parallel "$(nproc)"

# Counters of an earlier run would add up with this one.
find "$build" -name '*.gcda' -delete
# Qt's hash seed is random per process, and with it which lookups meet a collision; a fixed seed
# makes two runs' branch figures comparable.
export QT_HASH_SEED=0
(cd "$build" && ctest --output-on-failure --timeout 600 "$@") || echo "some tests failed; coverage below is of the run as it went"

mkdir -p "$build/coverage"
gcovr -r "$root" --object-directory "$build" \
      --filter "$root/(src|lib|external)/" \
      --exclude-throw-branches --exclude-unreachable-branches \
      --print-summary --txt "$build/coverage/summary.txt" \
      --html-details "$build/coverage/index.html"
echo "HTML report: $build/coverage/index.html"
