#!/usr/bin/env python3
"""DataLogger import end to end: ZELManager.exe under Wine on the rig's COM1,
zelsim on the device end of the pty, zelprobe to press buttons and read the
windows. Runs inside a rig (see zelharness)."""

import json
import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import zelharness as h  # noqa: E402

READ = "Read"
RECORD_LIST, IMPORT_BUTTON, PROGRESS_TEXT, CANCEL_BUTTON = 8, 9, 77, 79
FAILURE = ("Imported failed: \nyour Marlo/Marlo-S ZEL has no record logged or there is a "
           "communication problem.")


class Watch:
    """zelprobe's watch of ProgressText, started before the import so that
    texts shown for a few hundred milliseconds are not missed."""

    def __init__(self, app, timeout_s):
        self.out_path = os.path.join(app.workdir, "watch-%d.out" % time.monotonic_ns())
        self._out = open(self.out_path, "w")
        self.proc = subprocess.Popen(
            ["wine", app.rig.probe, "watch", READ, str(PROGRESS_TEXT), str(int(timeout_s * 1000))],
            cwd=app.workdir, stdin=subprocess.DEVNULL, stdout=self._out, stderr=subprocess.DEVNULL)
        h.wait_for(lambda: self.lines(), 30, interval=0.02, what="zelprobe watch to start")

    def lines(self):
        with open(self.out_path, encoding="utf-8", errors="replace") as f:
            return [json.loads(l) for l in f.read().splitlines() if l.strip()]

    def result(self):
        """(texts seen in order, the message box, monotonic time it was seen)."""
        try:
            self.proc.wait(timeout=180)
        finally:
            self._out.close()
        seen_at = time.monotonic()
        lines = self.lines()
        texts = [l for l in lines if isinstance(l, str)]
        boxes = [l for l in lines if isinstance(l, dict) and "title" in l]
        if not boxes:
            raise AssertionError("no message box; progress %r" % texts)
        boxes[0]["text"] = boxes[0]["text"].replace("\r\n", "\n")
        return texts, boxes[0], seen_at


