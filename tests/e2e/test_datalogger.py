#!/usr/bin/env python3
"""DataLogger import end to end: ZELManager.exe under Wine on the rig's COM1,
zelsim on the device end of the pty, zelprobe to press buttons and read the
windows. Needs the rig's environment (tools/rig/up.sh, then source its env).

Programs, by environment variable or their usual build places:
  ZEL_EXE    ZELManager.exe      (build/win32/app/ZELManager.exe)
  ZEL_PROBE  zelprobe.exe        (build/win32/tools/zelprobe/zelprobe.exe)
  ZEL_SIM    zelsim              (build/native/tools/zelsim/zelsim)
"""

import json
import os
import subprocess
import sys
import tempfile
import time
import unittest

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
MAIN = "ZEL Manager"
READ = "Read"
RECORD_LIST, IMPORT_BUTTON, PROGRESS_TEXT, CANCEL_BUTTON = 8, 9, 77, 79
FAILURE = ("Imported failed: \nyour Marlo/Marlo-S ZEL has no record logged or there is a "
           "communication problem.")


def program(var, rel):
    path = os.environ.get(var) or os.path.join(REPO, rel)
    return path if os.path.exists(path) else None


EXE = program("ZEL_EXE", "build/win32/app/ZELManager.exe")
PROBE = program("ZEL_PROBE", "build/win32/tools/zelprobe/zelprobe.exe")
SIM = program("ZEL_SIM", "build/native/tools/zelsim/zelsim")
DEV = os.environ.get("ZEL_COM1_DEV")


def probe(*args, timeout=30):
    """Runs zelprobe; returns (exit code, JSON lines)."""
    with tempfile.TemporaryFile() as out:
        # Wine programs' output goes to a file: a pipe may be held open by
        # the Wine desktop process.
        r = subprocess.run(["wine", PROBE] + [str(a) for a in args], stdout=out,
                           stderr=subprocess.DEVNULL, timeout=timeout)
        out.seek(0)
        lines = [json.loads(l) for l in out.read().decode("utf-8", "replace").splitlines()
                 if l.strip().startswith(("{", "[", '"'))]
    return r.returncode, lines


class Session:
    """One program run against one simulated device."""

    def __init__(self, work, sim_args):
        self.work = work
        self.events_path = os.path.join(work, "events.jsonl")
        self.control = os.path.join(work, "control")
        with open(os.path.join(work, "sim.out"), "wb") as out:
            self.sim = subprocess.Popen(
                [SIM, "--dev", DEV, "--events", self.events_path, "--control", self.control,
                 "--no-stdin", "--stay"] + sim_args + ["flush"], stdout=out, stderr=subprocess.STDOUT)
        self.app = None
        self.closed = False
        deadline = time.monotonic() + 10
        while not self.events() and time.monotonic() < deadline:
            time.sleep(0.05)
        # No preferences file in the work folder: DataLogger mode on COM1.
        with open(os.path.join(work, "app.out"), "wb") as out:
            self.app = subprocess.Popen(["wine", EXE], cwd=work, stdout=out, stderr=subprocess.STDOUT)
        if probe("wait", MAIN, 20000)[0] != 0:
            raise AssertionError("ZELManager.exe did not show its window")
        time.sleep(0.5)  # the listener starts and the port opens after the window

    def command(self, line):
        # Non-blocking: a simulator that has gone must not hang the test.
        fd = os.open(self.control, os.O_WRONLY | os.O_NONBLOCK)
        try:
            os.write(fd, (line + "\n").encode())
        finally:
            os.close(fd)

    def events(self, kind=None):
        try:
            with open(self.events_path) as f:
                evs = [json.loads(l) for l in f if l.strip()]
        except FileNotFoundError:
            return []
        return [e for e in evs if kind is None or e["ev"] == kind]

    def requests(self):
        return [e["record"] for e in self.events("request")]

    def rows(self):
        code, lines = probe("dump", MAIN)
        for c in lines:
            if isinstance(c, dict) and c.get("id") == RECORD_LIST and "rows" in c:
                return c["rows"]
        raise AssertionError("RecordList not found in the dump (exit %d)" % code)

    def start_import(self):
        self.clicked = time.monotonic()
        probe("click", MAIN, IMPORT_BUTTON)

    def watch_progress(self, until_box_within=60.0):
        """Polls ProgressText until a box owned by either window shows up;
        returns (texts seen in order, the box, monotonic time it was seen)."""
        seen = []
        deadline = time.monotonic() + until_box_within
        while time.monotonic() < deadline:
            for owner in (READ, MAIN):
                code, boxes = probe("msgbox", owner)
                if code == 0 and boxes:
                    return seen, boxes[0], time.monotonic()
            code, lines = probe("text", READ, PROGRESS_TEXT)
            if code == 0 and lines and lines[0] and (not seen or seen[-1] != lines[0]):
                seen.append(lines[0])
        raise AssertionError("no message box within %.0f s; progress %r" % (until_box_within, seen))

    def close(self):
        if self.closed:
            return
        self.closed = True
        for owner in (READ, MAIN):
            probe("msgbox-ok", owner)
        if self.app is not None:
            probe("close", MAIN)
            try:
                self.app.wait(15)
            except subprocess.TimeoutExpired:
                self.app.kill()
                self.app.wait()
        try:
            self.command("quit")
            self.sim.wait(5)
        except (OSError, subprocess.TimeoutExpired):
            self.sim.kill()
            self.sim.wait()


