#!/usr/bin/env python3
"""Checks the simulator's frames and request answers over a pty, decoding
them here from the frame layout (not with the program's decoder)."""
import json
import os
import select
import subprocess
import sys
import tempfile
import time
import tty
import unittest

SIM = sys.argv[1] if len(sys.argv) > 1 else os.environ.get("ZEL_SIM", "zelsim")


def checksum(frame):
    return sum(frame[:71]) & 0xFF


def fields(frame):
    return {
        "magic": bytes(frame[0:3]),
        "number": frame[3] * 256 + frame[4],
        "count": frame[5] * 256 + frame[6],
        "operator": bytes(frame[8:16]),
        "date": tuple(frame[16:21]),
        "quantity": int.from_bytes(frame[21:25], "big"),
        "barcode_len": frame[25],
        "barcode": bytes(frame[26:26 + min(frame[25], 45)]),
        "sum": frame[71],
    }


class Pty:
    def __init__(self):
        # The slave stays open here too: a pty master reads EIO while no
        # one holds the slave.
        self.master, self.slave = os.openpty()
        tty.setraw(self.master)
        tty.setraw(self.slave)
        self.slave_path = os.ttyname(self.slave)

    def read(self, n, timeout=5.0):
        out = b""
        end = time.monotonic() + timeout
        while len(out) < n and time.monotonic() < end:
            r, _, _ = select.select([self.master], [], [], 0.05)
            if r:
                out += os.read(self.master, n - len(out))
        return out

    def close(self):
        os.close(self.master)
        os.close(self.slave)


class ZelsimTest(unittest.TestCase):
    def setUp(self):
        self.pty = Pty()
        self.dir = tempfile.TemporaryDirectory()
        self.events = os.path.join(self.dir.name, "events.log")
        self.proc = None

    def tearDown(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        if self.proc:
            self.proc.stdin.close()
            self.proc.stdout.close()
        self.pty.close()
        self.dir.cleanup()

    def start(self, *args):
        self.proc = subprocess.Popen([SIM, "--dev", self.pty.slave_path, "--events", self.events, *args],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        # It flushes the line when it starts: write nothing before it is ready.
        end = time.monotonic() + 5
        while time.monotonic() < end:
            if os.path.exists(self.events) and any(e["ev"] == "ready" for e in self.eventlog()):
                return
            time.sleep(0.02)
        self.fail("zelsim did not get ready")

    def send(self, line):
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()

    def eventlog(self):
        with open(self.events) as f:
            return [json.loads(l) for l in f if l.strip()]

    def test_one_shot_press_frame_layout(self):
        rc = subprocess.run([SIM, "--dev", self.pty.slave_path, "--no-pace", "press", "operator=SMITH",
                             "quantity=4294967295", "year=2000", "month=12", "day=31", "hour=8", "minute=5",
                             "barcode=ABC123", "number=258", "count=300"], timeout=10).returncode
        self.assertEqual(rc, 0)
        f = self.pty.read(72)
        self.assertEqual(len(f), 72)
        d = fields(f)
        self.assertEqual(d["magic"], b"zel")
        self.assertEqual((d["number"], d["count"]), (258, 300))
        self.assertEqual(d["operator"], b"SMITH\0\0\0")
        self.assertEqual(d["date"], (0, 12, 31, 8, 5))
        self.assertEqual(d["quantity"], 4294967295)
        self.assertEqual((d["barcode_len"], d["barcode"]), (6, b"ABC123"))
        self.assertEqual(d["sum"], checksum(f))
        self.assertEqual(self.pty.read(1, timeout=0.2), b"")

    def test_broken_frames(self):
        # Each case: command, check on the 72 bytes.
        cases = [
            ("badsum quantity=7", lambda f: f[71] == (checksum(f) + 1) & 0xFF),
            ("badmagic pos=2", lambda f: f[0:2] == b"ze" and f[2] != ord("l") and f[71] == checksum(f)),
            ("press barcode=AB barcode_len=60", lambda f: f[25] == 60 and f[71] == checksum(f)),
            ("press sum=0", lambda f: f[71] == 0),
        ]
        self.start("--no-pace")
        for cmd, ok in cases:
            self.send(cmd)
            f = self.pty.read(72)
            self.assertEqual(len(f), 72, cmd)
            self.assertTrue(ok(f), cmd)
        self.send("noise 500")
        noise = self.pty.read(500)
        self.assertEqual(len(noise), 500)
        self.assertNotIn(b"z", noise)

    def test_requests_answers_and_pacing(self):
        self.start("--log", "5")
        request = lambda k: os.write(self.pty.master, bytes([0x72, k >> 8, k & 0xFF]))
        request(2)
        f = self.pty.read(72)
        self.assertEqual((fields(f)["number"], fields(f)["count"]), (2, 5))
        self.assertEqual(f[71], checksum(f))
        self.send("answer 2=5")
        time.sleep(0.1)
        request(2)
        self.assertEqual(fields(self.pty.read(72))["number"], 5)
        # Out of the log, and silent: no answer at all.
        request(6)
        self.send("silent on")
        time.sleep(0.1)
        request(1)
        self.assertEqual(self.pty.read(1, timeout=0.5), b"")
        self.send("quit")
        self.proc.wait(timeout=5)
        ev = self.eventlog()
        reqs = [e["record"] for e in ev if e["ev"] == "request"]
        self.assertEqual(reqs, [2, 2, 6, 1])
        why = [e["why"] for e in ev if e["ev"] == "unanswered"]
        self.assertEqual(why, ["not in log", "silent"])
        starts = [e for e in ev if e["ev"] == "frame-start"]
        ends = [e for e in ev if e["ev"] == "frame-end"]
        self.assertEqual([e["kind"] for e in starts], ["answer", "answer-other"])
        # 72 bytes at 9600 baud take about 75 ms.
        self.assertGreater(ends[0]["t"] - starts[0]["t"], 60)
        first_req = next(e for e in ev if e["ev"] == "request")
        self.assertLessEqual(first_req["t"], starts[0]["t"])

    def test_control_fifo_and_press_logs(self):
        ctl = os.path.join(self.dir.name, "sim.ctl")
        self.start("--no-pace", "--no-stdin", "--control", ctl)
        with open(ctl, "w") as c:
            c.write("press operator=A\npress operator=B\n")
        f1, f2 = self.pty.read(72), self.pty.read(72)
        self.assertEqual([fields(f)["number"] for f in (f1, f2)], [1, 2])
        os.write(self.pty.master, b"r\x00\x01")
        self.assertEqual(fields(self.pty.read(72))["operator"], b"A\0\0\0\0\0\0\0")
        with open(ctl, "w") as c:
            c.write("quit\n")
        self.assertEqual(self.proc.wait(timeout=5), 0)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]])
