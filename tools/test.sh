#!/usr/bin/env bash
# Builds fiberview and runs every test: the normal build, then the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer. Installs the Debian packages it needs.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh cmake ninja-build g++ qt6-base-dev qt6-translations-l10n libgtest-dev fonts-wqy-microhei

for preset in default sanitize; do
  echo "== $preset =="
  cmake --preset "$preset" -DFIBERVIEW_BUILD_TESTS=ON >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
