#!/usr/bin/env bash
# Builds the libFuzzer target with clang 14, AddressSanitizer and UndefinedBehaviorSanitizer
# and runs it for a bounded time: 60 seconds, or the first argument, or FUZZ_SECONDS.
# The corpus starts from the sample files and the crafted test files, each also given a
# header (see fuzz/fuzz_reader.cpp) for both versions and both title options with 36
# concrete and 4 steel fibers. It lives in a temporary folder and is thrown away; inputs
# that break an invariant are kept in build/fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-${FUZZ_SECONDS:-60}}"

# The fuzz preset names clang++-14, which clang-14 installs; the unversioned clang++ comes
# from another package that a machine may lack.
bash tools/install-deps.sh cmake ninja-build clang-14 libclang-rt-14-dev libgeos-dev \
  libfast-float-dev

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

corpus="$(mktemp -d)"
trap 'rm -rf "$corpus"' EXIT
for file in samples/*.txt tests/data/files/*; do
  [ -f "$file" ] || continue
  name="$(basename "$file")"
  cp "$file" "$corpus/$name"
  # Version and title bits 0 to 3; concrete 36 (0x25); steel 4 (0x05, 0x00); reads of up
  # to 64 bytes from the trickling source; a mix of field reads.
  for flags in 00 01 02 03; do
    { printf "\\x$flags\\x25\\x05\\x00\\x3f\\x1b\\xe4\\x4e\\xb1\\x72\\x8d\\x39\\xc6"; cat "$file"; } \
      >"$corpus/$flags-$name"
  done
done

mkdir -p build/fuzz/findings
build/fuzz/fuzz/fiberview_fuzz "$corpus" \
  -max_total_time="$seconds" \
  -max_len=70000 \
  -timeout=10 \
  -rss_limit_mb=2048 \
  -print_final_stats=1 \
  -artifact_prefix=build/fuzz/findings/
