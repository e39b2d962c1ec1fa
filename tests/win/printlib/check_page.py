#!/usr/bin/env python3
"""Runs the Wine test that prints the test page, then rasterises the job's PDF
and checks the title and where the box, the text and the image landed."""
import glob, os, subprocess, sys, tempfile, time

test_exe = sys.argv[1]
if not os.environ.get("ZEL_PRINTER") or not os.environ.get("ZEL_PDF_DIR"):
    print("ZEL_PRINTER / ZEL_PDF_DIR not set: run inside the test rig (tools/rig/up.sh)")
    sys.exit(0)
pdf_dir = os.environ["ZEL_PDF_DIR"]
work = tempfile.mkdtemp(prefix="zel_page_")
expect_file = os.path.join(work, "expect.txt")


def wait_queue_idle(timeout=60):
    # Jobs of earlier tests may still be in CUPS' filters; their PDFs must not
    # be taken for this one.
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        out = subprocess.run(["lpstat", "-o"], capture_output=True, text=True).stdout
        if not out.strip():
            return
        time.sleep(0.2)


wait_queue_idle()
before = set(glob.glob(os.path.join(pdf_dir, "*")))
env = dict(os.environ, ZEL_PAGE_EXPECT="Z:" + expect_file.replace("/", "\\"))
with open(os.path.join(work, "wine.log"), "w") as log:
    rc = subprocess.call(["wine", test_exe, "--gtest_filter=PrintJob.TestPageForTheQueue"], env=env,
                         stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
if rc != 0:
    print(open(os.path.join(work, "wine.log")).read())
    sys.exit("the Wine test failed")

expect = {}
for line in open(expect_file):
    k, *v = line.split()
    expect[k] = [int(x) for x in v]

wait_queue_idle()
pdf = None
for _ in range(120):
    new = [p for p in glob.glob(os.path.join(pdf_dir, "*")) if p not in before and os.path.getsize(p) > 0]
    if new:
        time.sleep(0.5)
        pdf = max(new, key=os.path.getmtime)
        break
    time.sleep(0.25)
if not pdf:
    sys.exit("no PDF appeared in " + pdf_dir)

failures = []
info = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True).stdout
title_ok = "ZEL PRINT" in info
if not title_ok:
    # The spooler keeps the job name in its control files.
    cups_dir = os.path.join(os.environ.get("ZEL_RUN_DIR", ""), "cups")
    for c in glob.glob(os.path.join(cups_dir, "**", "c*"), recursive=True):
        if os.path.isfile(c) and b"ZEL PRINT" in open(c, "rb").read():
            title_ok = True
if not title_ok:
    failures.append("title ZEL PRINT found neither in the PDF nor in the spooler's job files")

dpi = expect["dpi"][0]
subprocess.check_call(["pdftoppm", "-r", str(dpi), "-singlefile", pdf, os.path.join(work, "page")])
data = open(os.path.join(work, "page.ppm"), "rb").read()
# P6 header: magic, width, height, maxval, then one whitespace byte.
fields, pos = [], 0
while len(fields) < 4:
    while data[pos:pos + 1].isspace():
        pos += 1
    start = pos
    while not data[pos:pos + 1].isspace():
        pos += 1
    fields.append(data[start:pos])
pos += 1
width, height = int(fields[1]), int(fields[2])
pixels = data[pos:]

def rgb(x, y):
    i = (y * width + x) * 3
    return pixels[i], pixels[i + 1], pixels[i + 2]

def dark(x, y):
    return sum(rgb(x, y)) < 3 * 100

def red(x, y):
    r, g, b = rgb(x, y)
    return r > 180 and g < 90 and b < 90

def bounds(test, x0, y0, x1, y1):
    xs, ys = [], []
    for y in range(max(0, y0), min(height, y1)):
        for x in range(max(0, x0), min(width, x1)):
            if test(x, y):
                xs.append(x)
                ys.append(y)
    return (min(xs), min(ys), max(xs) + 1, max(ys) + 1) if xs else None

def near(what, got, want):
    for g, w, name in zip(got, want, ("left", "top", "right", "bottom")):
        if abs(g - w) > 1:
            failures.append(f"{what} {name} at {g}, expected {w} (within one pixel)")

bx1, by1, bx2, by2 = expect["box"]
got = bounds(dark, bx1 - 30, by1 - 30, bx2 + 30, by2 + 30)
if not got:
    failures.append("no box")
else:
    near("box", got, (bx1, by1, bx2, by2))

ix, iy, iw, ih = expect["image"]
got = bounds(red, ix - 30, iy - 30, ix + iw + 30, iy + ih + 30)
if not got:
    failures.append("no image")
else:
    near("image", got, (ix, iy, ix + iw, iy + ih))

tx, ty, th = expect["text"]
got = bounds(dark, tx - 20, ty - 20, tx + 20 * th, ty + th + 20)
if not got:
    failures.append("no text")
else:
    # Glyphs sit inside the cell that starts at the given point.
    if not (tx - 1 <= got[0] <= tx + th // 4):
        failures.append(f"text starts at x {got[0]}, cell at {tx}")
    if not (ty - 1 <= got[1] and got[3] <= ty + th + 1):
        failures.append(f"text spans rows {got[1]}..{got[3]}, cell {ty}..{ty + th}")
    if got[3] - got[1] < th // 2:
        failures.append(f"text only {got[3] - got[1]} rows high for a {th}-row cell")

print(f"page {width}x{height} at {dpi} dpi from {os.path.basename(pdf)}; expected {expect}")
if failures:
    print("\n".join(failures))
    sys.exit(1)
print("page checks passed")