@unittest.skipUnless(os.environ.get("ZEL_RUN_DIR"), "needs the rig's environment")
class DataLoggerImport(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.rig = h.rig()

    def app(self, logged, name):
        # No preferences file: DataLogger mode on COM1.
        return h.App(self.rig, sims={"COM1": ["--log", str(logged)]}, name=name)

    @staticmethod
    def ready(app):
        app.wait_port_open("COM1")
        return app.sims["COM1"]

    @staticmethod
    def run_import(app, timeout_s):
        """Presses Import; returns what Watch.result() does."""
        watch = Watch(app, timeout_s)
        app.click(IMPORT_BUTTON)
        return watch.result()

    @staticmethod
    def requests(sim):
        return [e["record"] for e in sim.events() if e["ev"] == "request"]

    @staticmethod
    def rows(app):
        return app.dump()[1][RECORD_LIST]["rows"]

    def expect_box(self, box, text):
        self.assertEqual(box["title"], "Import")
        self.assertEqual(box["text"], text)

    def expect_rows_match_frames(self, sim, rows):
        frames = [e for e in sim.events()
                  if e["ev"] == "frame-start" and e.get("kind", "").startswith("answer")]
        self.assertEqual(len(rows), len(frames))
        for row, f in zip(rows, frames):
            self.assertEqual(row, [str(f["number"]), f["operator"], f["date"], f["time"],
                                   str(f["quantity"]), f["barcode"]])

    @staticmethod
    def pauses(sim):
        """Milliseconds from the end of each answer to the next request."""
        out, last_end = [], None
        for e in sim.events():
            if e["ev"] == "frame-end":
                last_end = e["t"]
            elif e["ev"] == "request" and last_end is not None:
                out.append(e["t"] - last_end)
                last_end = None
        return out

    def test_logged_records_are_fetched_in_order(self):
        for logged, sim_extra, requests in (
                (3, None, [1, 2, 3]),
                (1, None, [1]),
                (8, "answer 2=5", [1, 2, 6, 7, 8])):
            with self.subTest(logged=logged, extra=sim_extra), self.app(logged, "import-%d" % logged) as app:
                sim = self.ready(app)
                if sim_extra:
                    sim.cmd(sim_extra)
                    sim.wait_event(lambda e: e["ev"] == "command" and e.get("line") == sim_extra)
                progress, box, _ = self.run_import(app, 60)
                self.expect_box(box, "Imported successfully %d records" % logged)
                app.msgbox_ok()
                self.assertEqual(self.requests(sim), requests)
                # Each answer's text stays at least for the pause; the last one
                # may go with the window before it is seen.
                want = ["%d/%d" % (f["number"], f["count"]) for f in sim.events()
                        if f["ev"] == "frame-start" and f.get("kind", "").startswith("answer")]
                self.assertIn(progress, (want, want[:-1]))
                self.expect_rows_match_frames(sim, self.rows(app))
                for gap in self.pauses(sim):
                    self.assertGreaterEqual(gap, 290, "request sent before the pause was over")
                print("  %d records: progress seen %s, answer-to-request gaps %s ms" %
                      (logged, progress, [round(g) for g in self.pauses(sim)]))

    def test_silent_device_fails_after_about_a_second(self):
        with self.app(0, "import-silent") as app:
            sim = self.ready(app)
            _, box, seen_at = self.run_import(app, 10)
            self.expect_box(box, FAILURE)
            self.assertEqual(box["owner"], READ)
            sent = next(e for e in sim.events() if e["ev"] == "request")["t"] / 1000.0
            elapsed = seen_at - sent
            print("  failure box seen %.2f s after the request" % elapsed)
            self.assertGreaterEqual(elapsed, 0.95)
            app.probe("msgbox-ok", READ)
            app.probe("wait-gone", READ, 5000)
            self.assertEqual(self.requests(sim), [1])
            self.assertEqual(self.rows(app), [])

    def test_cancel_empties_the_list_and_stops_requesting(self):
        for how in ("button", "close main window"):
            with self.subTest(how=how), self.app(30, "import-cancel") as app:
                sim = self.ready(app)
                app.click(IMPORT_BUTTON)
                h.wait_for(lambda: len(self.requests(sim)) >= 3, 20, interval=0.02,
                           what="the third request")
                if how == "button":
                    app.probe("click", READ, CANCEL_BUTTON)
                else:
                    app.close()
                app.probe("wait-gone", READ, 5000)
                asked = len(self.requests(sim))
                time.sleep(1.0)
                self.assertLessEqual(len(self.requests(sim)), asked, "requests went on after the cancel")
                self.assertTrue(app.no_msgbox())
                # Also no row from an answer that was on the line at the cancel.
                self.assertEqual(self.rows(app), [])
                # The close was taken by the import: the program runs on.
                self.assertIsNone(app.proc.poll())
                app.probe("wait", h.TITLE, 2000)

    def test_hundred_records_timing(self):
        with self.app(100, "import-100") as app:
            sim = self.ready(app)
            _, box, seen_at = self.run_import(app, 120)
            self.expect_box(box, "Imported successfully 100 records")
            app.msgbox_ok()
            first = next(e for e in sim.events() if e["ev"] == "request")["t"] / 1000.0
            took = seen_at - first
            print("  100 records: %.1f s from the first request to the box; the pauses alone are "
                  "99 x 300 ms = 29.7 s (%.0f ms a record beyond the pause)" %
                  (took, (took - 29.7) * 1000 / 99))
            self.assertEqual(self.requests(sim), list(range(1, 101)))
            self.assertEqual(len(self.rows(app)), 100)


if __name__ == "__main__":
    unittest.main(verbosity=2)
