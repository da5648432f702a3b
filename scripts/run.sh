#!/usr/bin/env bash
# Installs what is missing, builds, and starts Quintora.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$here/scripts/build.sh"
exec "$here/build/bin/quintora" "$@"
