#!/usr/bin/env python3
"""System test of ./run.sh without a display, stopped with Ctrl+C.

The real script runs in a copy of its tree whose setup and build scripts do
nothing and whose built program is the one under test, in the environment of
system_test.py (no DISPLAY, private mount namespace, /dev/shm, home and common
application-data folder). It starts its own virtual display, window manager and
JACK server and the program on them, with preferences that hold a JACK device
setup and no engine state. A measurement is started with the space bar; then
SIGINT goes to the script's whole process group, as Ctrl+C in its terminal does.
Afterwards:

- the report has its stop time and its integrated loudness, and the preferences
  hold the device setup and the engine state: the program quit as through its
  close button;
- the display server, the window manager and the JACK server that the script
  started are gone;
- the script's output carries none of the helpers' chatter.

Exit code 77 means skipped (see system_test.py).
"""

import argparse
import os
import re
import signal
import sys
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import end_to_end_test  # noqa: E402
import system_test as harness  # noqa: E402
from system_test import check, log, wait_until  # noqa: E402

harness.RUN_LIMIT_S = 60
HELPERS = {"Xvfb", "openbox", "jackd"}


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


class RunScriptTest(end_to_end_test.EndToEndTest):
    def make_tree(self):
        """A copy of run.sh beside setup and build scripts that do nothing, and the program under test where the
        build puts it."""
        tree = os.path.join(self.workdir, "tree")
        os.makedirs(os.path.join(tree, "scripts"))
        os.makedirs(os.path.join(tree, "build", "release", "host"))
        with open(self.args.run_script, "rb") as f:
            script = f.read()
        for path, text in (("run.sh", script), ("scripts/setup.sh", b"#!/bin/sh\n"),
                           ("scripts/build.sh", b"#!/bin/sh\n")):
            with open(os.path.join(tree, path), "wb") as f:
                f.write(text)
            os.chmod(os.path.join(tree, path), 0o755)
        os.symlink(os.path.abspath(self.args.app), os.path.join(tree, "build", "release", "host", "ZELX51"))
        return os.path.join(tree, "run.sh")

    def run(self):
        os.makedirs(self.prefs_dir)
        harness.write_prefs(self.prefs, 100, 60, None)
        script_log = os.path.join(self.workdir, "run-script.log")

        # The helpers' log folder goes with the test's own.
        self.env["TMPDIR"] = self.workdir
        # The leader of a group of its own, as a terminal's foreground job is.
        script = self.procs.start("run-script", [self.make_tree()], start_new_session=True)
        self.app = script

        def announced_display():
            check(script.poll() is None, f"run.sh ended early with code {script.returncode}")
            with open(script_log, errors="replace") as f:
                found = re.search(r"running the meter on virtual display (:\d+)", f.read())
            return found and found.group(1)

        self.env["DISPLAY"] = wait_until(announced_display, 20, "run.sh to announce its display")
        log(f"run.sh announced display {self.env['DISPLAY']}")
        helpers = {}
        try:
            wid = wait_until(lambda: (lambda out: out.split()[0] if out.split() else None)(
                self.procs.run(["xdotool", "search", "--onlyvisible", "--name", harness.WINDOW_TITLE], 5)[1]), 20,
                "the main window")
            found = {int(pid): process(pid) for pid in os.listdir("/proc") if pid.isdigit()}
            helpers = {pid: (p[0], p[3]) for pid, p in found.items() if p and p[2] == script.pid and p[0] in HELPERS}
            check({s[0] for s in helpers.values()} == HELPERS,
                  f"run.sh started {sorted(s[0] for s in helpers.values())}, not {sorted(HELPERS)}")
            self.wait_for_device("run.sh")

            self.key(wid, "space")
            report = wait_until(lambda: (self.reports() or [None])[0], 10, "the space bar to start a measurement")
            check(not ET.parse(report).getroot().find("MeasurementInterval/StopTime").get("value"),
                  f"{report} was completed before Ctrl+C")
            log(f"measurement started: {report}")

            os.killpg(script.pid, signal.SIGINT)
            wait_until(lambda: script.poll() is not None, 20, "run.sh to end after Ctrl+C")
            log(f"run.sh ended after Ctrl+C with code {script.returncode}")
            outlived = sorted(name for pid, (name, started_at) in helpers.items() if is_running(pid, started_at))
            check(not outlived, f"{', '.join(outlived)} outlived run.sh")
        finally:
            for pid, (name, started_at) in helpers.items():
                if is_running(pid, started_at):
                    os.kill(pid, signal.SIGKILL)
                    log(f"{name} ({pid}) was still running")

        root = ET.parse(report).getroot()
        for path in ("MeasurementInterval/StopTime", "IntegratedMeasurements/IntegratedLoudness"):
            element = root.find(path)
            check(element is not None and element.get("value"), f"{report}: {path} is missing or empty")
            log(f"report: {path} {element.get('value')}")
        stored = harness.check_four_keys(self.prefs, "Ctrl+C")
        setup = stored["audiosetup"][1]
        check(setup is not None and setup.get("deviceType") == "JACK", "Ctrl+C: the JACK setup was not kept")
        with open(script_log, errors="replace") as f:
            output = f.read()
        check("Cannot connect to server socket" not in output, f"the helpers' chatter reached the terminal:\n{output}")
        check(script.returncode == 0, f"run.sh ended with code {script.returncode}, not the program's 0")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--app", required=True)
    parser.add_argument("--run-script", required=True)
    return harness.run_isolated(parser.parse_args(), RunScriptTest, tools=("setsid",))


if __name__ == "__main__":
    sys.exit(main())
