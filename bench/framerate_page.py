#!/usr/bin/env python3
"""The web page's frame rate in headless Chromium (SwiftShader's WebGL 2), with
the animation frames not held to the display's rate, its own work a frame, its
WebGL calls a frame (counted in a second visit, since counting slows the page),
and the size of what the page downloads. Used by scripts/framerate-web.
  framerate_page.py SITE SECONDS SHIPS [LABEL]"""
import gzip
import os
import statistics
import sys
import time

# The browser driver the page's tests use.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
from devtools import COUNT_WEBGL, Browser, Failure, Page, Server  # noqa: E402


# Every run meets the same opening: the battle's generator seeded from the
# address instead of the clock.
SEED = 12345


def fleet_list(races, alliance, per_side):
    """The races dealt out between the sides in turn, each side's ships spread
    over its races (as scripts/framerate-linux does)."""
    own = races[alliance - 1::2]
    entries = []
    for i, race in enumerate(own):
        share = per_side // len(own) + (1 if i < per_side % len(own) else 0)
        if share:
            entries.append(f"{race}:{share}")
    return ",".join(entries)


# The ring of the page's last frames (kestrionStats.recentStartMs and
# recentWorkMs), the first frame measured, and the fewest frames measured.
RECENT_FRAMES = 256
FIRST_FRAME = 5
FEWEST_FRAMES = 16


def measure(browser, server, fragment, seconds, count=False, fewest=FEWEST_FRAMES):
    """Frames, frames a second, own work a frame, canvas size; with `count`, the
    WebGL calls a frame instead. From frame FIRST_FRAME on (past the set-up) for
    at least `seconds` and `fewest` frames (a slow page may take minutes).
    The frame rate comes from the frames' start times and the own work is the
    median frame's, which one slow frame does not move as it moves a mean."""
    page = Page(browser, server.url("index.html#" + fragment), COUNT_WEBGL if count else None)
    page.wait_for("window.kestrionStats && window.kestrionStats.state === 'running' && "
                  f"window.kestrionStats.frames > {FIRST_FRAME}", "the battle to run", timeout=900)
    probe = ("[kestrionStats.frames, " + ("kestrionGL.calls" if count else "0") +
             ", document.getElementById('canvas').width, document.getElementById('canvas').height]")
    start = page.evaluate(probe)
    print(f"   measuring from frame {start[0]}", flush=True)
    time.sleep(seconds)
    page.wait_for(f"kestrionStats.frames > {start[0] + fewest}", f"{fewest} frames",
                  timeout=900)
    # One reading, between two frames: the ring cannot move under it.
    end, starts, works = page.evaluate(f"[{probe}, Array.from(kestrionStats.recentStartMs), "
                                       "Array.from(kestrionStats.recentWorkMs)]")
    page.send("Page.navigate", {"url": "about:blank"})
    # Frames first..last have ended; frame last + 1 has at least started.
    last = end[0] - 2
    first = max(start[0], last - RECENT_FRAMES + 2)
    frames = last - first + 1
    elapsed = (starts[(last + 1) % RECENT_FRAMES] - starts[first % RECENT_FRAMES]) / 1000
    work = statistics.median(works[n % RECENT_FRAMES] for n in range(first, last + 1))
    return (frames, frames / elapsed, work, (end[1] - start[1]) / max(end[0] - start[0], 1),
            end[2], end[3])


def sizes(site):
    groups = {}
    for folder, _, files in os.walk(site):
        for name in files:
            path = os.path.join(folder, name)
            data = open(path, "rb").read()
            relative = os.path.relpath(path, site)
            group = "data set" if relative.startswith("data" + os.sep) else relative
            raw, packed = groups.get(group, (0, 0))
            groups[group] = (raw + len(data), packed + len(gzip.compress(data, 9)))
    return groups


def main():
    site, seconds, ships = sys.argv[1], float(sys.argv[2]), int(sys.argv[3])
    name = sys.argv[4] if len(sys.argv) > 4 else "page"
    races = sorted(name[:-4] for name in os.listdir(os.path.join(site, "data"))
                   if name.endswith(".ast"))
    server = Server(site)
    browser = Browser(800, 600, extra=("--disable-gpu-vsync", "--disable-frame-rate-limit"))
    try:
        results = []
        for label, fragment in [
                ("empty fleets", f"alliance1=&alliance2=&seed={SEED}"),
                (f"{ships} ships a side", f"alliance1={fleet_list(races, 1, ships)}"
                                          f"&alliance2={fleet_list(races, 2, ships)}&seed={SEED}")]:
            frames, fps, work, _, width, height = measure(browser, server, fragment, seconds)
            calls = measure(browser, server, fragment, min(seconds, 5), count=True, fewest=3)[3]
            print(f"   {name}, {label}: {frames} frames at {width} x {height}, "
                  f"{fps:.2f} frames a second; {work:.2f} ms inside the frame function (median frame); "
                  f"{calls:.0f} WebGL calls a frame", flush=True)
            results.append((label, fps, work, calls))
    except Failure as failure:
        print(f"framerate-web: {failure}", file=sys.stderr)
        return 1
    finally:
        browser.close()
        server.close()
    print("")
    for label, fps, work, calls in results:
        print(f"{name} frame rate, {label}: {fps:.2f} fps, own work {work:.2f} ms a frame (median), "
              f"{calls:.0f} WebGL calls a frame")
    print("download size (raw / gzip -9):")
    total_raw = total_packed = 0
    for group, (raw, packed) in sorted(sizes(site).items()):
        total_raw += raw
        total_packed += packed
        print(f"   {group:<14} {raw / 1024:9.1f} KB / {packed / 1024:9.1f} KB")
    print(f"   {'all':<14} {total_raw / 1024:9.1f} KB / {total_packed / 1024:9.1f} KB")
    return 0


if __name__ == "__main__":
    sys.exit(main())
