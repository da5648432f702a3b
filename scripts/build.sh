#!/usr/bin/env bash
# Installs what is missing, then configures and builds into ./build (Release, Ninja, ccache).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
bash scripts/install-deps.sh
export CCACHE_BASEDIR="$(dirname "$here")" CCACHE_NOHASHDIR=true
export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
build_type="${QNT_BUILD_TYPE:-Release}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="$build_type" >/dev/null
cmake --build build -j "$(nproc)"
