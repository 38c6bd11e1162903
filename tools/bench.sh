#!/usr/bin/env bash
# Measures how fast fiberview reads and draws, and how much memory it needs for the largest
# file it accepts. Builds the optimised "bench" preset in build/bench, then runs:
#   1. read_bench: the real reader against a naive reader and a plain pass over the bytes,
#      and the drawing of the largest section (medians of 5 interleaved repetitions);
#   2. check_bench: the read of the largest file, its checks across sections and of every
#      section, and its PDF report;
#      compare_bench: two revisions of the largest file compared, and through the real
#      windows, with the longest stall of the comparison window's event loop and the memory
#      reading and comparing add; cancel_bench: how soon a cancel stops the layout detection
#      of the largest file;
#   3. read_peak_memory under /usr/bin/time -v: the real window reads the largest file;
#   4. the built program, fiberview --check, under /usr/bin/time on the largest file, from
#      start to exit, on every core and on one, with the memory it adds after start-up.
# The files they read are written to the temporary folder and removed afterwards.
# Extra arguments go to read_bench, e.g. --benchmark_filter=Read. With --huge, read_bench
# also reads a file of about 1 GB, and read_peak_memory reads it too; that takes a few
# minutes and about 1.7 GB of disk and memory, so it runs only on request; fiberview --check
# then checks that file too.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh cmake ninja-build g++ qt6-base-dev qt6-svg-dev fonts-wqy-microhei time \
  libbenchmark-dev libgeos-dev libfast-float-dev util-linux

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

# timed_check LABEL FILE STORE_BYTES TARGET [PREFIX...]: runs fiberview --check on FILE five
# times (once for a file of 100 MB or more), behind PREFIX (such as taskset), and prints the
# median wall-clock and processor seconds, against TARGET seconds unless it is "-", and the
# peak memory beyond that of the program on a 5-section sample, against the store.
start_kib=""
timed_check() {
  local label=$1 file=$2 store=$3 target=$4 runs=5 i status
  shift 4
  [ "$(stat -c %s "$file")" -ge 100000000 ] && runs=1
  : >"$scratch/check-times.txt"
  for ((i = 0; i < runs; i++)); do
    status=0
    "$@" /usr/bin/time -q -f "%e %U %S %M" -o "$scratch/check-time.txt" \
      build/bench/fiberview --check --quiet "$file" >/dev/null || status=$?
    # 1 says the file has sections with findings, which the generated files have.
    [ "$status" -le 1 ] || { echo "fiberview --check 失败，退出状态 $status"; return 1; }
    cat "$scratch/check-time.txt" >>"$scratch/check-times.txt"
  done
  sort -n "$scratch/check-times.txt" | awk -v label="$label" -v runs="$runs" \
    -v start="$start_kib" -v store="$store" -v target="$target" '
    function verdict(met) { return met ? "达标" : "未达标" }
    { wall[NR] = $1; cpu[NR] = $2 + $3; kib[NR] = $4 }
    END {
      m = int((NR + 1) / 2)
      added = (kib[m] - start) * 1024
      printf "%s：%.2f s（处理器 %.2f s，%d 次的中位数）", label, wall[m], cpu[m], runs
      if (target != "-") printf "，目标 ≤ %s s：%s", target, verdict(wall[m] <= target)
      printf "；内存峰值比启动多 %.1f MB，是截面数据 %.1f MB 的 %.2f 倍，目标 ≤ 1.2 倍：%s\n",
             added / 1e6, store / 1e6, added / store, verdict(added / store <= 1.2)
    }'
}

echo
echo "== 命令行检查 fiberview --check（从启动到退出）=="
/usr/bin/time -f "%M" -o "$scratch/check-time.txt" \
  build/bench/fiberview --check --quiet samples/old_no_titles.txt >/dev/null
start_kib=$(cat "$scratch/check-time.txt")
echo "启动后检查 5 节的示例文件：常驻内存峰值 $((start_kib / 1024)) MiB"
read -r _ store < <(build/bench/bench/write_fiber_file "$scratch/largest.txt" 2000 100 100)
timed_check "33 MB 文件（2000 节 × 100 + 100 根），各核" "$scratch/largest.txt" "$store" 1
timed_check "33 MB 文件，单核" "$scratch/largest.txt" "$store" 1 taskset -c 0
rm -f "$scratch/largest.txt"

for arg in "$@"; do
  if [ "$arg" = --huge ]; then
    echo
    echo "== fiberview --check 检查约 1 GB 文件（5000 节 × 1600 + 600 根）=="
    read -r _ store < <(build/bench/bench/write_fiber_file "$scratch/huge.txt" 5000 1600 600)
    timed_check "1 GB 文件，各核" "$scratch/huge.txt" "$store" -
    timed_check "1 GB 文件，单核" "$scratch/huge.txt" "$store" - taskset -c 0
    rm -f "$scratch/huge.txt"
  fi
done

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
