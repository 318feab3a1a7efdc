#!/usr/bin/env bash
# Installs the Debian packages zeltpc5 needs, then configures and builds it. clang and its
# sanitizer runtimes serve the second, sanitized build of scripts/sanitize.sh.
# Safe to run again: apt-get skips what is installed, CMake rebuilds what changed.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${ZELTPC5_BUILD_DIR:-$here/build}
build_type=${ZELTPC5_BUILD_TYPE:-RelWithDebInfo}

packages=(
    build-essential cmake ninja-build pkg-config clang-format
    qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite
    postgresql libqt6sql6-psql
    libxml2-dev libpugixml-dev liblua5.4-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev llvm
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "setup: run as root to install: ${missing[*]}" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S "$here" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="$build_type"
cmake --build "$build_dir" --parallel "$(nproc)"