@unittest.skipUnless(EXE and PROBE and SIM and DEV and os.environ.get("WINEPREFIX"),
                     "needs the rig's environment and the built programs")
class DataLoggerImport(unittest.TestCase):
    def start(self, *sim_args):
        self.work = tempfile.mkdtemp(prefix="datalogger-", dir=os.environ.get("ZEL_RUN_DIR"))
        self.s = Session(self.work, list(sim_args))
        self.addCleanup(self.s.close)
        return self.s

    def expect_box(self, box, text):
        self.assertEqual(box["title"], "Import")
        self.assertEqual(box["text"], text)

    def expect_rows_match_frames(self, s, rows):
        frames = [e for e in s.events("frame-start") if e.get("kind", "").startswith("answer")]
        self.assertEqual(len(rows), len(frames))
        for row, f in zip(rows, frames):
            self.assertEqual(row, [str(f["number"]), f["operator"], f["date"], f["time"],
                                   str(f["quantity"]), f["barcode"]])

    def pauses(self, s):
        """Milliseconds from the end of each answer to the next request."""
        evs = [e for e in s.events() if e["ev"] in ("request", "frame-end")]
        out, last_end = [], None
        for e in evs:
            if e["ev"] == "frame-end":
                last_end = e["t"]
            elif last_end is not None:
                out.append(e["t"] - last_end)
                last_end = None
        return out

    def test_logged_records_are_fetched_in_order(self):
        for logged, sim_extra, requests in (
                (3, [], [1, 2, 3]),
                (1, [], [1]),
                (8, ["answer", "2=5"], [1, 2, 6, 7, 8])):
            with self.subTest(logged=logged, extra=sim_extra):
                s = self.start("--log", str(logged))
                if sim_extra:
                    s.command(" ".join(sim_extra))
                    time.sleep(0.2)
                s.start_import()
                progress, box, _ = s.watch_progress()
                self.expect_box(box, "Imported successfully %d records" % logged)
                probe("msgbox-ok", MAIN)
                self.assertEqual(s.requests(), requests)
                # The window closes as soon as the last answer is in, so only
                # the earlier texts can be caught; those must come in order.
                want = ["%d/%d" % (f["number"], f["count"]) for f in s.events("frame-start")
                        if f.get("kind", "").startswith("answer")]
                if len(requests) > 1:
                    self.assertTrue(progress, "no progress text seen")
                self.assertEqual(progress, [p for p in want if p in progress])
                rows = s.rows()
                self.expect_rows_match_frames(s, rows)
                for gap in self.pauses(s):
                    self.assertGreaterEqual(gap, 290, "request sent before the pause was over")
                print("  %d records: progress seen %s, answer-to-request gaps %s ms" %
                      (logged, progress, [round(g) for g in self.pauses(s)]))
                s.close()

    def test_silent_device_fails_after_about_a_second(self):
        s = self.start("--log", "0")
        probe("click", MAIN, IMPORT_BUTTON)
        _, box, seen_at = s.watch_progress(until_box_within=10)
        self.expect_box(box, FAILURE)
        sent = s.events("request")[0]["t"] / 1000.0
        elapsed = seen_at - sent
        print("  failure box seen %.2f s after the request" % elapsed)
        self.assertGreaterEqual(elapsed, 0.95)
        probe("msgbox-ok", READ)
        self.assertEqual(probe("wait-gone", READ, 5000)[0], 0)
        self.assertEqual(s.requests(), [1])
        self.assertEqual(s.rows(), [])

    def test_cancel_empties_the_list_and_stops_requesting(self):
        for how in ("button", "close main window"):
            with self.subTest(how=how):
                s = self.start("--log", "30")
                s.start_import()
                deadline = time.monotonic() + 20
                while len(s.requests()) < 3 and time.monotonic() < deadline:
                    time.sleep(0.05)
                if how == "button":
                    probe("click", READ, CANCEL_BUTTON)
                else:
                    probe("close", MAIN)
                self.assertEqual(probe("wait-gone", READ, 5000)[0], 0)
                asked = len(s.requests())
                time.sleep(1.0)
                self.assertLessEqual(len(s.requests()), asked, "requests went on after the cancel")
                self.assertEqual(probe("msgbox", MAIN)[1], [])
                self.assertEqual(s.rows(), [])
                # The close was taken by the import: the program runs on.
                self.assertIsNone(s.app.poll())
                self.assertEqual(probe("wait", MAIN, 2000)[0], 0)
                s.close()

    def test_hundred_records_timing(self):
        s = self.start("--log", "100")
        s.start_import()
        _, box, seen_at = s.watch_progress(until_box_within=120)
        self.expect_box(box, "Imported successfully 100 records")
        probe("msgbox-ok", MAIN)
        first = s.events("request")[0]["t"] / 1000.0
        took = seen_at - first
        print("  100 records: %.1f s from the first request to the box; the pauses alone are "
              "99 x 300 ms = 29.7 s (%.0f ms a record beyond the pause)" %
              (took, (took - 29.7) * 1000 / 99))
        self.assertEqual(s.requests(), list(range(1, 101)))
        self.assertEqual(len(s.rows()), 100)


if __name__ == "__main__":
    unittest.main(verbosity=2)
