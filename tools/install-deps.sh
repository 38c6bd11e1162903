#!/usr/bin/env bash
# Installs the Debian packages given as arguments when any of them is missing.
# Runs apt-get as root, or through sudo for another user.
set -euo pipefail

missing=()
for pkg in "$@"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "需要安装以下软件包，但当前用户不是 root，也没有 sudo：${missing[*]}" >&2
    exit 1
  fi
  sudo=sudo
fi
echo "正在安装：${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
