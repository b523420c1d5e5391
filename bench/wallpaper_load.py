#!/usr/bin/env python3
"""What the wallpaper costs all day: Chromium's CPU time per wall second (every
process of the browser, from /proc) with the battle uncapped and under frame-rate
caps, and the page's memory. The wallpaper folder is opened from the disk in
headless Chromium (SwiftShader's WebGL 2, animation frames at its usual 60 a
second), its settings given as Lively gives them.
  wallpaper_load.py WALLPAPER [SECONDS] [FLEETS]     (10 s, 2 x 10 ships)"""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
from devtools import Browser, Page  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")
SIZE = (640, 360)  # small, so that a software renderer outruns the caps


def browser_cpu(group):
    """CPU seconds of every process in the browser's process group."""
    total = 0
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open(f"/proc/{pid}/stat") as file:
                fields = file.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        if int(fields[2]) == group:  # the process group, after the state and the parent
            total += int(fields[11]) + int(fields[12])  # utime, stime
    return total / TICKS


def main():
    folder = os.path.abspath(sys.argv[1])
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 10
    fleets = sys.argv[3] if len(sys.argv) > 3 else "alliance1=Vessari:5,Korrhan:5&alliance2=Thyl:5,Oruun:5"
    browser = Browser(*SIZE)
    try:
        page = Page(browser, f"file://{folder}/index.html#{fleets}")
        page.wait_for("window.kestrionStats && kestrionStats.state === 'running' && kestrionStats.frames > 10",
                      "the battle to run", 600)
        print(f"{fleets}, {seconds:.0f} s each, load average {os.getloadavg()[0]:.1f}")
        for label, fps in (("uncapped", 61), ("cap 30", 30), ("cap 15", 15), ("uncapped", 61)):
            page.evaluate(f"livelyPropertyListener('fps', {fps})")
            time.sleep(2)
            frames0, cpu0, wall0 = page.evaluate("kestrionStats.frames"), browser_cpu(browser.process.pid), time.monotonic()
            time.sleep(seconds)
            frames1, cpu1, wall1 = page.evaluate("kestrionStats.frames"), browser_cpu(browser.process.pid), time.monotonic()
            wall = wall1 - wall0
            print(f"  {label:9} {(frames1 - frames0) / wall:5.1f} frames a second, "
                  f"Chromium's CPU {(cpu1 - cpu0) / wall:.2f} s per wall second")
        page.send("HeapProfiler.collectGarbage")
        memory = page.evaluate("kestrionMemory()")
        js = page.send("Runtime.getHeapUsage")["usedSize"]
        print(f"  memory: the program's heap in use {memory['heapInUse'] / 1048576:.1f} MB, WebAssembly memory "
              f"{memory['wasm'] / 1048576:.1f} MB, JavaScript's heap {js / 1048576:.1f} MB")
    finally:
        browser.close()


if __name__ == "__main__":
    main()
