#!/usr/bin/env bash
# Sets up this machine, builds the meter (Release) and starts it. Without a
# display it starts a virtual one (Xvfb with openbox) and a JACK server on its
# dummy driver, and ends both when the meter quits. Ctrl+C, SIGTERM and SIGHUP
# reach the meter alone, which quits as through its close button; the helpers,
# each in a session of its own, go only after it. A meter that has not quit
# 10 s after the signal is killed.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build/release" -DZELX_BUILD_TESTS=OFF -DZELX_BUILD_BENCH=OFF
app="$root/build/release/host/ZELX51"

if [ -n "${DISPLAY:-}" ]; then
  exec "$app" "$@"
fi

pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
  done
  wait 2>/dev/null || true
}
trap cleanup EXIT

# A signal ends the script (and the helpers) until the meter is launched, and
# from then on goes to the meter: one that comes while it is being launched is
# sent on once its id is known.
stop_limit_s=10
meter=""
launching=""
pending=""
stop_by=""
on_signal() {
  if [ -n "$meter" ]; then
    kill -s "$1" "$meter" 2>/dev/null || true
    [ -n "$stop_by" ] || stop_by=$((${EPOCHREALTIME//[!0-9]/} + stop_limit_s * 1000000))
  elif [ -n "$launching" ]; then
    pending="$1"
  else
    exit $((128 + $(kill -l "$1")))
  fi
}
for signal in INT TERM HUP; do
  trap "on_signal $signal" "$signal"
done

logs="$(mktemp -d -t zelx-run-XXXXXX)"
exec 3<> "$logs/displayfd"
# -noreset: a server that resets when its last client leaves drops one connecting then.
setsid Xvfb -displayfd 3 -noreset -screen 0 1280x1024x24 -nolisten tcp >"$logs/xvfb.log" 2>&1 &
pids+=($!)
display=""
for _ in $(seq 100); do
  display="$(head -n1 "$logs/displayfd" 2>/dev/null || true)"
  [ -n "$display" ] && break
  sleep 0.1
done
if [ -z "$display" ]; then
  echo "No display, and the virtual display did not start (see $logs/xvfb.log)." >&2
  exit 1
fi
exec 3>&-
export DISPLAY=":$display"
setsid openbox --sm-disable >"$logs/openbox.log" 2>&1 &
pids+=($!)

export JACK_NO_AUDIO_RESERVATION=1
if ! jack_lsp >/dev/null 2>&1; then
  setsid jackd --no-realtime -d dummy -r 48000 -p 512 -C 6 -P 6 >"$logs/jackd.log" 2>&1 &
  pids+=($!)
  timeout 15 jack_wait -w -t 10 >"$logs/jack_wait.log" 2>&1 || echo "The JACK server did not start (see $logs/jackd.log)." >&2
  jack_note=" and a JACK server on its dummy driver (48000 Hz, 6 in, 6 out)"
else
  jack_note=" with the JACK server already running"
fi

# Waits without a child of its own: a read that times out on a pipe nobody
# writes to lets the signal traps run at once.
mkfifo "$logs/tick"
exec {tick}<> "$logs/tick"

# A background job of a script starts with SIGINT ignored, until env resets
# it: a signal sent on before would be lost, so the meter's id is taken as known
# only once its process is none of these. SIGHUP is ignored only when this
# script was started so (nohup), and the meter keeps it so.
launchers=(/proc/$$/exe "$(command -v setsid)" "$(command -v env)")
is_launcher() {
  local launcher
  for launcher in "${launchers[@]}"; do
    [ "/proc/$1/exe" -ef "$launcher" ] && return 0
  done
  return 1
}

echo "No display: running the meter on virtual display $DISPLAY (Xvfb with openbox)${jack_note}."
echo "Logs of these helpers are in $logs. Stop the meter with Ctrl+C."
launching=1
setsid env --default-signal=INT,TERM "$app" "$@" {tick}<&- &
launched=$!
while kill -0 "$launched" 2>/dev/null && is_launcher "$launched"; do
  read -r -t 0.002 -u "$tick" _ || true
done
meter=$launched
[ -z "$pending" ] || on_signal "$pending"

# Polled rather than waited for, so that the time limit holds whenever the
# signal comes.
while kill -0 "$meter" 2>/dev/null; do
  if [ -n "$stop_by" ] && ((${EPOCHREALTIME//[!0-9]/} >= stop_by)); then
    echo "The meter has not quit ${stop_limit_s} s after the signal: ending it, then the helpers." >&2 || true
    kill -s KILL "$meter" 2>/dev/null || true
    # Reaped here, where the shell's own words on the kill go nowhere.
    code=0
    wait "$meter" 2>/dev/null || code=$?
    exit "$code"
  fi
  read -r -t 0.2 -u "$tick" _ || true
done
wait "$meter"
