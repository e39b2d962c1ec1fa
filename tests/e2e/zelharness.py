"""Shared fixtures of the end-to-end tests: the real ZELManager.exe under Wine
in the rig of tools/rig/up.sh, simulated devices on its COM ports, and
zelprobe.exe to look at and drive its windows from outside.

The tests run inside a rig: source RUN_DIR/env first (ctest does not start
one). Without ZEL_RUN_DIR every test skips. Paths of the programs come from
the environment, which tests/e2e/CMakeLists.txt sets: ZEL_APP (ZELManager.exe),
ZEL_PROBE (zelprobe.exe), ZEL_SIM (native zelsim).

API
---
rig()                       -> Rig, or raises unittest.SkipTest without a rig.
    .run_dir, .printer, .pdf_dir, .dev(port) (simulator end of "COM1"...),
    .com(port) (Wine's end), .flush(port) (drops bytes waiting in both ends),
    .pdfs() (sorted PDF paths printed so far)
wait_for(pred, timeout=10, interval=0.1, what="")
                            -> pred()'s first truthy value; AssertionError on time-out.
class Sim(rig, port, args=(), name=None)
    A zelsim on the device end of port, with a control FIFO and an event log.
    .cmd("press operator=SMITH")   one command line
    .events()                      the event log as a list of dicts
    .wait_event(pred, timeout)     first event for which pred(ev) is true
    .stop()
class App(rig, prefs=None, sims=None, name=None, window_timeout=30)
    Context manager. Makes a fresh working folder RUN_DIR/e2e/<name>, writes
    prefs (str or bytes; str lines get CR LF) as preferences.pref, starts one
    Sim per entry of sims ({"COM1": ["--log", "5"]}; .sims["COM1"]), starts
    ZELManager.exe there under Wine (output to files), waits for its main
    window. On exit it always kills the program and stops the simulators.
    .probe(*args, check=True)      -> (rc, stdout) of zelprobe.exe
    .dump()                        -> (window dict, {id: control dict}); controls
                                      without an id (-1) are in window["unnamed"]
    .click(id) .select(id, i) .settext(id, text) .type(id, text) .menu(item)
    .close()                       WM_CLOSE to the main window
    .msgbox(timeout)               -> the first message box of the program
                                      {"title", "text", "buttons"}, waiting for it
    .msgbox_ok() / .no_msgbox()
    .wait_port_open(port)          waits until the program holds the port open
    .wait_exit(timeout)            -> exit code of the program
    .workdir, .returncode
load_env(path), attach_rig(prefix, opt_in_var=None) -> own rig folder or None,
detach_rig(own)             for modules that may bring up a rig of their own
port_holders(path), wait_port_open(path, steady, timeout)
                            who holds a pty open (not socat or wineserver); waiting for it
TITLE = "ZEL Manager"
"""
import atexit
import json
import os
import subprocess
import sys
import termios
import time
import unittest

TITLE = "ZEL Manager"
_live = []  # processes to kill if a test run dies half way


def _cleanup():
    for p in _live:
        if p.poll() is None:
            p.kill()


atexit.register(_cleanup)


def wait_for(pred, timeout=10.0, interval=0.1, what=""):
    end = time.monotonic() + timeout
    while True:
        v = pred()
        if v:
            return v
        if time.monotonic() >= end:
            raise AssertionError("timed out after %.1f s waiting for %s" % (timeout, what or pred))
        time.sleep(interval)


class Rig:
    def __init__(self):
        self.run_dir = os.environ["ZEL_RUN_DIR"]
        self.printer = os.environ.get("ZEL_PRINTER", "")
        self.pdf_dir = os.environ.get("ZEL_PDF_DIR", "")
        self.app = os.environ.get("ZEL_APP", "")
        self.probe = os.environ.get("ZEL_PROBE", "")
        self.sim = os.environ.get("ZEL_SIM", "")

    def dev(self, port):
        return os.environ["ZEL_%s_DEV" % port.upper()]

    def com(self, port):
        return os.path.join(self.run_dir, "ptys", port.lower())

    def flush(self, port):
        # A pty keeps what was written while nobody held the other end.
        for path in (self.com(port), self.dev(port)):
            fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
            try:
                termios.tcflush(fd, termios.TCIOFLUSH)
                while True:
                    try:
                        if not os.read(fd, 4096):
                            break
                    except BlockingIOError:
                        break
            finally:
                os.close(fd)

    def pdfs(self):
        if not self.pdf_dir or not os.path.isdir(self.pdf_dir):
            return []
        return sorted(os.path.join(self.pdf_dir, f) for f in os.listdir(self.pdf_dir) if f.endswith(".pdf"))


