#!/usr/bin/env bash
# Builds the Debian package of fiberview in build/program (the program alone; build/default
# keeps its tests): build/program/fiberview_<version>_<architecture>.deb, for /usr. Prints
# its path and how to install it. Installs the Debian packages it needs.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh cmake ninja-build g++ qt6-base-dev qt6-svg-dev libgeos-dev \
  libfast-float-dev dpkg-dev file

cmake --preset program >/dev/null
cmake --build --preset program
out=$(cpack -G DEB --config build/program/CPackConfig.cmake -B build/program 2>&1) || {
  echo "$out" >&2
  exit 1
}
deb=$(sed -n 's|^CPack: - package: .*/\(fiberview_.*\.deb\) generated\.$|\1|p' <<<"$out")
echo "已生成 build/program/$deb"
echo "安装：sudo apt install ./build/program/$deb"
