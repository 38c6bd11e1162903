#!/usr/bin/env bash
# Checks fiberview as an installed desktop application, in the default build (build/default):
#   - the menu entry and the software-centre description pass their validators;
#   - an install into a scratch prefix holds every file, and the installed program starts
#     offscreen and answers --version;
#   - the Debian package built by CPack holds the same files, depends on Qt Widgets, the CJK
#     font, Qt's translations and the SVG plugin, and carries the project's version, as does
#     the software-centre description.
# Prints one line per check; the tools' own output goes to build/check-install.log. Exits 1
# when a check fails. Installs the Debian packages it needs.
set -euo pipefail
cd "$(dirname "$0")/.."

app_id=io.github.fiberview.FiberView
build=build/default
log=build/check-install.log

bash tools/install-deps.sh cmake ninja-build g++ qt6-base-dev desktop-file-utils appstream \
  dpkg-dev file libgeos-dev

mkdir -p build
: >"$log"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failed=0
# check NAME FUNCTION: runs the function with its output in the log and prints one line.
check() {
  echo "== $1" >>"$log"
  local status=0
  "$2" >>"$log" 2>&1 || status=$?
  if [ "$status" -eq 0 ]; then
    echo "通过  $1"
  else
    echo "失败  $1"
    failed=1
  fi
}

# The installed paths, relative to the prefix.
expected_files() {
  echo "bin/fiberview"
  echo "share/applications/$app_id.desktop"
  echo "share/icons/hicolor/scalable/apps/$app_id.svg"
  echo "share/metainfo/$app_id.metainfo.xml"
  for sample in samples/*.txt; do
    echo "share/fiberview/samples/${sample##*/}"
  done
}

desktop_entry_valid() {
  # desktop-file-validate exits 0 on warnings and hints; any message counts as a failure.
  local out
  out=$(desktop-file-validate "packaging/$app_id.desktop" 2>&1) || { echo "$out"; return 1; }
  echo "$out"
  [ -z "$out" ]
}

metainfo_valid() {
  appstreamcli validate --no-net --pedantic --strict "packaging/$app_id.metainfo.xml"
}

installed_files_present() {
  cmake --install "$build" --prefix "$scratch/prefix" || return 1
  local path missing=0
  while read -r path; do
    [ -f "$scratch/prefix/$path" ] || { echo "缺少 $path"; missing=1; }
  done < <(expected_files)
  [ -x "$scratch/prefix/bin/fiberview" ] || { echo "bin/fiberview 不可执行"; missing=1; }
  return "$missing"
}

installed_program_answers_version() {
  local out status=0
  mkdir -m 700 "$scratch/runtime"
  out=$(QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$scratch/runtime" \
    timeout 5 "$scratch/prefix/bin/fiberview" --version 2>&1) || status=$?
  echo "$out"
  echo "退出状态 $status"
  [ "$status" -eq 0 ] && grep -qF "$version" <<<"$out"
}

deb=""
package_files_present() {
  cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/deb" || return 1
  deb=$(echo "$scratch"/deb/fiberview_*.deb)
  [ -f "$deb" ] || { echo "没有生成 .deb"; return 1; }
  local listing path missing=0
  listing=$(dpkg-deb -c "$deb") || return 1
  echo "$listing"
  while read -r path; do
    awk '{print $NF}' <<<"$listing" | grep -qxF "./usr/$path" || {
      echo "包中缺少 /usr/$path"
      missing=1
    }
  done < <(expected_files)
  return "$missing"
}

package_depends() {
  [ -n "$deb" ] || return 1
  local depends name missing=0
  depends=$(dpkg-deb -f "$deb" Depends) || return 1
  echo "Depends: $depends"
  for name in libqt6widgets6 fonts-wqy-microhei qt6-translations-l10n libqt6svg6; do
    grep -qE "(^|, )$name( |,|\$)" <<<"$depends" || { echo "缺少依赖 $name"; missing=1; }
  done
  return "$missing"
}

versions_agree() {
  [ -n "$deb" ] || return 1
  local package_version release
  package_version=$(dpkg-deb -f "$deb" Version)
  release=$(grep -m1 -oP '<release version="\K[^"]+' "packaging/$app_id.metainfo.xml")
  echo "CMake $version，Debian 包 $package_version，软件中心描述最新发布 $release"
  [ "$package_version" = "$version" ] && [ "$release" = "$version" ]
}

if ! { cmake --preset default -DFIBERVIEW_BUILD_TESTS=OFF && cmake --build --preset default --target fiberview; } \
  >>"$log" 2>&1; then
  echo "失败  构建 fiberview（详见 $log）"
  exit 1
fi
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

check "菜单项通过 desktop-file-validate" desktop_entry_valid
check "软件中心描述通过 appstreamcli validate --pedantic --strict" metainfo_valid
check "安装到临时目录后文件齐全" installed_files_present
check "已安装的程序在 offscreen 下启动并回答 --version" installed_program_answers_version
check "Debian 包内文件齐全" package_files_present
check "Debian 包依赖 Qt Widgets、文泉驿微米黑、Qt 中文翻译和 SVG 插件" package_depends
check "CMake、Debian 包和软件中心描述的版本号一致" versions_agree

if [ "$failed" -ne 0 ]; then
  echo "有检查未通过，详见 $log"
  exit 1
fi
