#!/usr/bin/env bash
# Builds fiberview in build/program (the program alone; build/default keeps its tests) and
# opens its window, installing the Debian packages it needs. Arguments go to the program,
# e.g. a file to open: bash tools/run.sh samples/new_titles.txt
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh cmake ninja-build g++ qt6-base-dev qt6-svg-dev qt6-translations-l10n \
  fonts-wqy-microhei libqt6svg6 libgeos-dev libfast-float-dev

cmake --preset program >/dev/null
cmake --build --preset program
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "没有图形显示（DISPLAY 和 WAYLAND_DISPLAY 均未设置），无法打开窗口。" >&2
  echo "请在桌面会话中运行，或通过 ssh -X 登录，或安装 xvfb 后用虚拟显示运行：xvfb-run -s '-screen 0 1024x768x24' bash tools/run.sh" >&2
  exit 1
fi

exec build/program/fiberview "$@"
