#!/usr/bin/env bash
# Installs what Quintora needs to build, run and test on Debian 12. Safe to run again:
# only missing packages are installed.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

packages=(
  build-essential cmake ninja-build ccache git python3 pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-webengine-dev qt6-image-formats-plugins libgl-dev
  libsqlite3-dev zlib1g-dev libpng-dev libcurl4-openssl-dev libssl-dev libplist-dev nlohmann-json3-dev libicu-dev libxcb1-dev
  libgraphviz-dev graphviz libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev
  fonts-dejavu fonts-liberation2 fonts-urw-base35 fonts-droid-fallback xvfb xauth
  openbox xdotool x11-utils
  poppler-utils librsvg2-bin sqlite3 file binutils gdb clang-14 lld-14 llvm-14 llvm-14-dev clang-format-14
  openssl ca-certificates
  libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  echo "Installing: ${missing[*]}"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
