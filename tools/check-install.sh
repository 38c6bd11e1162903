#!/usr/bin/env bash
# Checks fiberview as an installed desktop application, built in build/program (the program
# alone; build/default keeps its tests):
#   - the menu entry and the software-centre description pass their validators, and the
#     menu entry claims no file type, so installing leaves the default program of every
#     file type as it was;
#   - an install into a scratch prefix holds every file, and the installed program, started
#     without a display on an installed sample with a timeout, reads it and draws its first section
#     with the window icon, the CJK font and Qt's Chinese texts (fiberview --self-check);
#   - without a display, the installed program checks every installed sample
#     (fiberview --check) and `man fiberview` shows its manual page;
#   - the Debian package built by CPack holds the same files, depends on Qt Widgets, the CJK
#     font, Qt's translations and the SVG plugin, and carries the project's version, as does
#     the software-centre description.
# Prints each check's own output, then its result on a line of its own, and at the end the
# results once more. Exits 1 when a check fails. Installs the Debian packages it needs.
set -euo pipefail
cd "$(dirname "$0")/.."

app_id=io.github.fiberview.FiberView
build=build/program

bash tools/install-deps.sh cmake ninja-build g++ qt6-base-dev qt6-svg-dev desktop-file-utils \
  appstream dpkg-dev file libgeos-dev libfast-float-dev man-db

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failed=0
results=()
# check NAME FUNCTION: runs the function, prints its output and then its result.
check() {
  echo "== $1"
  local status=0 result
  "$2" 2>&1 || status=$?
  if [ "$status" -eq 0 ]; then
    result="通过  $1"
  else
    result="失败  $1"
    failed=1
  fi
  echo "$result"
  results+=("$result")
}

# The installed paths, relative to the prefix.
expected_files() {
  echo "bin/fiberview"
  echo "share/applications/$app_id.desktop"
  echo "share/icons/hicolor/scalable/apps/$app_id.svg"
  echo "share/metainfo/$app_id.metainfo.xml"
  echo "share/man/man1/fiberview.1.gz"
  echo "share/doc/fiberview/README.md"
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

desktop_entry_claims_no_file_type() {
  # A MimeType line would make the viewer a candidate default for that type, and with
  # text/plain the default program of every text file.
  ! grep -n '^MimeType=' "packaging/$app_id.desktop"
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

installed_program_draws() {
  mkdir -p -m 700 "$scratch/runtime"
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$scratch/runtime" timeout 60 \
    "$scratch/prefix/bin/fiberview" --self-check \
    "$scratch/prefix/share/fiberview/samples/new_titles_gbk.txt"
}

installed_program_checks_without_display() {
  mkdir -p -m 700 "$scratch/runtime"
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$scratch/runtime" \
    timeout 60 "$scratch/prefix/bin/fiberview" --check "$scratch"/prefix/share/fiberview/samples/*.txt
}

manual_page_shows() {
  local out
  out=$(LANG=C.UTF-8 MANPATH="$scratch/prefix/share/man" man -P cat fiberview 2>&1) || {
    echo "$out"
    return 1
  }
  echo "$out" | head -n 5
  grep -q -- "--check" <<<"$out" && grep -q "退出状态" <<<"$out"
}

installed_program_answers_version() {
  local out
  out=$(timeout 5 "$scratch/prefix/bin/fiberview" --version) || return 1
  echo "$out"
  grep -qF "$version" <<<"$out"
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

echo "== 构建 fiberview"
cmake --preset program
cmake --build --preset program
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

check "菜单项通过 desktop-file-validate" desktop_entry_valid
check "菜单项不声明文件类型" desktop_entry_claims_no_file_type
check "软件中心描述通过 appstreamcli validate --pedantic --strict" metainfo_valid
check "安装到临时目录后文件齐全" installed_files_present
check "已安装的程序没有显示器也能读取示例文件并绘出第一节（--self-check）" installed_program_draws
check "已安装的程序没有显示器也能检查示例文件（--check）" installed_program_checks_without_display
check "man fiberview 显示手册页" manual_page_shows
check "已安装的程序回答 --version" installed_program_answers_version
check "Debian 包内文件齐全" package_files_present
check "Debian 包依赖 Qt Widgets、文泉驿微米黑、Qt 中文翻译和 SVG 插件" package_depends
check "CMake、Debian 包和软件中心描述的版本号一致" versions_agree

echo "== 结果"
printf '%s\n' "${results[@]}"
if [ "$failed" -ne 0 ]; then
  echo "有检查未通过，各项的输出见上。"
  exit 1
fi
