#!/usr/bin/python3
"""CPU time of the whole program metering live six-channel audio, against a peer.

On a private virtual display (Xvfb with openbox) and a private JACK server on its
dummy driver (48000 Hz, blocks of 512), one source plays six channels into all
six inputs of the program (JACK device, 5.1 layout, meter view showing) and, on
the same JACK graph, channels 1 and 2 into the peer: Debian's x42-plugins EBU
R128 meter ("x42-meter 0", stereo, its own window). Both processes' CPU time
(user + system, /proc/PID/stat) is taken over the same 30 s and printed as a
percentage of one core, with the ratio, for two feeds in turn: steady tones,
and pink noise with a slow tremolo that keeps every meter and scope moving.

    bench/cpu_vs_peer.py [--app build/release/host/ZELX51]
                         [--make-state build/release/tests/system/make_filter_state] [--seconds 30]

Needs x42-plugins (apt-get install x42-plugins), which the project's setup does
not install, and the environment of the system test (scripts/setup.sh).
"""

import argparse
import os
import shutil
import sys
import time

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(root, "tests", "system"))
import system_test as harness  # noqa: E402
from system_test import check, log, wait_until  # noqa: E402

SETTLE_S = 3
LAYOUT = "0;1;2;3;4;5;"
PEER = "x42"
# sox synth arguments of each feed, six channels: steady tones, whose meters
# settle, and independent pink noise with a slow tremolo, which keeps every
# meter and scope of both programs moving.
FEEDS = [
    ("steady tones", [a for f in (300, 500, 700, 1100, 1300, 1700) for a in ("sine", str(f))] + ["gain", "-12"]),
    ("moving noise", ["pinknoise"] * 6 + ["tremolo", "0.4", "60", "gain", "-12"]),
]


def cpu_seconds(stat_path):
    """User plus system time from a /proc stat file (a process's: all its threads), in seconds."""
    with open(stat_path) as f:
        # The command name may hold blanks; the fields after it are plain.
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def thread_seconds(pid):
    """CPU seconds of each thread of a process, by thread id: (name, seconds)."""
    threads = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/comm") as f:
                threads[tid] = (f.read().strip(), cpu_seconds(f"/proc/{pid}/task/{tid}/stat"))
        except FileNotFoundError:  # the thread has just ended
            pass
    return threads


class CpuVersusPeer(harness.SystemTest):
    def run(self):
        code, state = self.procs.run([self.args.make_state, LAYOUT, LAYOUT], 20)
        check(code == 0 and state.strip(), "make_filter_state failed")
        os.makedirs(self.prefs_dir)
        harness.write_prefs(self.prefs, 40, 40, state.strip())

        self.start_display()
        self.start_jack()
        self.start_app("bench")
        self.wait_for_device("bench")
        peer = self.procs.start("peer", ["x42-meter", "-j", PEER, "0"])
        wait_until(lambda: f"{PEER}:inR" in self.jack_ports(), 15, "the peer's JACK ports")

        for feed, synth in FEEDS:
            load = self.measure(feed, synth, {"ZELX51": self.app, "x42-meter 0": peer})
            print(f"{feed}: CPU over {self.args.seconds:.0f} s of live audio at {harness.SAMPLE_RATE} Hz, "
                  "% of one core:")
            print(f"  ZELX51 (six channels, meter view):   {load['ZELX51']:6.2f} %")
            print(f"  x42-meter 0 (EBU R128, stereo):      {load['x42-meter 0']:6.2f} %")
            if load["x42-meter 0"] > 0:
                print(f"  ratio ZELX51 / x42-meter:            {load['ZELX51'] / load['x42-meter 0']:6.2f}")
            print("  ZELX51 by thread: " + ", ".join(f"{name} {share:.2f} %" for share, name in self.threads))
            sys.stdout.flush()

    def measure(self, feed, synth, processes):
        """Plays one feed into both meters and returns each one's CPU load over the same time."""
        source = os.path.join(self.workdir, "source.wav")
        code, out = self.procs.run(["sox", "-n", "-r", str(harness.SAMPLE_RATE), "-b", "16", "-c", "6", source,
                                    "synth", str(self.args.seconds + SETTLE_S + 10)] + synth, 60)
        check(code == 0, f"sox could not make the source: {out}")
        player = self.procs.start("source", ["jack-play", "-u", "-n", "src", source])
        wait_until(lambda: "src:out_6" in self.jack_ports(), 10, "the source's JACK ports")
        connections = [(f"src:out_{n}", f"{harness.CLIENT}:in_{n}") for n in range(1, 7)]
        connections += [("src:out_1", f"{PEER}:inL"), ("src:out_2", f"{PEER}:inR")]
        for source_port, meter_port in connections:
            code, out = self.procs.run(["jack_connect", source_port, meter_port], 5)
            check(code == 0, f"could not connect {source_port} to {meter_port}: {out}")

        time.sleep(SETTLE_S)
        before = {name: cpu_seconds(f"/proc/{p.pid}/stat") for name, p in processes.items()}
        threads_before = thread_seconds(self.app.pid)
        start = time.monotonic()
        time.sleep(self.args.seconds)
        after = {name: cpu_seconds(f"/proc/{p.pid}/stat") for name, p in processes.items()}
        threads_after = thread_seconds(self.app.pid)
        elapsed = time.monotonic() - start
        for name, p in processes.items():
            check(p.poll() is None, f"{name} ended while it was measured")
        self.procs.stop(player)
        wait_until(lambda: "src:out_1" not in self.jack_ports(), 10, f"the {feed} source to end")

        # Where the program's time goes, by thread, over the same time.
        by_name = {}
        for tid, (name, seconds) in threads_after.items():
            # Threads that are not named carry the program's name: the first is the message thread, the others
            # are JACK's, its audio thread among them.
            if tid == str(self.app.pid):
                name = "message thread"
            elif name == threads_after[str(self.app.pid)][0]:
                name = "JACK threads (audio)"
            by_name[name] = by_name.get(name, 0.0) + seconds - threads_before.get(tid, (name, 0.0))[1]
        self.threads = sorted(((100.0 * t / elapsed, n) for n, t in by_name.items() if t > 0), reverse=True)
        return {name: 100.0 * (after[name] - before[name]) / elapsed for name in processes}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--app", default=os.path.join(root, "build", "release", "host", "ZELX51"))
    parser.add_argument("--make-state",
                        default=os.path.join(root, "build", "release", "tests", "system", "make_filter_state"))
    parser.add_argument("--seconds", type=float, default=30.0)
    args = parser.parse_args()
    for path in (args.app, args.make_state):
        if not os.access(path, os.X_OK):
            print(f"{path} is missing: build first (scripts/build.sh build/release)", flush=True)
            return 1
    if shutil.which("x42-meter") is None:
        print("x42-meter is missing: apt-get install x42-plugins", flush=True)
        return 1
    harness.RUN_LIMIT_S = len(FEEDS) * (args.seconds + 20) + 30
    return harness.run_isolated(args, CpuVersusPeer, tools=("sox", "jack-play", "x42-meter"))


if __name__ == "__main__":
    sys.exit(main())
