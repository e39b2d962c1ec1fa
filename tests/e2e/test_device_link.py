"""The device link of the real program under Wine: the probed port list, Print
presses becoming RecordList rows, the port change, and shutdown in the middle
of a frame. The simulated devices sit on the rig's ptys; port opens and closes
are seen from outside through inotify on Wine's end of each pty."""
import ctypes
import glob
import os
import struct
import time
import unittest

import zelharness as zh

PORT_LIST, RECORD_LIST = 3, 8
IN_CLOSE_WRITE, IN_CLOSE_NOWRITE, IN_OPEN = 0x08, 0x10, 0x20


class PortWatch:
    """Open and close events of a set of paths, in the order they happened."""

    def __init__(self, paths):
        self._libc = ctypes.CDLL(None, use_errno=True)
        self._fd = self._libc.inotify_init1(os.O_NONBLOCK | os.O_CLOEXEC)
        if self._fd < 0:
            raise unittest.SkipTest("no inotify here")
        self._names = {}
        for name, path in paths.items():
            wd = self._libc.inotify_add_watch(self._fd, os.path.realpath(path).encode(),
                                              IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)
            if wd < 0:
                raise unittest.SkipTest("cannot watch %s (errno %d)" % (path, ctypes.get_errno()))
            self._names[wd] = name
        self.seen = []

    def poll(self):
        while True:
            try:
                data = os.read(self._fd, 65536)
            except BlockingIOError:
                return self.seen
            i = 0
            while i < len(data):
                wd, mask, _, length = struct.unpack_from("iIII", data, i)
                i += 16 + length
                self.seen.append((self._names[wd], "open" if mask & IN_OPEN else "close"))

    def close(self):
        os.close(self._fd)


def rows(app):
    return app.dump()[1][RECORD_LIST]["rows"]


def wait_rows(app, n, timeout=15):
    return zh.wait_for(lambda: (lambda r: r if len(r) >= n else None)(rows(app)), timeout,
                       what="%d rows in RecordList" % n)


def settle_rows(app, quiet=1.5):
    """RecordList once it has stopped growing for `quiet` seconds."""
    last, since = rows(app), time.monotonic()
    while time.monotonic() - since < quiet:
        time.sleep(0.3)
        now = rows(app)
        if now != last:
            last, since = now, time.monotonic()
    return last


def frames_sent(sim):
    return sum(1 for e in sim.events() if e["ev"] == "frame-end")


def wait_frames(sim, count):
    zh.wait_for(lambda: frames_sent(sim) >= count, 15, what="%d frames from %s" % (count, sim.port))


class PortListTest(unittest.TestCase):
    def test_probed_ports_and_the_saved_one_selected(self):
        rig = zh.rig()
        own = os.environ.get("ZEL_COM_PORTS", "COM1 COM3").split()
        machine = glob.glob("/dev/ttyS*")
        # Saved port -> entry selected afterwards (None: none, a port that is not there).
        for prefs, selected in ((None, "COM1"), ("[Communication Setup]\nPort = 3\n", "COM3"),
                                ("[Communication Setup]\nPort = 250\n", None)):
            with self.subTest(prefs=prefs), zh.App(rig, prefs=prefs, name="portlist") as app:
                combo = app.dump()[1][PORT_LIST]
                ports = combo["items"]
                self.assertTrue({"COM1", "COM3"} <= set(ports), ports)
                numbers = [int(p[3:]) for p in ports]
                self.assertEqual(numbers, sorted(set(numbers)), "increasing, no repeats")
                # Anything beyond the rig's ports is Wine's mapping of this
                # machine's own serial devices, and does open.
                extra = [p for p in ports if p not in own]
                self.assertLessEqual(len(extra), len(machine), (extra, machine))
                for p in extra:
                    self.assertEqual(app.probe("comopen", p, check=False)[0], 0, p)
                if selected is None:
                    self.assertEqual((combo["sel"], combo["text"]), (-1, ""))
                else:
                    self.assertEqual(ports[combo["sel"]], selected)
                    self.assertEqual(combo["text"], selected)


