#!/usr/bin/env python3
"""Custom Printer Label mode end to end: ZELManager.exe under Wine, the device
simulator on a pty, the private CUPS queue writing one PDF per job.

Binaries: ZEL_APP, ZEL_PROBE (zelprobe.exe), ZEL_SIM (zelsim), else the newest
ones under build/. The rig: the one named by ZEL_RUN_DIR (its env file); with
ZEL_LABEL_OWN_RIG=1 one is brought up here and taken down at the end."""
import glob
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

import zelharness

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
DPI = 300
OWN_RIG = None


def newest(pattern):
    found = glob.glob(os.path.join(REPO, "build", "*", pattern))
    return max(found, key=os.path.getmtime) if found else None


EXE = os.environ.get("ZEL_APP") or os.environ.get("ZEL_EXE") or newest("app/ZELManager.exe")
PROBE = os.environ.get("ZEL_PROBE") or newest("tools/zelprobe/zelprobe.exe")
SIM = os.environ.get("ZEL_SIM") or newest("tools/zelsim/zelsim")


def setUpModule():
    global OWN_RIG
    if not (EXE and PROBE and SIM):
        raise unittest.SkipTest("ZELManager.exe, zelprobe.exe or zelsim not built")
    OWN_RIG = zelharness.attach_rig("zel_label_rig_", opt_in_var="ZEL_LABEL_OWN_RIG")


def tearDownModule():
    zelharness.detach_rig(OWN_RIG)


def winpath(path):
    return "Z:" + path.replace("/", "\\")


def mm_px(mm):
    # The library's conversion: round half to even of mm * dpi / 25.4.
    return round(mm * DPI / 25.4)


# ---- page images ------------------------------------------------------------

class Raster:
    """A binary PPM (P6) in memory."""

    def __init__(self, path):
        data = open(path, "rb").read()
        fields, pos = [], 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos)
                continue
            start = pos
            while not data[pos:pos + 1].isspace():
                pos += 1
            fields.append(data[start:pos])
        self.w, self.h = int(fields[1]), int(fields[2])
        self.px = data[pos + 1:]

    def rgb(self, x, y):
        i = (y * self.w + x) * 3
        return self.px[i], self.px[i + 1], self.px[i + 2]

    def bounds(self, test, x0, y0, x1, y1):
        """Bounding box (left, top, right, bottom; right/bottom exclusive) of
        the pixels in the region that pass `test`, or None."""
        box = None
        for y in range(max(0, y0), min(self.h, y1)):
            row = y * self.w * 3
            for x in range(max(0, x0), min(self.w, x1)):
                i = row + x * 3
                if test(self.px[i], self.px[i + 1], self.px[i + 2]):
                    if box is None:
                        box = [x, y, x + 1, y + 1]
                    else:
                        box = [min(box[0], x), min(box[1], y), max(box[2], x + 1), max(box[3], y + 1)]
        return box

    def longest_run(self, test, x0=0, y0=0, x1=None, y1=None):
        """Longest horizontal run of pixels in the region that pass `test`."""
        best = 0
        for y in range(max(0, y0), min(self.h, self.h if y1 is None else y1)):
            run = 0
            row = y * self.w * 3
            for x in range(max(0, x0), min(self.w, self.w if x1 is None else x1)):
                i = row + x * 3
                if test(self.px[i], self.px[i + 1], self.px[i + 2]):
                    run += 1
                    best = max(best, run)
                else:
                    run = 0
        return best


def dark(r, g, b):
    return r + g + b < 300


def red(r, g, b):
    return r > 160 and g < 100 and b < 100


def white(r, g, b):
    return r > 250 and g > 250 and b > 250


def printable_offset(pdf):
    """Pixels from the page corner to the printable area at DPI, from the
    queue's PPD entry for the page size the PDF has."""
    info = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True).stdout
    m = re.search(r"Page size:\s+([\d.]+) x ([\d.]+) pts", info)
    pw, ph = float(m.group(1)), float(m.group(2))
    ppd = open("/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd", encoding="latin-1").read()
    for name, dims in re.findall(r'^\*PaperDimension (\w+)/[^:]*: "([^"]+)"', ppd, re.M):
        w, h = map(float, dims.split())
        if abs(w - pw) < 1 and abs(h - ph) < 1:
            area = re.search(r'^\*ImageableArea %s/[^:]*: "([^"]+)"' % name, ppd, re.M)
            llx, lly, urx, ury = map(float, area.group(1).split())
            return round(llx * DPI / 72), round((h - ury) * DPI / 72)
    return 0, 0


