#!/usr/bin/env bash
# Builds fiberview and runs every test, installing the Debian packages it needs. Stages:
#   deps      the Debian packages of all the stages below
#   layers    includes point downwards through app, widgets, document, plot and data
#   format    every C++ file is formatted as .clang-format says
#   default   the suite in a normal build; the window tests also under de_DE.UTF-8
#   fuzz      the fuzzer over the readers for 20 seconds
#   bench     the benchmarks built optimised and run once, briefly: their figures mean
#             nothing here, but they keep building and their own checks keep holding
#   sanitize  the suite again under AddressSanitizer and UndefinedBehaviorSanitizer
#   install   the install rules, the desktop entry, the metainfo and the Debian package,
#             and the installed program reading and drawing a sample (in build/program)
# Each stage prints one line (result, seconds, name, and for a test suite ctest's count)
# and writes everything it prints to build/logs/<stage>.log. A failing stage prints the
# last 60 lines of its log and ends the command with its exit status; the stages after it
# do not run.
set -euo pipefail
cd "$(dirname "$0")/.."

logs=build/logs
mkdir -p "$logs"

# stage NAME DESCRIPTION COMMAND...: runs COMMAND with its output in build/logs/NAME.log.
stage() {
  local name=$1 description=$2 log=$logs/$1.log start=$SECONDS status=0
  shift 2
  # The subshell stands outside any if, && or ||, where bash would ignore set -e inside it:
  # so a stage stops at its first failing command, as the script did before it had stages.
  set +e
  (
    set -euo pipefail
    "$@"
  ) >"$log" 2>&1
  status=$?
  set -e
  if [ "$status" -ne 0 ]; then
    printf '失败 %4d 秒  %s（%s），退出码 %d。%s 的最后 60 行：\n' \
      $((SECONDS - start)) "$description" "$name" "$status" "$log"
    tail -n 60 "$log"
    exit "$status"
  fi
  # A test suite's line carries ctest's own count, e.g. "100% tests passed, 0 tests failed
  # out of 9", so that a reader of the output sees how many tests ran.
  local count
  count=$(grep -m1 -E '^[0-9]+% tests passed' "$log" || true)
  printf '通过 %4d 秒  %s（%s）%s\n' $((SECONDS - start)) "$description" "$name" \
    "${count:+：$count}"
}

suite() {
  cmake --preset "$1" -DFIBERVIEW_BUILD_TESTS=ON
  cmake --build --preset "$1"
  ctest --preset "$1"
}

stage deps "安装所需的软件包" bash tools/install-deps.sh cmake ninja-build g++ clang-format qt6-base-dev \
  qt6-translations-l10n qt6-svg-dev libgtest-dev fonts-wqy-microhei libqt6svg6 locales clang-14 \
  libgeos-dev libfast-float-dev libclang-rt-14-dev libbenchmark-dev time desktop-file-utils appstream dpkg-dev file \
  poppler-utils man-db
stage layers "层次检查" bash tools/check-layers.sh
stage format "代码格式检查" sh -c 'find app data document plot widgets tests bench fuzz \
  \( -name "*.cpp" -o -name "*.h" \) -print0 | xargs -0 clang-format --dry-run --Werror' 
stage default "普通构建的全部测试" suite default
stage fuzz "模糊测试 20 秒" bash tools/fuzz.sh 20
stage bench "基准程序的构建与试运行" \
  bash tools/bench.sh --benchmark_repetitions=1 --benchmark_min_time=0.01
stage sanitize "AddressSanitizer 与 UndefinedBehaviorSanitizer 下的全部测试" suite sanitize
stage install "安装规则、桌面文件与 Debian 包的检查" bash tools/check-install.sh
echo "全部通过，共 $SECONDS 秒。各阶段的完整输出在 $logs/。"
