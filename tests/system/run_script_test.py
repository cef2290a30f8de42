#!/usr/bin/env python3
"""System test of ./run.sh without a display, stopped by a signal.

The real script runs in a copy of its tree whose setup and build scripts do
nothing and whose built program is the one under test, in the environment of
system_test.py (no DISPLAY, private mount namespace, /dev/shm, home and common
application-data folder). It starts its own virtual display, window manager and
JACK server and the program on them, with preferences that hold a JACK device
setup and no engine state. A measurement is started with the space bar; then
SIGINT goes to the script's whole process group, as Ctrl+C in its terminal
does, or SIGTERM to the script alone, or SIGHUP to the group, as a terminal
that closes sends it. Each time afterwards:

- the report has its stop time and its integrated loudness, and the preferences
  hold the device setup and the engine state: the program quit as through its
  close button;
- the display server, the window manager and the JACK server that the script
  started are gone;
- the script's output carries none of the helpers' chatter.

Ctrl+C at once after the script says how to stop the meter ends the meter
too. A meter that does not quit (a script in its place) is killed 10 s after
SIGTERM, which the script says, and its helpers after it; it was started with
none of the three signals ignored.

Exit code 77 means skipped (see system_test.py).
"""

import argparse
import os
import re
import signal
import sys
import time
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import end_to_end_test  # noqa: E402
import system_test as harness  # noqa: E402
from system_test import check, log, wait_until  # noqa: E402

harness.RUN_LIMIT_S = 100
HELPERS = {"Xvfb", "openbox", "jackd"}
STOP_LIMIT_S = 10
OVERDUE = "The meter has not quit"
# A meter that has not yet set its signal handlers.
STARTING_METER = "#!/bin/sh\nexec sleep 600\n"
# A meter that never quits; it writes down the signals it was started with ignored, and says it has
# started only once it ignores them all, so that no signal sent after that can end it.
HANGING_METER = """#!/bin/sh
grep SigIgn /proc/self/status >"$0.ignored"
exec env --ignore-signal=INT,TERM,HUP sh -c 'mv "$0.ignored" "$0.started" && exec sleep 600' "$0"
"""


