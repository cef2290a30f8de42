#!/usr/bin/env bash
# Builds and runs every benchmark.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build/release"
for b in "$root"/build/release/bench/*; do
  if [ -x "$b" ] && [ -f "$b" ]; then
    echo "== $(basename "$b")"
    "$b"
  fi
done
