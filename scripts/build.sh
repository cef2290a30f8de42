#!/usr/bin/env bash
# Configures and builds one build folder: scripts/build.sh <dir> [cmake args...]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
dir="$1"
shift
jobs="$(nproc 2>/dev/null || echo 2)"
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" "$@"
cmake --build "$dir" --parallel "$jobs"
ln -sfn "$dir/compile_commands.json" "$root/compile_commands.json" 2>/dev/null || true