def rig():
    if not os.environ.get("ZEL_RUN_DIR"):
        raise unittest.SkipTest("no rig: run tools/rig/up.sh RUN_DIR and source RUN_DIR/env (ZEL_RUN_DIR is unset)")
    r = Rig()
    for what, path in (("ZEL_APP", r.app), ("ZEL_PROBE", r.probe)):
        if not path or not os.path.exists(path):
            raise unittest.SkipTest("%s not built: %r" % (what, path))
    return r


_REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))


def load_env(path):
    """Takes the export lines of a rig's env file into os.environ."""
    import re
    with open(path) as f:
        for line in f:
            m = re.match(r"export (.*)", line.strip())
            if m:
                for k, v in re.findall(r"(\w+)='([^']*)'", m.group(1)):
                    os.environ[k] = v


def attach_rig(prefix, opt_in_var=None):
    """For test modules that can run on their own: the rig named by
    ZEL_RUN_DIR, else a rig of their own (only when opt_in_var is set in the
    environment, if one is given). Returns the own rig's folder, or None;
    raises unittest.SkipTest when there is no rig to be had."""
    import tempfile
    run = os.environ.get("ZEL_RUN_DIR")
    if run and os.path.exists(os.path.join(run, "env")):
        load_env(os.path.join(run, "env"))
        return None
    if opt_in_var and not os.environ.get(opt_in_var):
        raise unittest.SkipTest("no rig: source RUN_DIR/env of tools/rig/up.sh (or set %s=1)" % opt_in_var)
    own = tempfile.mkdtemp(prefix=prefix)
    out = subprocess.run([os.path.join(_REPO, "tools/rig/up.sh"), own], capture_output=True, text=True)
    if out.returncode != 0:
        raise unittest.SkipTest("rig did not come up: " + out.stderr[-500:])
    load_env(os.path.join(own, "env"))
    return own


def detach_rig(own):
    """Takes down a rig that attach_rig brought up."""
    import shutil
    if own:
        subprocess.run([os.path.join(_REPO, "tools/rig/down.sh"), own], capture_output=True)
        shutil.rmtree(own, ignore_errors=True)


def port_holders(path):
    """PIDs of the processes, other than the rig's socat and the wineserver,
    that have the pty behind path open."""
    target = os.path.realpath(path)
    pids = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/comm" % pid) as f:
                comm = f.read().strip()
            if comm == "socat" or comm.startswith("wineserver"):
                continue
            fds = "/proc/%s/fd" % pid
            if any(os.readlink(os.path.join(fds, fd)) == target for fd in os.listdir(fds)):
                pids.append(int(pid))
        except OSError:
            continue  # gone meanwhile, or not ours to look at
    return pids


def wait_port_open(path, steady=0.3, timeout=20.0):
    """Waits until a program has held the pty behind path (Wine's end of a
    port) open for `steady` seconds: ZELManager.exe's start opens every port
    once to list them, then opens its own."""
    end = time.monotonic() + timeout
    since = None
    while time.monotonic() < end:
        if port_holders(path):
            since = since or time.monotonic()
            if time.monotonic() - since >= steady:
                return
        else:
            since = None
        time.sleep(0.05)
    raise AssertionError("%s was not opened within %.0f s" % (path, timeout))


def _unique_dir(base, name):
    os.makedirs(base, exist_ok=True)
    for n in range(1, 10000):
        d = os.path.join(base, "%s-%d" % (name, n))
        try:
            os.mkdir(d)
            return d
        except FileExistsError:
            continue
    raise RuntimeError("no free folder under " + base)


class Sim:
    def __init__(self, rig, port, args=(), name=None, folder=None):
        if not rig.sim or not os.path.exists(rig.sim):
            raise unittest.SkipTest("zelsim not built: %r (set ZEL_SIM)" % rig.sim)
        folder = folder or _unique_dir(os.path.join(rig.run_dir, "e2e"), name or "sim")
        stem = os.path.join(folder, "sim-" + port.lower())
        self.control = stem + ".ctl"
        self.events_path = stem + ".log"
        self.port = port
        rig.flush(port)
        with open(self.events_path, "w"):
            pass
        self._out = open(stem + ".out", "w")
        self.proc = subprocess.Popen(
            [rig.sim, "--dev", rig.dev(port), "--control", self.control, "--events", self.events_path,
             "--no-stdin", *args],
            stdin=subprocess.DEVNULL, stdout=self._out, stderr=subprocess.STDOUT)
        _live.append(self.proc)
        self.wait_event(lambda e: e["ev"] == "ready", 10)

    def cmd(self, line):
        with open(self.control, "w") as c:
            c.write(line + "\n")

    def events(self):
        try:
            with open(self.events_path) as f:
                return [json.loads(l) for l in f if l.strip().endswith("}")]
        except FileNotFoundError:
            return []

    def wait_event(self, pred, timeout=10.0):
        return wait_for(lambda: next((e for e in self.events() if pred(e)), None), timeout,
                        what="a simulator event on " + self.port)

    def stop(self):
        if self.proc.poll() is None:
            try:
                self.cmd("quit")
                self.proc.wait(timeout=3)
            except (subprocess.TimeoutExpired, OSError):
                self.proc.kill()
                self.proc.wait()
        self._out.close()


