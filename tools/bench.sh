#!/usr/bin/env bash
# Measures how fast fiberview reads and draws, and how much memory it needs for the largest
# file it accepts. Builds the optimised "bench" preset in build/bench, then runs:
#   1. read_bench: the real reader against a naive reader and a plain pass over the bytes,
#      and the drawing of the largest section (medians of 5 interleaved repetitions);
#   2. check_bench: the check of every section of the largest file, and its PDF report;
#      compare_bench: two revisions of the largest file compared; cancel_bench: how soon a
#      cancel stops the layout detection of the largest file;
#   3. read_peak_memory under /usr/bin/time -v: the real window reads the largest file.
# The files they read are written to the temporary folder and removed afterwards.
# Extra arguments go to read_bench, e.g. --benchmark_filter=Read. With --huge, read_bench
# also reads a file of about 1 GB, and read_peak_memory reads it too; that takes a few
# minutes and about 1.7 GB of disk and memory, so it runs only on request.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh cmake ninja-build g++ qt6-base-dev qt6-svg-dev fonts-wqy-microhei time \
  libbenchmark-dev libgeos-dev

cmake --preset bench >/dev/null
cmake --build --preset bench

export QT_QPA_PLATFORM=offscreen
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Qt wants a private runtime folder; without one it warns on every start.
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$scratch}

echo
echo "== 读取与绘图速度 =="
# Repetitions of the different benchmarks run interleaved, so that a change in the load of
# the machine during the run falls on the real and the naive reader alike.
build/bench/bench/read_bench --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true \
  --benchmark_display_aggregates_only=true "$@"

echo
echo "== 全文件检查与报告 =="
build/bench/bench/check_bench

echo
echo "== 两个文件的比较 =="
build/bench/bench/compare_bench

echo
echo "== 取消判断排列 =="
build/bench/bench/cancel_bench

echo
echo "== 读取最大文件后的内存峰值 =="
log=$scratch/time.txt
/usr/bin/time -v -o "$log" build/bench/bench/read_peak_memory
peak_kib=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$log")
awk -v kib="$peak_kib" 'BEGIN {
  mb = kib * 1024 / 1e6
  printf "/usr/bin/time -v：Maximum resident set size %d KB，即 %.1f MB，目标 ≤ 80 MB：%s\n",
         kib, mb, (mb <= 80 ? "达标" : "未达标")
}'

for arg in "$@"; do
  if [ "$arg" = --huge ]; then
    echo
    echo "== 读取约 1 GB 文件后的内存峰值 =="
    /usr/bin/time -v -o "$log" build/bench/bench/read_peak_memory 5000 1600 600
    awk -F': ' '/Maximum resident set size/ {
      printf "/usr/bin/time -v：Maximum resident set size %d KB，即 %.1f MB\n", $2, $2 * 1024 / 1e6
    }' "$log"
  fi
done
