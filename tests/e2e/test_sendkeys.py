#!/usr/bin/env python3
"""SendKeys mode end to end: ZELManager.exe under Wine types each record from
the simulated device into the window that holds the focus (zelcapture.exe),
without taking the focus itself, and its key sequence survives a restart
through preferences.pref.

Binaries: ZEL_EXE, ZEL_CAPTURE (zelcapture.exe), ZEL_PROBE (zelprobe.exe),
ZEL_SIM (zelsim), else the newest ones under build/. The rig: the one named by
ZEL_RUN_DIR (its env file), else one brought up here with tools/rig/up.sh."""
import glob
import json
import os
import subprocess
import sys
import tempfile
import time
import unittest

import zelharness

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
TITLE = "ZEL Manager"
CAPTURE_TITLE = "ZEL Capture"
SEQUENCE = ["{OPERATOR}", "{TAB}", "{QUANTITY}", "{TAB}", "{BARCODE}", "{ENTER}"]


def newest(relative):
    found = glob.glob(os.path.join(REPO, "build", "*", relative))
    return max(found, key=os.path.getmtime) if found else None


EXE = os.environ.get("ZEL_EXE") or newest("app/ZELManager.exe")
CAPTURE = os.environ.get("ZEL_CAPTURE") or newest("tools/capture/zelcapture.exe")
PROBE = os.environ.get("ZEL_PROBE") or newest("tools/zelprobe/zelprobe.exe")
SIM = os.environ.get("ZEL_SIM") or newest("tools/zelsim/zelsim")
OWN_RIG = None


def setUpModule():
    # The rig named by ZEL_RUN_DIR, else one of our own for this run.
    global OWN_RIG
    if not (EXE and CAPTURE and PROBE and SIM):
        raise unittest.SkipTest("ZELManager.exe, zelcapture.exe, zelprobe.exe or zelsim not built")
    OWN_RIG = zelharness.attach_rig("zel_sendkeys_rig_")


def tearDownModule():
    zelharness.detach_rig(OWN_RIG)


def winpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def write_prefs(folder, rules):
    lines = ["[Communication Setup]", "Port = 1", "[Mode]", "Option = SK", "[SendKeys]"]
    lines += ["Rules%d = %s" % (i + 1, r) for i, r in enumerate(rules)]
    with open(os.path.join(folder, "preferences.pref"), "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("latin-1"))


def read_rules(folder):
    rules, group = {}, ""
    with open(os.path.join(folder, "preferences.pref"), "rb") as f:
        for raw in f.read().decode("latin-1").splitlines():
            line = raw.strip()
            if line.startswith("["):
                group = line[1:].split("]")[0].lower()
            elif group == "sendkeys" and "=" in line:
                key, value = line.split("=", 1)
                rules[key.strip().lower()] = value.strip()
    out, n = [], 1
    while rules.get("rules%d" % n):
        out.append(rules["rules%d" % n])
        n += 1
    return out


def probe(*args, timeout=20):
    return subprocess.run(["wine", PROBE] + [str(a) for a in args], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, timeout=timeout).returncode


class CaptureLog:
    """The capture window's log: '<unix ms> <what> <hex>' lines."""

    def __init__(self, path):
        self.path = path

    def lines(self):
        try:
            with open(self.path) as f:
                text = f.read()
        except FileNotFoundError:
            return []
        out = []
        for line in text.splitlines():
            parts = line.split()
            if len(parts) == 3:
                out.append((int(parts[0]), parts[1], int(parts[2], 16)))
        return out

    def wait_for(self, predicate, seconds):
        end = time.time() + seconds
        while time.time() < end:
            lines = self.lines()
            if predicate(lines):
                return lines
            time.sleep(0.05)
        return self.lines()


def typed(lines, start):
    return "".join(chr(v) for _, what, v in lines[start:] if what == "char")


def last_focus_is_ours(lines):
    states = [what for _, what, _ in lines if what in ("focus", "blur")]
    return bool(states) and states[-1] == "focus"


class SendKeysEndToEnd(unittest.TestCase):
    def setUp(self):
        base = os.environ.get("ZEL_RUN_DIR", tempfile.gettempdir())
        self.work = tempfile.mkdtemp(prefix="sendkeys-", dir=os.path.join(base, "tmp") if os.path.isdir(
            os.path.join(base, "tmp")) else base)
        self.procs = []
        self.outputs = []
        self.sim_events = os.path.join(self.work, "sim-events.jsonl")
        self.sim("flush")

    def tearDown(self):
        probe("close", CAPTURE_TITLE)
        probe("close", TITLE)
        for p in self.procs:
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
        for f in self.outputs:
            f.close()

    def start(self, program, *args, name):
        # Wine programs' output goes to files: Wine's desktop process may hold
        # an inherited pipe open for ever.
        out = open(os.path.join(self.work, name + ".out"), "wb")
        self.outputs.append(out)
        p = subprocess.Popen(["wine", program] + list(args), cwd=self.work, stdout=out, stderr=subprocess.STDOUT,
                             stdin=subprocess.DEVNULL)
        self.procs.append(p)
        return p

    def sim(self, *command):
        subprocess.run([SIM, "--dev", os.environ["ZEL_COM1_DEV"], "--no-stdin", "--events", self.sim_events] + list(command),
                       check=True, timeout=30, stdout=subprocess.DEVNULL)

    def last_frame_end_unix_ms(self):
        # zelsim stamps its events on CLOCK_MONOTONIC, the capture log on the
        # wall clock: Python's monotonic clock is the same one.
        offset_ms = (time.time() - time.monotonic()) * 1000.0
        ends = []
        with open(self.sim_events) as f:
            for line in f:
                ev = json.loads(line)
                if ev.get("ev") == "frame-end":
                    ends.append(ev["t"])
        return ends[-1] + offset_ms if ends else None

    def start_manager(self):
        p = self.start(EXE, name="zelmanager-%d" % len(self.procs))
        self.assertEqual(probe("wait", TITLE, 20000, timeout=40), 0, "ZEL Manager did not show its window")
        # Frames are sent only once the program holds COM1.
        zelharness.wait_port_open(zelharness.Rig().com("COM1"))
        return p

    def focus_capture(self, log):
        if not last_focus_is_ours(log.lines()):
            probe("focus", CAPTURE_TITLE)
        lines = log.wait_for(last_focus_is_ours, 10)
        self.assertTrue(last_focus_is_ours(lines), "the capture window did not get the focus")
        return len(lines)

    def press_and_read(self, log, start, fields, expected):
        self.sim("press", *fields)
        lines = log.wait_for(lambda l: typed(l, start).endswith("\r") or len(typed(l, start)) >= len(expected), 15)
        after = lines[start:]
        self.assertEqual(typed(lines, start), expected)
        self.assertNotIn("blur", [what for _, what, _ in after], "ZEL Manager took the focus")
        first_key = next((t for t, what, _ in after if what in ("down", "sysdown")), None)
        frame_end = self.last_frame_end_unix_ms()
        if first_key is not None and frame_end is not None:
            print("sendkeys latency: %.1f ms from the frame's last byte to the first key event"
                  % (first_key - frame_end), flush=True)
        return len(lines)

    def test_print_press_types_the_record_and_the_sequence_survives_a_restart(self):
        write_prefs(self.work, SEQUENCE)
        manager = self.start_manager()
        log = CaptureLog(os.path.join(self.work, "capture.log"))
        self.start(CAPTURE, winpath(log.path), name="capture")
        start = self.focus_capture(log)

        # The barcode begins with "{" and holds shifted characters: all of it
        # must arrive as typed text. (The rig's X keymap has no key for '('
        # and ')', so they are left out here.)
        start = self.press_and_read(log, start, ["operator=ANNA", "quantity=1200", "barcode={TAB}a!B"],
                                    "ANNA\t1200\t{TAB}a!B\r")
        # Eight underscores are the device's empty operator: eight blanks.
        self.press_and_read(log, start, ["operator=________", "quantity=7", "barcode=X"], " " * 8 + "\t7\tX\r")

        # A normal end writes the sequence back; the next start plays it again.
        self.assertEqual(probe("close", TITLE), 0)
        manager.wait(timeout=20)
        self.assertEqual(read_rules(self.work), SEQUENCE)

        self.start_manager()
        start = self.focus_capture(log)
        self.press_and_read(log, start, ["operator=BOB", "quantity=4294967295", "barcode=Z-9"],
                            "BOB\t4294967295\tZ-9\r")


if __name__ == "__main__":
    unittest.main(verbosity=2)
