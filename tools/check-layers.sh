#!/usr/bin/env bash
# Fails when a source file includes a header of a layer above its own. The layers, lowest
# first; a file may include its own folder and any folder of a lower rank:
#   platform (0) < ecr, receipt (1, not each other) < app (2) < execution (3)
#   < console (4) < console/gui, http (5, not each other) < src/main.cpp (6)
# The simulator, the tests' oracle, may include platform alone besides its own files.
#   tools/check-layers.sh [SOURCE_ROOT]
set -uo pipefail
root="${1:-$(dirname "$0")/..}"
cd "$root" || exit 2

rank_of() {
  case "$1" in
    platform) echo 0 ;;
    ecr | receipt) echo 1 ;;
    app) echo 2 ;;
    execution) echo 3 ;;
    console) echo 4 ;;
    console/gui | http) echo 5 ;;
    main) echo 6 ;;
    *) echo "" ;;
  esac
}

# The layer of a path below src/ ("console/gui/X.h" is gui, "app/X.h" is app).
layer_of() {
  local path="$1"
  case "$path" in
    console/gui/*) echo console/gui ;;
    */*) echo "${path%%/*}" ;;
    *) echo main ;;
  esac
}

failures=0
complain() {
  echo "$1:$2: includes \"$3\": $4" >&2
  failures=$((failures + 1))
}

while IFS= read -r file; do
  own=$(layer_of "${file#src/}")
  own_rank=$(rank_of "$own")
  if [ -z "$own_rank" ]; then
    complain "$file" 0 "" "a folder of src/ that no layer names"
    continue
  fi
  while IFS=: read -r line header; do
    case "$header" in */*) ;; *) continue ;; esac  # a header beside the file
    to=$(layer_of "$header")
    to_rank=$(rank_of "$to")
    [ -z "$to_rank" ] && continue  # a header from outside src/
    [ "$to" = "$own" ] && continue
    if [ "$to_rank" -ge "$own_rank" ]; then
      complain "$file" "$line" "$header" "$to is not below $own"
    fi
  done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" |
             sed -E 's/^([0-9]+):[^"]*"([^"]*)".*/\1:\2/')
done < <(find src -type f \( -name '*.cpp' -o -name '*.h' \) | sort)

while IFS= read -r file; do
  while IFS=: read -r line header; do
    case "$header" in
      */*) ;;
      *) continue ;;
    esac
    case "$header" in
      platform/*) ;;
      *) complain "$file" "$line" "$header" "the simulator uses platform alone" ;;
    esac
  done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" |
             sed -E 's/^([0-9]+):[^"]*"([^"]*)".*/\1:\2/')
done < <(find sim -type f \( -name '*.cpp' -o -name '*.h' \) | sort)

if [ "$failures" -gt 0 ]; then
  echo "$failures include(s) point up the layers" >&2
  exit 1
fi
echo "Every include points down the layers."