def screenshot(path):
    subprocess.check_call(["import", "-window", "root", "-display", os.environ["DISPLAY"], "-depth", "8", path])
    return Raster(path)


# ---- the program and the device ------------------------------------------

class Program:
    def __init__(self, work, prefs):
        self.work = work
        with open(os.path.join(work, "preferences.pref"), "wb") as f:
            f.write("".join(line + "\r\n" for line in prefs).encode("latin-1"))
        self.log = open(os.path.join(work, "wine.log"), "w")
        self.proc = subprocess.Popen(["wine", EXE], cwd=work, stdout=self.log, stderr=subprocess.STDOUT,
                                     stdin=subprocess.DEVNULL)
        if self.probe("wait", "ZEL Manager", "30000") is None:
            self.close()
            raise AssertionError("the main window did not appear")
        # Frames are sent only once the program holds COM1.
        zelharness.wait_port_open(zelharness.Rig().com("COM1"))

    def probe(self, *args):
        # Output through a file: a Wine process may hand its stdout on to
        # the desktop process, so a pipe would never close.
        path = os.path.join(self.work, "probe.out")
        with open(path, "w") as out:
            rc = subprocess.call(["wine", PROBE, *args], stdout=out, stderr=subprocess.DEVNULL,
                                 stdin=subprocess.DEVNULL, timeout=90)
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read() if rc == 0 else None

    def main_window(self):
        # From the top-level list: a full dump of the disabled main window stalls.
        for line in (self.probe("list") or "").splitlines():
            w = json.loads(line)
            if w.get("window") == "ZEL Manager":
                return w
        raise AssertionError("no main window")

    def text(self, control):
        out = self.probe("text", "ZEL Manager", str(control))
        if out is None:
            return None
        line = out.strip().splitlines()[-1]
        try:
            value = json.loads(line)
        except ValueError:
            return line
        return value.get("text") if isinstance(value, dict) else value

    def close(self):
        # The window, not the launcher: `wine` may have returned already.
        self.probe("close", "Preview")
        self.probe("close", "ZEL Manager")
        self.probe("wait-gone", "ZEL Manager", "20000")
        try:
            self.proc.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self.log.close()


def press(events, **fields):
    args = [f"{k}={v}" for k, v in fields.items()]
    subprocess.check_call([SIM, "--dev", os.environ["ZEL_COM1_DEV"], "--events", events, "--no-stdin",
                           "press", *args], timeout=30)


def last_frame_end_ms(events):
    t = None
    for line in open(events):
        e = json.loads(line)
        if e.get("ev") == "frame-end":
            t = e["t"]
    return t


def wait_pdf(before, timeout=60):
    pdf_dir = os.environ["ZEL_PDF_DIR"]
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        new = [p for p in glob.glob(os.path.join(pdf_dir, "*.pdf")) if p not in before]
        if new:
            return max(new, key=os.path.getmtime), time.monotonic() * 1000
        time.sleep(0.05)
    return None, None


def pdfs():
    return set(glob.glob(os.path.join(os.environ["ZEL_PDF_DIR"], "*.pdf")))


def decode_barcodes(png):
    out = subprocess.run(["zbarimg", "--quiet", "--raw", "-Sdisable", "-Scode39.enable", "-Scode128.enable",
                          png], capture_output=True, text=True)
    return sorted(l for l in out.stdout.splitlines() if l)


def prefs(printer, logo="", company="Rig Test Co", barcode_type=2, positions=None):
    p = {"CompanyNameX": 30, "CompanyNameY": 30, "CompanyLogoX": 30, "CompanyLogoY": 90, "DateX": 30,
         "DateY": 40, "OperatorX": 30, "OperatorY": 45, "QuantityX": 30, "QuantityY": 50, "BarcodeQX": 30,
         "BarcodeQY": 60, "BarcodeIDX": 30, "BarcodeIDY": 75}
    p.update(positions or {})
    lines = ["[Communication Setup]", "Port = 1", "[Mode]", "Option = CPL", "[CustomPrinterLabel]",
             "PrinterName = " + printer, "CompanyName = " + company, "CompanyLogo = " + logo]
    lines += [f"{k} = {v}" for k, v in p.items()]
    lines.append(f"BarcodeType = {barcode_type}")
    return lines, p


