#!/usr/bin/env bash
# Builds the remote message fuzzer (clang, libFuzzer, AddressSanitizer) in
# build/fuzz and runs it for the given number of seconds from the seed corpus
# in fuzz/corpus; any crash fails the script: scripts/fuzz.sh <seconds>
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
dir="$root/build/fuzz"

"$root/scripts/setup.sh"

launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root/fuzz" -B "$dir" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}"
cmake --build "$dir" --parallel "$(nproc 2>/dev/null || echo 2)"

# New inputs go to a scratch corpus; the committed seeds stay as they are.
mkdir -p "$dir/corpus" "$dir/artifacts"
echo "== fuzzing the remote message handler for ${seconds} s"
"$dir/RemoteMessageFuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -close_fd_mask=1 -print_final_stats=1 -artifact_prefix="$dir/artifacts/" \
  "$dir/corpus" "$root/fuzz/corpus"