class App:
    def __init__(self, rig, prefs=None, sims=None, name=None, window_timeout=30):
        self.rig = rig
        self.prefs = prefs
        self.sim_args = sims or {}
        self.name = name or "app"
        self.window_timeout = window_timeout
        self.sims = {}
        self.proc = None
        self.returncode = None

    # -- life cycle --
    def __enter__(self):
        try:
            self.start()
        except BaseException:
            self.stop()
            raise
        return self

    def __exit__(self, *exc):
        self.stop()
        return False

    def start(self):
        self.workdir = _unique_dir(os.path.join(self.rig.run_dir, "e2e"), self.name)
        if self.prefs is not None:
            data = self.prefs
            if isinstance(data, str):
                data = data.replace("\r\n", "\n").replace("\n", "\r\n").encode("latin-1")
            with open(os.path.join(self.workdir, "preferences.pref"), "wb") as f:
                f.write(data)
        for port, args in self.sim_args.items():
            self.sims[port] = Sim(self.rig, port, args, folder=self.workdir)
        self._out = open(os.path.join(self.workdir, "wine.out"), "w")
        # Output to a file: Wine's desktop process inherits it and never closes it.
        self.proc = subprocess.Popen(["wine", self.rig.app], cwd=self.workdir, stdin=subprocess.DEVNULL,
                                     stdout=self._out, stderr=subprocess.STDOUT)
        _live.append(self.proc)
        end = time.monotonic() + self.window_timeout
        while time.monotonic() < end:
            if self.proc.poll() is not None:
                raise AssertionError("ZELManager.exe ended at start with code %s" % self.proc.returncode)
            rc, _ = self.probe("wait", TITLE, "1000", check=False)
            if rc == 0:
                return
        raise AssertionError("no %r window after %d s" % (TITLE, self.window_timeout))

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        if self.proc:
            self.returncode = self.proc.returncode
            self._out.close()
            # The killed program's windows go with its process; wait so the
            # next test does not find them.
            try:
                wait_for(lambda: self.probe("wait-gone", TITLE, "500", check=False)[0] == 0, 10,
                         what="the old window to go")
            except AssertionError:
                pass
        for s in self.sims.values():
            s.stop()
        self.sims = {}

    def wait_port_open(self, port, steady=0.3, timeout=20.0):
        wait_port_open(self.rig.com(port), steady, timeout)

    def wait_exit(self, timeout=15):
        try:
            self.returncode = self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("ZELManager.exe still running after %d s" % timeout)
        return self.returncode

    # -- probing --
    def probe(self, *args, check=True, timeout=60):
        out_path = os.path.join(self.workdir, "probe.out")
        with open(out_path, "w") as out:
            rc = subprocess.run(["wine", self.rig.probe, *map(str, args)], cwd=self.workdir, stdin=subprocess.DEVNULL,
                                stdout=out, stderr=subprocess.STDOUT, timeout=timeout).returncode
        with open(out_path, encoding="utf-8", errors="replace") as f:
            text = f.read()
        if check and rc != 0:
            raise AssertionError("zelprobe %s failed (%d): %s" % (" ".join(map(str, args)), rc, text.strip()))
        return rc, text

    def dump(self):
        _, text = self.probe("dump", TITLE)
        lines = [json.loads(l) for l in text.splitlines() if l.startswith("{")]
        window, controls = lines[0], {}
        window["unnamed"] = []
        for c in lines[1:]:
            if c["parent"] != 0:
                continue  # parts of a control (a list view's header, an edit in a combo)
            if c["id"] in (-1, 0, 0xFFFF):
                window["unnamed"].append(c)
            else:
                controls[c["id"]] = c
        return window, controls

    def click(self, cid):
        self.probe("click", TITLE, cid)

    def select(self, cid, index):
        self.probe("select", TITLE, cid, index)

    def settext(self, cid, text):
        self.probe("settext", TITLE, cid, text)

    def type(self, cid, text):
        self.probe("type", TITLE, cid, text)

    def menu(self, item):
        self.probe("menu", TITLE, item)

    def close(self):
        self.probe("close", TITLE)

    def msgbox(self, timeout=10):
        _, text = self.probe("wait-msgbox", TITLE, int(timeout * 1000))
        box = json.loads(text.splitlines()[0])
        box["text"] = box["text"].replace("\r\n", "\n")
        return box

    def msgbox_ok(self):
        self.probe("msgbox-ok", TITLE)
        wait_for(self.no_msgbox, 10, what="the message box to close")

    def no_msgbox(self):
        return self.probe("msgbox", TITLE, check=False)[0] != 0


if __name__ == "__main__":
    sys.exit("zelharness is a module for the e2e tests")
