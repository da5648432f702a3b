#!/usr/bin/env bash
# Fails when a C or C++ file differs from what clang-format-14 makes of it (.clang-format at the root).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
git ls-files -z '*.c' '*.cpp' '*.h' | xargs -0 clang-format-14 --dry-run --Werror
