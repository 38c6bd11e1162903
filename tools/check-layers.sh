#!/usr/bin/env bash
# Checks that includes point downwards through the layers, app -> widgets -> document -> plot -> data,
# and that the standard-C++ layers include no Qt. Prints every offending line and exits 1
# if there is one. Usage: bash tools/check-layers.sh [project root]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

layers=(data plot document widgets app)
# Each layer may include from itself and from the layers before it in this list.
status=0
for ((i = 0; i < ${#layers[@]}; i++)); do
  folder=${layers[i]}
  allowed=" ${layers[*]:0:i+1} "
  while IFS= read -r hit; do
    [ -n "$hit" ] || continue
    target=$(sed -E 's/^[^:]*:[0-9]+:#include "([^/"]+)\/.*/\1/' <<<"$hit")
    if [[ "$allowed" != *" $target "* ]]; then
      echo "向上的包含：$hit（$folder/ 只能包含$allowed中的文件夹）" >&2
      status=1
    fi
  done < <(grep -Hn '^#include "[^"]*/' "$folder"/*.h "$folder"/*.cpp 2>/dev/null || true)
  if [ "$i" -le 1 ]; then
    while IFS= read -r hit; do
      [ -n "$hit" ] || continue
      echo "标准 C++ 层包含了 Qt：$hit" >&2
      status=1
    done < <(grep -Hn '^#include <Q' "$folder"/*.h "$folder"/*.cpp 2>/dev/null || true)
  fi
done
[ "$status" -eq 0 ] && echo "层次检查通过：app → widgets → document → plot → data"
exit "$status"
