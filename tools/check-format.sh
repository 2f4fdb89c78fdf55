#!/usr/bin/env bash
# Fails when a C++ source of the project differs from what clang-format makes of it
# (.clang-format). tools/check-format.sh --fix rewrites them in place.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null ||
                     find src sim tests bench tools -name '*.cpp' -o -name '*.h')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
if ! report=$(clang-format --dry-run --Werror "${files[@]}" 2>&1); then
  grep -oE '^[^ :]+\.(cpp|h):[0-9]+' <<<"$report" | sort -u | head -40 >&2
  echo "Some sources are not formatted: run tools/check-format.sh --fix" >&2
  exit 1
fi
echo "Every C++ source is formatted."