class LabelE2E(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="zel_label_")
        self.events = os.path.join(self.work, "events.log")
        self.prog = None
        subprocess.run([SIM, "--dev", os.environ["ZEL_COM1_DEV"], "--no-stdin", "flush"], timeout=30)

    def tearDown(self):
        if self.prog:
            self.prog.close()
        shutil.rmtree(self.work, ignore_errors=True)

    def start(self, **kw):
        lines, self.pos = prefs(os.environ["ZEL_PRINTER"], **kw)
        self.prog = Program(self.work, lines)

    def rasterise(self, pdf):
        base = os.path.join(self.work, "page")
        subprocess.check_call(["pdftoppm", "-r", str(DPI), "-singlefile", pdf, base])
        subprocess.check_call(["pdftoppm", "-r", str(DPI), "-singlefile", "-png", pdf, base])
        return Raster(base + ".ppm"), base + ".png"

    def print_record(self, **fields):
        before = pdfs()
        press(self.events, **fields)
        pdf, seen_ms = wait_pdf(before)
        self.assertIsNotNone(pdf, "no label PDF appeared")
        frame_end = last_frame_end_ms(self.events)
        if frame_end is not None:
            print(f"\nframe's last byte to PDF: {seen_ms - frame_end:.0f} ms", file=sys.stderr)
        time.sleep(0.3)
        return pdf

    def assertTitle(self, pdf, title):
        # The backend names each file after the job title.
        self.assertIn(title.replace(" ", "_"), os.path.basename(pdf))

    def assertNear(self, what, got, want):
        self.assertIsNotNone(got, f"nothing drawn for {what}")
        for g, w, side in zip(got, want, ("left", "top", "right", "bottom")):
            self.assertLessEqual(abs(g - w), 1, f"{what} {side} at {g}, expected {w}: {got} vs {want}")

    def assertTextCell(self, page, off, what, x_mm, y_mm, points, width_mm=90, share=0.85):
        cell = points * DPI // 72
        x, y = mm_px(x_mm) + off[0], mm_px(y_mm) + off[1]
        got = page.bounds(dark, x - 4, y - 4, x + mm_px(width_mm), y + int(cell * share))
        self.assertIsNotNone(got, f"no {what} text")
        # Ink sits inside the cell whose top-left corner is the position.
        self.assertTrue(x - 1 <= got[0] <= x + cell // 4, f"{what} ink starts at x {got[0]}, cell at {x}")
        self.assertTrue(y - 1 <= got[1] <= y + cell // 3, f"{what} ink starts at y {got[1]}, cell at {y}")

    def code39_bars(self, page, off, x_mm, y_mm, text, module):
        n = 13 * (len(text) + 2)
        want = (mm_px(x_mm + module) + off[0], mm_px(y_mm) + off[1], mm_px(x_mm + n * module) + off[0],
                mm_px(y_mm + 10) + off[1])
        got = page.bounds(dark, want[0] - 30, want[1] - 6, want[2] + 30, want[3] + 1)
        return got, want

    def test_record_label_positions_and_barcodes(self):
        self.start()
        pdf = self.print_record(operator="SMITH", quantity="1500", barcode="ZEL0042")
        self.assertTitle(pdf, "ZEL PRINT")
        page, png = self.rasterise(pdf)
        off = printable_offset(pdf)
        self.assertEqual(decode_barcodes(png), ["1500", "ZEL0042"])
        p = self.pos
        self.assertTextCell(page, off, "company", p["CompanyNameX"], p["CompanyNameY"], 22)
        self.assertTextCell(page, off, "date", p["DateX"], p["DateY"], 16, share=0.78)
        self.assertTextCell(page, off, "operator", p["OperatorX"], p["OperatorY"], 12, share=0.78)
        self.assertTextCell(page, off, "quantity", p["QuantityX"], p["QuantityY"], 26, share=0.8)
        for name, text in (("BarcodeQ", "1500"), ("BarcodeID", "ZEL0042")):
            got, want = self.code39_bars(page, off, p[name + "X"], p[name + "Y"], text, 0.4445)
            self.assertNear(name + " bars", got, want)
        texts = subprocess.run(["pdftotext", pdf, "-"], capture_output=True, text=True).stdout
        if texts.strip():  # only when the driver kept the text as text
            for t in ("Rig Test Co", "SMITH", "Quantity:", "1500"):
                self.assertIn(t, texts)

    def test_blank_barcode_prints_no_barcode_id(self):
        self.start()
        pdf = self.print_record(quantity="77", barcode="        ")
        page, png = self.rasterise(pdf)
        off = printable_offset(pdf)
        self.assertEqual(decode_barcodes(png), ["77"])
        x, y = mm_px(self.pos["BarcodeIDX"]) + off[0], mm_px(self.pos["BarcodeIDY"]) + off[1]
        self.assertIsNone(page.bounds(dark, x - 10, y - 5, x + mm_px(80), y + mm_px(14)))

    def test_preview_is_450_wide_and_prints_sample(self):
        self.start()
        self.assertIsNotNone(self.prog.probe("click", "ZEL Manager", "30"))
        self.assertIsNotNone(self.prog.probe("wait", "Preview", "20000"), "no preview window")
        time.sleep(1.0)
        win = json.loads(self.prog.probe("dump", "Preview").splitlines()[0])
        shot = screenshot(os.path.join(self.work, "screen.ppm"))
        # Inside the preview window only: the main window's menu bar is white too.
        self.assertEqual(shot.longest_run(white, win["x"], win["y"], win["x"] + win["w"], win["y"] + win["h"]), 450)
        self.assertFalse(self.prog.main_window()["enabled"])

        before = pdfs()
        self.assertIsNotNone(self.prog.probe("click", "Preview", "31"))
        pdf, _ = wait_pdf(before)
        self.assertIsNotNone(pdf, "no sample PDF appeared")
        time.sleep(0.3)
        self.assertTitle(pdf, "ZEL PRINT")
        _, png = self.rasterise(pdf)
        self.assertEqual(decode_barcodes(png), ["123456", "ABCDEFGHIJKLMNO"])
        self.assertIsNotNone(self.prog.probe("wait-gone", "Preview", "10000"))
        self.assertTrue(self.prog.main_window()["enabled"])

    def test_logo_formats_load_at_startup_show_thumbnail_and_print(self):
        for ext in ("bmp", "jpg", "png", "jp2"):
            with self.subTest(format=ext):
                logo = os.path.join(self.work, "logo." + ext)
                # 120 x 60: a 140 x 70 thumbnail, 120 x 60 printer dots.
                subprocess.check_call(["convert", "-size", "120x60", "xc:#ff0000", "-type", "TrueColor", logo])
                self.start(logo=winpath(logo), company="")
                try:
                    self.assertEqual(self.prog.text(33), winpath(logo))
                    shot = screenshot(os.path.join(self.work, "screen.ppm"))
                    self.assertEqual(shot.longest_run(red), 140)
                    pdf = self.print_record(quantity="5", barcode="L1")
                    page, _ = self.rasterise(pdf)
                    off = printable_offset(pdf)
                    x, y = mm_px(self.pos["CompanyLogoX"]) + off[0], mm_px(self.pos["CompanyLogoY"]) + off[1]
                    got = page.bounds(red, x - 20, y - 20, x + 160, y + 100)
                    self.assertNear("logo", got, (x, y, x + 120, y + 60))
                finally:
                    self.prog.close()
                    self.prog = None

    def test_corrupt_logo_empties_field(self):
        logo = os.path.join(self.work, "broken.jpg")
        with open(logo, "wb") as f:
            f.write(b"\xff\xd8\xff\xe0 not really a jpeg")
        self.start(logo=winpath(logo))
        self.assertEqual(self.prog.text(33), "")
        self.assertFalse((self.prog.probe("msgbox", "ZEL Manager") or "").strip(), "a message box was shown")


if __name__ == "__main__":
    unittest.main(verbosity=2)