class PressesTest(unittest.TestCase):
    """DataLogger mode on COM1 (no preferences file): presses become rows."""

    @classmethod
    def setUpClass(cls):
        cls.rig = zh.rig()
        cls.app = zh.App(cls.rig, name="presses", sims={"COM1": []})
        cls.app.__enter__()
        cls.sim = cls.app.sims["COM1"]

    @classmethod
    def tearDownClass(cls):
        cls.app.stop()

    def send(self, *lines):
        """Sends the lines in one write, so their frames go out back to back;
        returns the rows that arrived."""
        before = settle_rows(self.app, 0.5)
        sent = frames_sent(self.sim)
        self.sim.cmd("\n".join(lines))
        frames = sum(1 for ln in lines if ln.split()[0] in ("press", "badsum"))
        wait_frames(self.sim, sent + frames)
        return settle_rows(self.app)[len(before):]

    def test_press_gives_the_decoded_row(self):
        cases = [
            ("number=7 operator=SMITH year=2016 month=10 day=21 hour=9 minute=5 quantity=1500 barcode=ABC123",
             ["7", "SMITH", "2016/10/21", "9:5", "1500", "ABC123"]),
            ("number=8 operator=________ year=2017 month=1 day=2 hour=23 minute=59 quantity=0 barcode=X",
             ["8", " " * 8, "2017/1/2", "23:59", "0", "X"]),
        ]
        for fields, row in cases:
            with self.subTest(fields=fields):
                self.assertEqual(self.send("press " + fields), [row])

    def test_bad_checksum_is_dropped_and_the_next_frame_arrives(self):
        got = self.send("badsum number=20 barcode=BAD", "press number=21 barcode=GOOD")
        self.assertEqual([(r[0], r[5]) for r in got], [("21", "GOOD")])

    def test_fourteen_frames_back_to_back(self):
        lines = ["press number=%d quantity=%d barcode=B%02d" % (n, 100 + n, n) for n in range(1, 15)]
        got = self.send(*lines)
        self.assertEqual([(r[0], r[4], r[5]) for r in got],
                         [(str(n), str(100 + n), "B%02d" % n) for n in range(1, 15)])


class PortChangeTest(unittest.TestCase):
    def test_choosing_com3_moves_reception_and_the_port_in_use_is_not_reopened(self):
        rig = zh.rig()
        with zh.App(rig, name="port-change", sims={"COM1": [], "COM3": []}) as app:
            com1, com3 = app.sims["COM1"], app.sims["COM3"]
            # A first row proves COM1 is open before the watch starts.
            com1.cmd("press number=1 barcode=ONE")
            wait_rows(app, 1)
            watch = PortWatch({"COM1": rig.com("COM1"), "COM3": rig.com("COM3")})
            try:
                items = app.dump()[1][PORT_LIST]["items"]
                # The same port first, then COM3: events are handled in order,
                # so once COM3 opens the first choice has been dealt with.
                app.select(PORT_LIST, items.index("COM1"))
                app.select(PORT_LIST, items.index("COM3"))
                zh.wait_for(lambda: ("COM3", "open") in watch.poll(), 10, what="COM3 to open")
                time.sleep(1)
                self.assertEqual(watch.poll(), [("COM1", "close"), ("COM3", "open")])

                app.select(PORT_LIST, items.index("COM3"))
                com1.cmd("press number=2 barcode=OLD")
                wait_frames(com1, 2)
                com3.cmd("press number=3 barcode=NEW")
                wait_frames(com3, 1)
                self.assertEqual([r[5] for r in settle_rows(app, 2)], ["ONE", "NEW"])
                self.assertEqual(watch.poll(), [("COM1", "close"), ("COM3", "open")], "COM3 was reopened")
            finally:
                watch.close()
            app.menu(83)
            self.assertEqual(app.wait_exit(20), 0)
            with open(os.path.join(app.workdir, "preferences.pref"), "rb") as f:
                self.assertTrue(f.read().startswith(b"[Communication Setup]\r\nPort = 3\r\n"))


class HalfFrameShutdownTest(unittest.TestCase):
    def test_close_while_a_frame_is_half_received(self):
        rig = zh.rig()
        with zh.App(rig, name="half-frame", sims={"COM1": []}) as app:
            sim = app.sims["COM1"]
            sim.cmd("press number=1 barcode=FIRST")
            wait_rows(app, 1)  # the listener is reading COM1
            head = b"zel" + bytes([0, 2, 0, 2, 0]) + b"SMITH   " + bytes([16, 10, 21, 9, 5, 0, 0, 5, 220, 6]) + b"ABCD"
            self.assertEqual(len(head), 30)
            sim.cmd("raw " + head.hex())
            sim.wait_event(lambda e: e["ev"] == "bytes-end" and e.get("kind") == "raw")
            time.sleep(0.5)  # the listener is now waiting for byte 31
            start = time.monotonic()
            app.close()
            self.assertEqual(app.wait_exit(10), 0)
            self.assertLess(time.monotonic() - start, 5, "slow to end")
            with open(os.path.join(app.workdir, "preferences.pref"), "rb") as f:
                self.assertTrue(f.read().startswith(b"[Communication Setup]\r\n"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
