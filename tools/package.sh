#!/usr/bin/env bash
# Builds the Debian package of fiberview from the default build: build/default/
# fiberview_<version>_<architecture>.deb, for /usr. Prints its path and how to install it.
# Installs the Debian packages it needs.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh cmake ninja-build g++ qt6-base-dev libgeos-dev dpkg-dev file

# The package needs only the program, so the tests and their packages stay out of it.
cmake --preset default -DFIBERVIEW_BUILD_TESTS=OFF >/dev/null
cmake --build --preset default --target fiberview
out=$(cpack -G DEB --config build/default/CPackConfig.cmake -B build/default 2>&1) || {
  echo "$out" >&2
  exit 1
}
deb=$(sed -n 's|^CPack: - package: .*/\(fiberview_.*\.deb\) generated\.$|\1|p' <<<"$out")
echo "已生成 build/default/$deb"
echo "安装：sudo apt install ./build/default/$deb"
