#!/usr/bin/python3
"""CPU time of the whole program metering live six-channel audio, against two peers.

A private JACK server on its dummy driver (48000 Hz, blocks of 512) carries one
source into all six inputs of the program (JACK device, 5.1 layout) and, on the
same graph, channels 1 and 2 into each peer: Debian's x42-plugins EBU R128 meter
("x42-meter 0") and ebumeter. Each program runs on a virtual display of its own
(Xvfb with openbox), and that display server's CPU time is added to its
program's, so that drawing counts wherever it is done. The CPU time (user +
system, /proc/PID/stat) of all three is taken over the same window of time, as
a percentage of one core, with the program in three states in turn: meter view
with the sound field, meter view with the vectorscope, and window minimised
(with the vectorscope chosen, the costlier view). Two feeds: a steady 1 kHz sine
at -23 dBFS on every channel, and pink noise with a slow tremolo that keeps
every meter and scope moving. Each figure is the median of --runs windows, each
ratio the median of the ratios of those windows; the program's time is also
split by thread (its thread names cut to the 15 characters Linux keeps).

    bench/cpu_vs_peer.py [--app build/release/host/ZELX51]
                         [--make-state build/release/tests/system/make_filter_state]
                         [--seconds 30] [--runs 3]

Installs the peers (x42-plugins, ebumeter) when they are missing, which the
project's setup does not; needs the environment of the system test
(scripts/setup.sh).
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(root, "tests", "system"))
import system_test as harness  # noqa: E402
from system_test import check, log, wait_until  # noqa: E402

SETTLE_S = 3
LAYOUT = "0;1;2;3;4;5;"
EDITOR = (1024, 768)
# The meter view's display box in the editor: x, y, width, height.
DISPLAY_COMBO = (403, 444, 93, 14)
# The peers: command, the Debian package that has it, and its two JACK inputs.
PEERS = {
    "x42-meter": (["x42-meter", "-j", "x42", "0"], "x42-plugins", ["x42:inL", "x42:inR"]),
    "ebumeter": (["ebumeter", "-name", "ebumeter"], "ebumeter", ["ebumeter:in.L", "ebumeter:in.R"]),
}
# The program's states with the goal for its ratio to x42-meter in each.
STATES = [("sound field", 0.75), ("vectorscope", 0.9), ("minimised", 0.5)]
# Linux keeps thread names of at most 15 characters and refuses a longer one, so that such a thread of the program
# would go on under the name of the thread that started it, counted with JACK's; loaded into the program, this
# shortens the name instead.
THREAD_NAMES_SHIM = r"""
#define _GNU_SOURCE
#include <dlfcn.h>
#include <pthread.h>
#include <string.h>
int pthread_setname_np (pthread_t thread, const char* name)
{
    int (*set) (pthread_t, const char*) = dlsym (RTLD_NEXT, "pthread_setname_np");
    char shortened[16] = { 0 };
    strncpy (shortened, name, sizeof shortened - 1);
    return set (thread, shortened);
}
"""
# sox synth arguments of each feed, six channels.
FEEDS = [
    ("steady tones", ["sine", "1000"] * 6 + ["gain", "-23"]),
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


def by_thread_name(pid, before, after):
    """CPU seconds between two thread_seconds of a process, summed by thread name."""
    by_name = {}
    for tid, (name, seconds) in after.items():
        # A thread that is not named carries the name of the one that started it: those with the message
        # thread's name are JACK's, its audio thread among them (the program names each of its own).
        if tid == str(pid):
            name = "message thread"
        elif name == after[str(pid)][0]:
            name = "JACK threads (audio)"
        by_name[name] = by_name.get(name, 0.0) + seconds - before.get(tid, (name, 0.0))[1]
    return by_name


class CpuVersusPeers(harness.SystemTest):
    def run(self):
        code, state = self.procs.run([self.args.make_state, LAYOUT, LAYOUT], 20)
        check(code == 0 and state.strip(), "make_filter_state failed")
        os.makedirs(self.prefs_dir)
        harness.write_prefs(self.prefs, 0, 0, state.strip())
        self.start_jack()
        self.sources = {feed: self.make_source(feed, synth) for feed, synth in FEEDS}

        # Each program with the display server it draws on; the program's own display last, so that it is this
        # test's DISPLAY from then on.
        self.programs = {}
        for name, (command, _, inputs) in PEERS.items():
            server = self.start_display()
            self.programs[name] = (self.procs.start(name, command), server)
            wait_until(lambda: all(p in self.jack_ports() for p in inputs), 15, f"{name}'s JACK ports")
        server = self.start_display()
        self.env["LD_PRELOAD"] = self.thread_names_shim()
        self.wid = self.start_app("bench")
        del self.env["LD_PRELOAD"]
        self.wait_for_device("bench")
        self.programs["ZELX51"] = (self.app, server)

        print(f"CPU over {self.args.seconds:.0f} s of live audio at {harness.SAMPLE_RATE} Hz, % of one core, each "
              f"program with its display server, medians of {self.args.runs} runs; load average "
              f"{os.getloadavg()[0]:.1f} at the start", flush=True)
        missed = []
        for state, goal in STATES:
            self.enter(state)
            loads = {feed: [] for feed, _ in FEEDS}
            for _ in range(self.args.runs):
                for feed, _ in FEEDS:
                    loads[feed].append(self.measure(feed))
            for feed, _ in FEEDS:
                if self.report(state, feed, loads[feed], goal) > goal:
                    missed.append(f"{state}, {feed}")
        print(f"load average {os.getloadavg()[0]:.1f} at the end")
        print("every goal met" if not missed else "short of a goal: " + "; ".join(missed), flush=True)

    def thread_names_shim(self):
        source, library = (os.path.join(self.workdir, "thread_names" + x) for x in (".c", ".so"))
        with open(source, "w") as f:
            f.write(THREAD_NAMES_SHIM)
        code, out = self.procs.run(["cc", "-shared", "-fPIC", "-o", library, source, "-ldl"], 60)
        check(code == 0, f"could not build the thread names' shim: {out}")
        return library

    def make_source(self, feed, synth):
        path = os.path.join(self.workdir, feed.replace(" ", "-") + ".wav")
        code, out = self.procs.run(["sox", "-n", "-r", str(harness.SAMPLE_RATE), "-b", "16", "-c", "6", path,
                                    "synth", str(self.args.seconds + SETTLE_S + 10)] + synth, 60)
        check(code == 0, f"sox could not make the {feed} source: {out}")
        return path

    def display_combo_pixels(self):
        """The display box's pixels: what it shows."""
        width, height = self.geometry(self.wid)[2:]
        x, y, w, h = DISPLAY_COMBO
        x, y = x + (width - EDITOR[0]) // 2, y + (height - EDITOR[1]) // 2
        return self.pixels(self.wid, x, y, w, h), (x + w // 2, y + h // 2)

    def enter(self, state):
        """Puts the program into a state: the meter view shows the sound field at the start."""
        if state == "vectorscope":
            before, (x, y) = self.display_combo_pixels()
            # A click opens the box's list and gives it the keyboard; the list closes again, and the down key picks
            # the next item, the vectorscope.
            self.xdotool("mousemove", "--window", self.wid, x, y, "click", "1")
            time.sleep(0.5)
            self.xdotool("key", "--clearmodifiers", "Escape")
            time.sleep(0.5)
            self.xdotool("key", "--clearmodifiers", "Down")
            wait_until(lambda: self.display_combo_pixels()[0] != before, 10, "the display box to show the vectorscope")
        elif state == "minimised":
            self.xdotool("windowminimize", "--sync", self.wid)
            # Minimised under openbox the window is unmapped: nothing of it can be seen.
            wait_until(lambda: self.procs.run(["xdotool", "search", "--onlyvisible", "--name",
                                               harness.WINDOW_TITLE], 5)[1].strip() == "", 10,
                       "the window to be unmapped")
        log(f"state: {state}")

    def measure(self, feed):
        """Plays one feed into all three meters; returns each one's CPU load over the same time (with its display
        server's), and the program's by thread name."""
        player = self.procs.start("source", ["jack-play", "-u", "-n", "src", self.sources[feed]])
        wait_until(lambda: "src:out_6" in self.jack_ports(), 10, "the source's JACK ports")
        connections = [(f"src:out_{n}", f"{harness.CLIENT}:in_{n}") for n in range(1, 7)]
        connections += [(f"src:out_{n + 1}", port) for _, _, inputs in PEERS.values() for n, port in enumerate(inputs)]
        for source_port, meter_port in connections:
            code, out = self.procs.run(["jack_connect", source_port, meter_port], 5)
            check(code == 0, f"could not connect {source_port} to {meter_port}: {out}")

        def cpu():
            return {name: (cpu_seconds(f"/proc/{p.pid}/stat"), cpu_seconds(f"/proc/{server.pid}/stat"))
                    for name, (p, server) in self.programs.items()}

        time.sleep(SETTLE_S)
        before, threads_before, start = cpu(), thread_seconds(self.app.pid), time.monotonic()
        time.sleep(self.args.seconds)
        after, threads_after, elapsed = cpu(), thread_seconds(self.app.pid), time.monotonic() - start
        for name, (p, _) in self.programs.items():
            check(p.poll() is None, f"{name} ended while it was measured")
        self.procs.stop(player)
        wait_until(lambda: "src:out_1" not in self.jack_ports(), 10, f"the {feed} source to end")

        load = {name: tuple(100.0 * (a - b) / elapsed for a, b in zip(after[name], before[name])) for name in after}
        threads = by_thread_name(self.app.pid, threads_before, threads_after)
        return load, {name: 100.0 * seconds / elapsed for name, seconds in threads.items()}

    def report(self, state, feed, runs, goal):
        """Prints the medians of one state and feed; returns the ratio as printed."""
        def median(name, parts=slice(0, 2)):
            return statistics.median(sum(load[name][parts]) for load, _ in runs)

        print(f"{state}, {feed}: " + ", ".join(
            f"{name} {median(name):.2f} % (display {median(name, slice(1, 2)):.2f} %)"
            for name in ("ZELX51", "x42-meter", "ebumeter")))
        names = {name for _, threads in runs for name in threads}
        split = sorted(((statistics.median(threads.get(n, 0.0) for _, threads in runs), n) for n in names),
                       reverse=True)
        print("  ZELX51 by thread: " + ", ".join(f"{name} {share:.2f} %" for share, name in split if share > 0))
        ratio = statistics.median(sum(load["ZELX51"]) / max(sum(load["x42-meter"]), 1e-9) for load, _ in runs)
        print(f"ratio to x42-meter, {state}, {feed}: {ratio:.2f} (goal {goal})", flush=True)
        return round(ratio, 2)


def install_peers():
    """Installs the Debian packages of the peers that are missing; False when that failed."""
    missing = [package for command, package, _ in PEERS.values() if shutil.which(command[0]) is None]
    if not missing:
        return True
    print(f"Installing the peers: {' '.join(missing)}", flush=True)
    apt = ([] if os.geteuid() == 0 else ["sudo", "-E"]) + ["apt-get", "-o", "DPkg::Lock::Timeout=300"]
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    return subprocess.run(apt + ["update"], env=env).returncode == 0 and \
        subprocess.run(apt + ["install", "-y", "--no-install-recommends"] + missing, env=env).returncode == 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--app", default=os.path.join(root, "build", "release", "host", "ZELX51"))
    parser.add_argument("--make-state",
                        default=os.path.join(root, "build", "release", "tests", "system", "make_filter_state"))
    parser.add_argument("--seconds", type=float, default=30.0)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    for path in (args.app, args.make_state):
        if not os.access(path, os.X_OK):
            print(f"{path} is missing: build first (scripts/build.sh build/release)", flush=True)
            return 1
    if not install_peers():
        print("could not install the peers", flush=True)
        return 1
    harness.RUN_LIMIT_S = len(STATES) * args.runs * len(FEEDS) * (args.seconds + SETTLE_S + 15) + 120
    return harness.run_isolated(args, CpuVersusPeers, tools=("sox", "jack-play", "x42-meter", "ebumeter", "cc"))


if __name__ == "__main__":
    sys.exit(main())
