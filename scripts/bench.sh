#!/usr/bin/env bash
# Builds zeltpc5 in release mode (tests too: some benchmarks share their fakes), runs every
# benchmark, then measures what one more bulk-changed line costs from outside (instructions
# under callgrind, peak memory, wall clock; needs valgrind and python3).
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
echo "== one more bulk-changed line (scripts/lineprofile.py)"
if command -v valgrind >/dev/null && command -v python3 >/dev/null; then
    python3 "$here/scripts/lineprofile.py" "$build_dir/zeltpc5-host" \
        --bench "$build_dir/bench/integration_bench" || status=1
else
    echo "skipped: valgrind and python3 are needed"
fi
exit $status
