#!/usr/bin/env bash
# Builds the fuzzers (clang, libFuzzer, AddressSanitizer) in build/fuzz and
# runs them for the given number of seconds in all, half each: the remote
# message fuzzer from the seeds in fuzz/corpus, the log reader fuzzer from
# those in fuzz/corpus-logs. Any crash fails the script: scripts/fuzz.sh <seconds>
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

# New inputs go to scratch corpora; the committed seeds stay as they are.
each=$(( (seconds + 1) / 2 ))
mkdir -p "$dir/corpus" "$dir/corpus-logs" "$dir/artifacts"
echo "== fuzzing the remote message handler for ${each} s"
"$dir/RemoteMessageFuzzer" -max_total_time="$each" -timeout=10 -rss_limit_mb=2048 \
  -close_fd_mask=1 -print_final_stats=1 -artifact_prefix="$dir/artifacts/" \
  "$dir/corpus" "$root/fuzz/corpus"
echo "== fuzzing the log and report readers for ${each} s"
"$dir/LogReaderFuzzer" -max_total_time="$each" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$dir/artifacts/" \
  "$dir/corpus-logs" "$root/fuzz/corpus-logs"
