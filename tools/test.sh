#!/usr/bin/env bash
# Builds fiberview and runs every test: the normal build, the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer, a short run of the fuzzer over the
# readers, and the checks of the install and the Debian package. Installs the Debian packages
# it needs.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh cmake ninja-build g++ qt6-base-dev qt6-translations-l10n libgtest-dev \
  fonts-wqy-microhei libqt6svg6 clang-14 libclang-rt-14-dev desktop-file-utils appstream dpkg-dev file

run_suite() {
  echo "== $1 =="
  cmake --preset "$1" -DFIBERVIEW_BUILD_TESTS=ON >/dev/null
  cmake --build --preset "$1"
  ctest --preset "$1"
}

echo "== layers =="
bash tools/check-layers.sh
run_suite default
echo "== fuzz =="
bash tools/fuzz.sh 20
run_suite sanitize
echo "== install ==" && bash tools/check-install.sh