def process(pid):
    """(name, state, parent, start time) of a process, or None when there is none."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            stat = f.read()
    except OSError:
        return None
    # The name is in parentheses and may hold blanks; the fields after it are plain.
    rest = stat[stat.rindex(")") + 2:].split()
    return stat[stat.index("(") + 1:stat.rindex(")")], rest[0], int(rest[1]), rest[19]


def is_running(pid, started_at):
    found = process(pid)
    return found is not None and found[3] == started_at and found[1] != "Z"


def children(parent):
    """{pid: (name, start time)} of the processes whose parent is parent."""
    found = {int(pid): process(pid) for pid in os.listdir("/proc") if pid.isdigit()}
    return {pid: (p[0], p[3]) for pid, p in found.items() if p and p[2] == parent}


class RunScriptTest(end_to_end_test.EndToEndTest):
    def make_tree(self, name, program=None):
        """A copy of run.sh beside setup and build scripts that do nothing, and where the build puts the program
        the program under test, or a script of that text."""
        tree = os.path.join(self.workdir, name)
        os.makedirs(os.path.join(tree, "scripts"))
        os.makedirs(os.path.join(tree, "build", "release", "host"))
        with open(self.args.run_script, "rb") as f:
            script = f.read()
        files = [("run.sh", script), ("scripts/setup.sh", b"#!/bin/sh\n"), ("scripts/build.sh", b"#!/bin/sh\n")]
        app = os.path.join(tree, "build", "release", "host", "ZELX51")
        if program is None:
            os.symlink(os.path.abspath(self.args.app), app)
        else:
            files.append((app, program.encode()))
        for path, text in files:
            with open(os.path.join(tree, path), "wb") as f:
                f.write(text)
            os.chmod(os.path.join(tree, path), 0o755)
        return os.path.join(tree, "run.sh"), app

    def start_script(self, what, program=None):
        """Starts run.sh as the leader of a process group of its own, as a terminal's foreground job is; returns
        it, its output's path and the program's path."""
        path, app = self.make_tree("tree-" + what, program)
        # The display of a case before is gone with its script.
        self.env.pop("DISPLAY", None)
        script = self.procs.start("run-" + what, [path], start_new_session=True)
        self.app = script
        return script, os.path.join(self.workdir, f"run-{what}.log"), app

    def output(self, script_log):
        with open(script_log, errors="replace") as f:
            return f.read()

    def wait_for_line(self, script, script_log, pattern, limit_s):
        def found():
            check(script.poll() is None, f"run.sh ended early with code {script.returncode}")
            return re.search(pattern, self.output(script_log))
        return wait_until(found, limit_s, f"run.sh to print {pattern!r}")

    def wait_for_end(self, script, script_log, started, limit_s, what):
        """What the script printed, once it has ended after a signal and none of the processes it started is
        left."""
        wait_until(lambda: script.poll() is not None, limit_s, f"{what}: run.sh to end")
        log(f"{what}: run.sh ended with code {script.returncode}")
        outlived = sorted(name for pid, (name, at) in started.items() if is_running(pid, at))
        for pid, (name, at) in started.items():
            if is_running(pid, at):
                os.kill(pid, signal.SIGKILL)
        check(not outlived, f"{what}: {', '.join(outlived)} outlived run.sh")
        return self.output(script_log)

    def stop_measuring(self, number, to_group):
        """A measurement runs when the signal comes: the meter completes its report and its preferences."""
        what = signal.Signals(number).name
        harness.write_prefs(self.prefs, 100, 60, None)
        script, script_log, _ = self.start_script(what)
        self.env["DISPLAY"] = self.wait_for_line(script, script_log, r"on virtual display (:\d+)", 20).group(1)
        wid = wait_until(lambda: (lambda out: out.split()[0] if out.split() else None)(
            self.procs.run(["xdotool", "search", "--onlyvisible", "--name", harness.WINDOW_TITLE], 5)[1]), 20,
            f"{what}: the main window")
        started = children(script.pid)
        names = {name for name, _ in started.values()}
        check(names == HELPERS | {"ZELX51"}, f"{what}: run.sh started {sorted(names)}")
        self.wait_for_device(what)

        before = set(self.reports())
        self.key(wid, "space")
        report = wait_until(lambda: (sorted(set(self.reports()) - before) or [None])[0], 10,
                            f"{what}: the space bar to start a measurement")
        check(not ET.parse(report).getroot().find("MeasurementInterval/StopTime").get("value"),
              f"{report} was completed before {what}")

        (os.killpg if to_group else os.kill)(script.pid, number)
        output = self.wait_for_end(script, script_log, started, 20, what)
        root = ET.parse(report).getroot()
        for path in ("MeasurementInterval/StopTime", "IntegratedMeasurements/IntegratedLoudness"):
            element = root.find(path)
            check(element is not None and element.get("value"), f"{what}: {report}: {path} is missing or empty")
        setup = harness.check_four_keys(self.prefs, what)["audiosetup"][1]
        check(setup is not None and setup.get("deviceType") == "JACK", f"{what}: the JACK setup was not kept")
        check("Cannot connect to server socket" not in output, f"the helpers' chatter reached the terminal:\n{output}")
        check(script.returncode == 0, f"{what}: run.sh ended with code {script.returncode}, not the program's 0")

    def stop_at_once(self):
        """Ctrl+C at once after run.sh has told how to stop the meter and started it: a meter that has not yet
        set its handlers (a script in its place) ends."""
        what = "at-once"
        script, script_log, _ = self.start_script(what, STARTING_METER)

        def meter_started():
            check(script.poll() is None, f"{what}: run.sh ended early with code {script.returncode}")
            if "Stop the meter with Ctrl+C." not in self.output(script_log):
                return False
            # Once it runs the script, it is in a session of its own, out of reach of the group's Ctrl+C.
            with open(f"/proc/{script.pid}/task/{script.pid}/children") as f:
                return any((process(pid) or ("",))[0] == "sleep" for pid in f.read().split())

        end = time.monotonic() + 20
        while not meter_started():
            check(time.monotonic() < end, f"{what}: run.sh did not start the meter")
            time.sleep(0.001)
        os.killpg(script.pid, signal.SIGINT)
        output = self.wait_for_end(script, script_log, children(script.pid), 20, what)
        check(OVERDUE not in output, f"{what}: the meter did not take Ctrl+C:\n{output}")
        check(script.returncode == 128 + signal.SIGINT, f"{what}: run.sh ended with code {script.returncode}")

    def stop_hanging(self):
        """A meter that does not quit is killed, and the helpers after it."""
        what = "hanging"
        script, script_log, app = self.start_script(what, HANGING_METER)
        wait_until(lambda: os.path.exists(app + ".started"), 20, f"{what}: the meter to start")
        started = children(script.pid)
        os.kill(script.pid, signal.SIGTERM)
        output = self.wait_for_end(script, script_log, started, STOP_LIMIT_S + 10, what)
        check(OVERDUE in output, f"{what}: run.sh did not say that it ended the meter:\n{output}")
        check(script.returncode == 128 + signal.SIGKILL, f"{what}: run.sh ended with code {script.returncode}")
        with open(app + ".started") as f:
            ignored = int(f.read().split()[1], 16)
        for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            check(not ignored & (1 << (number - 1)), f"the meter started with {number.name} ignored")

    def run(self):
        os.makedirs(self.prefs_dir)
        # The helpers' log folders go with the test's own.
        self.env["TMPDIR"] = self.workdir
        # Ctrl+C in run.sh's terminal, a plain kill, a terminal that closes.
        for number, to_group in ((signal.SIGINT, True), (signal.SIGTERM, False), (signal.SIGHUP, True)):
            self.stop_measuring(number, to_group)
        self.stop_at_once()
        self.stop_hanging()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--app", required=True)
    parser.add_argument("--run-script", required=True)
    return harness.run_isolated(parser.parse_args(), RunScriptTest, tools=("setsid",))


if __name__ == "__main__":
    sys.exit(main())
