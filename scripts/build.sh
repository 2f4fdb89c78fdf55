#!/usr/bin/env bash
# Configures and builds one build tree: scripts/build.sh DIR [cmake options...]
# RUVO_BUILD_TARGETS="a b" builds only those targets.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="$1"; shift
launcher=()
# ccache, when a developer has it, makes rebuilds and second checkouts cheap; paths below the
# checkout are taken relative, so several checkouts share one cache.
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="$PWD"
  # The tests' precompiled header: ccache takes a file that uses one only with these.
  export CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:-pch_defines,time_macros}"
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
targets=()
if [ -n "${RUVO_BUILD_TARGETS:-}" ]; then read -r -a targets <<<"$RUVO_BUILD_TARGETS"; targets=(--target "${targets[@]}"); fi
cmake --build "$dir" -j "$(nproc)" "${targets[@]}"
