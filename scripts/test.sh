#!/usr/bin/env bash
# Installs what is missing, builds everything (benchmarks included) and runs the whole test suite.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$here/scripts/build.sh"
bash "$here/scripts/check-format.sh"
cd "$here/build"
export QT_QPA_PLATFORM=offscreen
ctest -j "$(nproc)" --timeout 120 --output-on-failure
# Every test program once more in one process, shuffled and repeated: no test may depend on
# another's leftovers.
python3 "$here/scripts/run-shuffled.py" "$here/build"
