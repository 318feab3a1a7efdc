#!/usr/bin/env bash
# Builds zeltpc5 in release mode (tests too: some benchmarks share their fakes) and runs
# every benchmark.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${ZELTPC5_BENCH_DIR:-$here/build-release}
cmake -S "$here" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$build_dir" --parallel "$(nproc)"
status=0
for b in "$build_dir"/bench/*; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    QT_QPA_PLATFORM=offscreen "$b" "$@" || status=1
done
exit $status
