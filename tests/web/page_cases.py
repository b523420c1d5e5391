#!/usr/bin/env python3
"""The web page in headless Chromium (SwiftShader's WebGL 2), one case a run:
  page_cases.py CASE      (battle, address, races, kept, offline, calls, textures, lost, soak, sky, beams,
                           wallpaper, wallpaper_pace, wallpaper_package)
The wallpaper cases open the wallpaper folder from the disk (file://), with no server.
Environment: WEB_SITE (build/web), WEB_WALLPAPER (build/wallpaper), WEB_PACKAGES (build/packages,
for wallpaper_package), E2E_INSPECT (kestrion-e2e-inspect),
WEB_FORGE (kestrion-forge), WEB_WORK (a scratch folder for this case)."""
import glob
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from devtools import CHROMIUM, COUNT_WEBGL, Browser, Failure, Page, Server, png_to_ppm  # noqa: E402

SITE = os.environ["WEB_SITE"]
INSPECT = os.environ["E2E_INSPECT"]
WORK = os.environ["WEB_WORK"]
WALLPAPER = os.environ.get("WEB_WALLPAPER", os.path.join(os.path.dirname(SITE), "wallpaper"))
DATA = os.path.join(SITE, "data")
EFFECTS = os.path.join(DATA, "Explosion.as")


def races():
    """Name -> file of the data set's races, as our own reader lists them."""
    listing = subprocess.run([INSPECT, "races", DATA], check=True, capture_output=True, text=True)
    found = {}
    for line in listing.stdout.splitlines():
        name = line.split("\t")[0]
        for path in glob.glob(os.path.join(DATA, "*.ast")):
            with open(path, "rb") as file:
                if name.encode() in file.read(256):
                    found.setdefault(name, path)
    return found


def state(page):
    return page.evaluate("window.kestrionStats && window.kestrionStats.state")


def wait_running(page, frames=10):
    page.wait_for("window.kestrionStats && window.kestrionStats.state === 'running' && "
                  f"window.kestrionStats.frames > {frames}", "the battle to run")


def text_of(page, selector):
    return page.evaluate(f"(document.querySelector({json.dumps(selector)}) || {{}}).textContent || ''")


def click(page, selector):
    page.evaluate(f"document.querySelector({json.dumps(selector)}).click()")


def user_click(page, selector):
    """A click of the mouse on the element, as a user's (full screen needs one)."""
    x, y = page.evaluate(f"(() => {{ const r = document.querySelector({json.dumps(selector)})"
                         ".getBoundingClientRect(); return [r.x + r.width / 2, r.y + r.height / 2]; })()")
    for kind in ("mousePressed", "mouseReleased"):
        page.send("Input.dispatchMouseEvent",
                  {"type": kind, "x": x, "y": y, "button": "left", "clickCount": 1})


def enter_full_screen(page):
    """Full screen from the button, clicked as a user would. A browser that is
    still leaving full screen may refuse the next request (the page says so);
    a user then clicks again, and so does this, three times at most."""
    for attempt in range(3):
        user_click(page, "#fullscreen")
        try:
            return page.wait_for("!!document.fullscreenElement", "full screen", 20)
        except Failure:
            print("full screen did not come: " + text_of(page, "#notice-text"))
    raise Failure("three clicks on Full screen did not bring it")


def screenshot_button(page, downloads, seconds):
    """The Screenshot button's PNG, once the browser has written it whole. Its
    name holds the time to the second, so a second picture within the same
    second may come under the same name: a file counts as new when its time or
    size changed too."""
    def written():
        return {p: (os.stat(p).st_mtime_ns, os.stat(p).st_size)
                for p in glob.glob(os.path.join(downloads, "*.png"))}
    before = written()
    count = page.evaluate("window.kestrionStats.shots")
    click(page, "#screenshot")
    page.wait_for(f"window.kestrionStats.shots > {count}", "the screenshot button's picture")
    deadline = time.monotonic() + seconds
    while True:
        new = [p for p, stamp in written().items()
               if before.get(p) != stamp and not glob.glob(p + ".crdownload")]
        if new:
            return new[0]
        if time.monotonic() > deadline:
            raise Failure("the screenshot button downloaded no PNG file")
        time.sleep(0.25)


def shots(page, downloads, race_files, tries=8):
    """Screenshot button until a picture passes the picture checks (tiles, ships,
    beams in the races' colours); every picture must be a PNG of the canvas's
    size. Beams live a moment and explosions may cover a tile, so it may take a
    few pictures."""
    for attempt in range(tries):
        png = screenshot_button(page, downloads, 60)
        ppm = os.path.join(WORK, f"shot{attempt}.ppm")
        size = png_to_ppm(png, ppm)
        canvas = tuple(page.evaluate("[document.getElementById('canvas').width, "
                                     "document.getElementById('canvas').height]"))
        if size != canvas:
            raise Failure(f"{png} is {size}, the canvas {canvas}")
        check = subprocess.run([INSPECT, "picture", ppm, EFFECTS, *race_files],
                               capture_output=True, text=True)
        report = check.stdout + check.stderr
        print(f"{os.path.basename(png)}:\n{report}")
        if check.returncode == 0:
            return png
        time.sleep(0.5)
    raise Failure(f"no screenshot passed the picture checks; see {downloads} and the reports above")


class Session:
    def __init__(self, serve=True, extra=()):
        self.server = Server(SITE) if serve else None
        self.browser = Browser(folder=WORK, extra=extra)  # a killed run's profile goes with the next run
        self.downloads = os.path.join(WORK, "downloads")
        os.makedirs(self.downloads, exist_ok=True)
        self.browser.send("Browser.setDownloadBehavior",
                          {"behavior": "allow", "downloadPath": self.downloads})

    def page(self, fragment="", before=None, url=None):
        page = Page(self.browser, (url or self.server.url("index.html")) + fragment, before)
        page.wait_for("window.kestrionStats && window.kestrionStats.state !== 'loading'",
                      "the page to load the data set")
        if state(page) == "failed":
            raise Failure("the page could not load: " + text_of(page, "#loading-text"))
        return page

    def wallpaper(self, fragment=""):
        """The wallpaper folder's page opened from the disk, running."""
        page = self.page(fragment, url="file://" + os.path.join(os.path.abspath(WALLPAPER), "index.html"))
        wait_running(page)
        return page

    def close(self):
        self.browser.close()
        if self.server:
            self.server.close()


def case_battle(session):
    """The page loads, Start shows the battle, the screenshot button gives a PNG
    that passes the picture checks, full screen comes and goes as the saver
    does; the fleets are kept for the next visit."""
    known = races()
    page = session.page()
    if state(page) != "builder":
        raise Failure(f"the page shows no fleet builder but {state(page)}")
    options = page.evaluate("[...document.querySelectorAll('.alliance')[0]"
                            ".querySelectorAll('option')].map(o => o.value)")
    if sorted(options) != sorted(known):
        raise Failure(f"the builder offers {options}, the data set has {sorted(known)}")
    page.screenshot(os.path.join(WORK, "builder.png"))
    fleets = page.evaluate("[...document.querySelectorAll('.entries')].map(l => l.textContent)")
    click(page, "#start")
    wait_running(page)
    if not page.evaluate("document.getElementById('builder').hidden"):
        raise Failure("the builder still covers the battle after Start")
    first = [name for name in known if fleets[0].startswith(name)]
    second = [name for name in known if fleets[1].startswith(name)]
    png = shots(page, session.downloads, [known[first[0]], known[second[0]]])
    shutil.copy(png, os.path.join(WORK, "battle.png"))

    # Full screen from the button, as a user's click; a mouse move, and a key, leave it.
    for leave in ("a mouse move", "a key"):
        enter_full_screen(page)
        if leave == "a key":
            page.send("Input.dispatchKeyEvent", {"type": "keyDown", "key": "a", "code": "KeyA"})
        else:
            time.sleep(1)
            for x, y in ((100, 100), (110, 104)):
                page.send("Input.dispatchMouseEvent", {"type": "mouseMoved", "x": x, "y": y})
        page.wait_for("!document.fullscreenElement", f"{leave} to leave full screen", 60)

    # Kept: a new visit without fleets in the address shows the same ones.
    again = session.page()
    kept = again.evaluate("[...document.querySelectorAll('.entries')].map(l => l.textContent)")
    if kept != fleets:
        raise Failure(f"the next visit shows {kept}, not the fleets started: {fleets}")


def case_address(session):
    """Fleets in the address start the battle at once and are the ones that fly,
    also when the address changes under a running battle; a new size reshapes
    it; bad fleets in the address give a clear message."""
    known = races()
    names = sorted(known)
    one, two, three = names[0], names[1], names[2]
    page = session.page(f"#alliance1={one}:3,{two}:2&alliance2={three}:4&seed=7")
    wait_running(page)
    if "seed=7" not in page.evaluate("location.hash"):
        raise Failure("the page dropped the seed from the address it wrote")
    shown = page.evaluate("[...document.querySelectorAll('.entries')].map(l => l.textContent)")
    if not (shown[0].startswith(f"{one} × 3") and f"{two} × 2" in shown[0]
            and shown[1].startswith(f"{three} × 4")):
        raise Failure(f"the page took the fleets as {shown}")
    shots(page, session.downloads, [known[one], known[two], known[three]])

    # A new address while the battle runs puts its fleets into it; a new window
    # size reshapes the view, and the screenshot follows the canvas.
    four = names[3]
    page.evaluate(f"location.hash = 'alliance1={four}:4&alliance2={two}:4'")
    page.wait_for(f"document.querySelectorAll('.entries')[0].textContent.startsWith('{four} × 4')",
                  "the new address's fleets")
    page.send("Emulation.setDeviceMetricsOverride",
              {"width": 641, "height": 400, "deviceScaleFactor": 1, "mobile": False})
    page.wait_for("document.getElementById('canvas').width === 641 && "
                  "document.getElementById('canvas').height === 400", "the canvas at 641 x 400")
    shots(page, session.downloads, [known[four], known[two]])

    for fragment, expected in [("#alliance1=Nobody:5", "unknown race \"Nobody\""),
                               (f"#alliance2={one}:0", "is not a number from 1 to 500"),
                               (f"#alliance1={one}:500,{two}:501", "is not a number from 1 to 500"),
                               (f"#alliance1={one}:500,{two}:500,{three}:1", "at most 1000")]:
        bad = session.page(fragment)
        if state(bad) != "builder":
            raise Failure(f"{fragment}: the page went on to {state(bad)}")
        message = text_of(bad, "#message")
        if expected not in message or "alliance" not in message:
            raise Failure(f"{fragment}: the page says {message!r}")
        print(f"{fragment}: {message}")


def make_race(folder):
    """A race of our own from an OBJ model: a flat-topped wedge, magenta beams."""
    obj = os.path.join(folder, "wedge.obj")
    with open(obj, "w") as file:
        file.write("v 0 0 1\nv -0.6 0 -0.6\nv 0.6 0 -0.6\nv 0 0.4 -0.4\n"
                   "f 1 3 2\nf 1 2 4\nf 1 4 3\nf 2 3 4\n")
    race = os.path.join(folder, "Wedge.ast")
    subprocess.run([os.environ["WEB_FORGE"], "import", obj, "-o", race, "--name", "Wedgeling",
                    "--description", "Test wedges", "--beam", "1,0,1", "--shield", "1,0,1"],
                   check=True, capture_output=True)
    return race


def cut_short(path, to):
    """The first half of the file at `path`, written to `to`."""
    with open(path, "rb") as file:
        data = file.read()
    with open(to, "wb") as file:
        file.write(data[: len(data) // 2])
    return to


def case_races(session):
    """A dropped valid race joins the lists and flies; a damaged one shows its
    reader's message and changes nothing."""
    known = races()
    race = make_race(WORK)
    damaged = cut_short(race, os.path.join(WORK, "Damaged.ast"))

    page = session.page()
    before = page.evaluate("JSON.stringify([[...document.querySelectorAll('option')].map(o => o.value),"
                           "[...document.querySelectorAll('.entries')].map(l => l.textContent)])")

    # The damaged file through the file button.
    node = page.send("DOM.getDocument")["root"]["nodeId"]
    button = page.send("DOM.querySelector", {"nodeId": node, "selector": "#race-files"})["nodeId"]
    page.send("DOM.setFileInputFiles", {"files": [damaged], "nodeId": button})
    message = page.wait_for("!document.getElementById('notice').hidden && "
                            "document.getElementById('notice-text').textContent",
                            "the damaged race's message")
    print(f"damaged: {message}")
    if "Damaged.ast is not a race file we can read" not in message:
        raise Failure(f"the damaged race gave {message!r}")
    after = page.evaluate("JSON.stringify([[...document.querySelectorAll('option')].map(o => o.value),"
                          "[...document.querySelectorAll('.entries')].map(l => l.textContent)])")
    if after != before:
        raise Failure(f"the damaged race changed the lists: {after}")

    # The valid one dropped onto the page, as a drag from the desktop does.
    print("dropped: " + drop_file(page, race, "Wedge.ast"))
    options = page.evaluate("[...document.querySelectorAll('.alliance')[1]"
                            ".querySelectorAll('option')].map(o => o.value)")
    if "Wedgeling" not in options:
        raise Failure(f"the dropped race is not in the lists: {options}")

    # It flies: alliance 2 becomes Wedgeling's, Start.
    other = sorted(known)[0]
    page.evaluate("(() => { const side = document.querySelectorAll('.alliance')[1];"
                  "while (side.querySelector('.entries button')) side.querySelector('.entries button').click();"
                  "side.querySelector('.race').value = 'Wedgeling';"
                  "side.querySelector('.ships').value = '6';"
                  "side.querySelector('.add-entry').click(); })()")
    page.evaluate("(() => { const side = document.querySelectorAll('.alliance')[0];"
                  "while (side.querySelector('.entries button')) side.querySelector('.entries button').click();"
                  f"side.querySelector('.race').value = {json.dumps(other)};"
                  "side.querySelector('.ships').value = '6';"
                  "side.querySelector('.add-entry').click(); })()")
    # The builder keeps to the options' bounds: an entry over them is refused.
    chosen = page.evaluate("[...document.querySelectorAll('.entries')].map(l => l.textContent)")
    page.evaluate("(() => { const side = document.querySelectorAll('.alliance')[0];"
                  "side.querySelector('.ships').value = '501';"
                  "side.querySelector('.add-entry').click(); })()")
    refused = text_of(page, "#message")
    if "is not a number from 1 to 500" not in refused or chosen != page.evaluate(
            "[...document.querySelectorAll('.entries')].map(l => l.textContent)"):
        raise Failure(f"an entry of 501 ships gave {refused!r} and the lists {chosen}")
    click(page, "#start")
    wait_running(page)
    if "Wedgeling:6" not in page.evaluate("location.hash"):
        raise Failure("the started fleets are not Wedgeling's: " + page.evaluate("location.hash"))
    # Magenta beams only Wedgeling fires: the check against its file alone.
    shots(page, session.downloads, [race])


def drop_file(page, path, name):
    """A file dropped onto the page, as a drag from the desktop does."""
    with open(path, "rb") as file:
        payload = json.dumps(list(file.read()))
    page.evaluate("document.getElementById('notice').hidden = true;"
                  "(() => { const data = new DataTransfer();"
                  f"data.items.add(new File([new Uint8Array({payload})], {json.dumps(name)}));"
                  "document.dispatchEvent(new DragEvent('drop', {dataTransfer: data, bubbles: true}));"
                  "})()")
    return page.wait_for("!document.getElementById('notice').hidden && "
                         "document.getElementById('notice-text').textContent", f"{name}'s message")


def case_kept(session):
    """A race added from a file stays for the next visits (IndexedDB), listed
    as added, and flies; one kept that no longer reads gets its message and
    goes; Forget takes a kept race away."""
    known = races()
    race = make_race(WORK)
    page = session.page()
    print("dropped: " + drop_file(page, race, "Wedge.ast"))

    # The next visit: checked again, listed as added, in the race lists.
    again = session.page()
    listed = again.evaluate("[...document.querySelectorAll('#added-list .name')].map(n => n.textContent)")
    options = again.evaluate("[...document.querySelectorAll('.alliance')[1].querySelectorAll('option')]"
                             ".map(o => o.value)")
    if not any(entry.startswith("Wedgeling") for entry in listed) or "Wedgeling" not in options:
        raise Failure(f"after a reload the added races are {listed} and the lists {options}")

    # A kept copy that no longer reads (cut short, as by an older version's
    # format): its message on the next visit, and it is gone from the store.
    with open(race, "rb") as file:
        half = json.dumps(list(file.read()[:2000]))
    again.evaluate("new Promise((resolve, reject) => { const open = indexedDB.open('kestrion', 1);"
                   "open.onsuccess = () => { const t = open.result.transaction('races', 'readwrite');"
                   f"t.objectStore('races').put({{fileName: 'Old.ast', name: 'Old', bytes: new Uint8Array({half}).buffer}});"
                   "t.oncomplete = () => { open.result.close(); resolve(true); }; t.onerror = reject; }; })")
    third = session.page()
    message = third.wait_for("!document.getElementById('notice').hidden && "
                             "document.getElementById('notice-text').textContent", "the old race's message")
    print(f"kept but unreadable: {message}")
    if "Old.ast is not a race file we can read" not in message or "dropped" not in message:
        raise Failure(f"the unreadable kept race gave {message!r}")
    fourth = session.page()
    if "Old.ast" in fourth.evaluate("document.getElementById('added-list').textContent") or \
            not fourth.evaluate("document.getElementById('notice').hidden"):
        raise Failure("the unreadable kept race is still kept")

    # It flies: Wedgeling against the first race, from the address.
    other = sorted(known)[0]
    flying = session.page(f"#alliance1={other}:5&alliance2=Wedgeling:6")
    wait_running(flying)
    shots(flying, session.downloads, [race])

    # Forget: gone from the list, the lists, and the next visit.
    click(fourth, "#added-list button.forget")
    fourth.wait_for("document.getElementById('added').hidden", "the added list to empty")
    fifth = session.page()
    if "Wedgeling" in fifth.evaluate("[...document.querySelectorAll('option')].map(o => o.value)"):
        raise Failure("a forgotten race is offered on the next visit")


def case_models(session):
    """A dropped .glb goes through the importer compiled into the page: the race
    joins the lists, its race file can be saved, and it flies; a broken one
    shows the importer's message and changes nothing."""
    known = races()
    seeds = os.path.join(WORK, "seeds")
    subprocess.run([os.environ["WEB_FORGE"], "seeds", seeds], check=True, capture_output=True)
    glb = os.path.join(seeds, "gltf", "ship.glb")
    broken = cut_short(glb, os.path.join(WORK, "broken.glb"))

    page = session.page()
    lists = ("JSON.stringify([[...document.querySelectorAll('option')].map(o => o.value),"
             "[...document.querySelectorAll('.entries')].map(l => l.textContent),"
             "document.getElementById('added-list').textContent])")
    before = page.evaluate(lists)
    message = drop_file(page, broken, "Broken.glb")
    print(f"broken: {message}")
    if not message.startswith("Broken.glb: ") or page.evaluate(lists) != before:
        raise Failure(f"the broken model gave {message!r} and the lists {page.evaluate(lists)}")

    message = drop_file(page, glb, "Cutter.glb")
    print(f"dropped: {message}")
    options = page.evaluate("[...document.querySelectorAll('.alliance')[1]"
                            ".querySelectorAll('option')].map(o => o.value)")
    if "Cutter" not in options:
        raise Failure(f"the imported model is not in the lists: {message!r}, {options}")

    # Save race file: the race as the page made it, for the picture checks.
    saved = os.path.join(session.downloads, "Cutter.ast")
    click(page, "#added-list button.save")
    deadline = time.monotonic() + 60
    while not os.path.exists(saved) or glob.glob(saved + ".crdownload"):
        if time.monotonic() > deadline:
            raise Failure("Save race file downloaded no race file")
        time.sleep(0.25)
    inspect = subprocess.run([os.environ["WEB_FORGE"], "inspect", saved], capture_output=True, text=True)
    print(inspect.stdout)
    if inspect.returncode != 0 or not re.search(r"\bparts\s+1\b", inspect.stdout):
        raise Failure(f"the saved race file does not read: {inspect.stdout}{inspect.stderr}")

    # It flies, kept for the next visit.
    other = sorted(known)[0]
    flying = session.page(f"#alliance1={other}:5&alliance2=Cutter:6")
    wait_running(flying)
    shots(flying, session.downloads, [saved])


def case_offline(session):
    """After one visit the page starts without its server (the offline copy);
    Forget the offline copy takes that away again."""
    known = races()
    names = sorted(known)
    fragment = f"#alliance1={names[0]}:4&alliance2={names[1]}:4"
    first = session.page(fragment)
    first.wait_for("kestrionStats.offline === true", "the offline copy")
    wait_running(first)
    session.server.close()
    offline = session.page(fragment)
    wait_running(offline)
    shots(offline, session.downloads, [known[names[0]], known[names[1]]])
    # Forget: no worker and no kept copy left (the browser's own HTTP cache may
    # still hold the files for a while, so a reload is no test of it).
    click(offline, "#forget-offline")
    offline.wait_for("kestrionStats.offline === false", "the offline copy to be forgotten")
    left = offline.evaluate("(async () => [(await navigator.serviceWorker.getRegistrations()).length,"
                            " (await caches.keys()).filter(k => k.startsWith('kestrion-')).length])()")
    if left != [0, 0]:
        raise Failure(f"after Forget the offline copy {left[0]} workers and {left[1]} copies are left")


def case_soak(session):
    """Hours of battle, shortened: SOAK_MINUTES (default 1) with a change of
    fleets every SOAK_CHANGE seconds (default 15). Every SOAK_SAMPLE seconds
    the frames, JavaScript's heap (after a collection), the WebAssembly memory,
    the program's heap in use and the live textures. Frames must keep coming,
    the live textures stay what the fleets need, and after the first third of
    the run the memory stays flat."""
    minutes = float(os.environ.get("SOAK_MINUTES", "1"))
    change = float(os.environ.get("SOAK_CHANGE", "15"))
    sample = float(os.environ.get("SOAK_SAMPLE", "10"))
    names = sorted(races())
    choices = [[f"{names[i % 5]}:{3 + i % 4}", f"{names[(i + 1) % 5]}:2"] if i % 2 else
               [f"{names[i % 5]}:{4 + i % 3}"] for i in range(10)]
    def fragment(k):
        first, second = choices[k % len(choices)], choices[(k + 3) % len(choices)]
        return f"alliance1={','.join(first)}&alliance2={','.join(second)}", len(first) + len(second)
    text, entries = fragment(0)
    page = session.page("#" + text, before=COUNT_WEBGL)
    wait_running(page)
    base = page.evaluate("kestrionGL.textures") - 6 * entries  # the effects' textures
    began = time.monotonic()
    next_change, k, samples, last_frames = began + change, 0, [], 0
    print(f"{'s':>6} {'frames':>8} {'JS heap':>10} {'wasm':>10} {'in use':>10} {'textures':>8}  fleets")
    while time.monotonic() - began < minutes * 60:
        time.sleep(sample)
        if time.monotonic() >= next_change:
            k += 1
            text, entries = fragment(k)
            page.evaluate(f"location.hash = {json.dumps(text)}")
            next_change += change
            time.sleep(2)
        page.send("HeapProfiler.collectGarbage")
        js = page.send("Runtime.getHeapUsage")["usedSize"]
        memory = page.evaluate("kestrionMemory()")
        frames, live = page.evaluate("[kestrionStats.frames, kestrionGL.textures]")
        elapsed = time.monotonic() - began
        samples.append((elapsed, js, memory["wasm"], memory["heapInUse"]))
        print(f"{elapsed:6.0f} {frames:8d} {js / 1024:9.0f}K {memory['wasm'] / 1024:9.0f}K "
              f"{memory['heapInUse'] / 1024:9.0f}K {live:8d}  {text}", flush=True)
        if frames <= last_frames:
            raise Failure(f"no frame came in {sample:.0f} s (still {frames})")
        last_frames = frames
        if live > base + 6 * entries:
            raise Failure(f"{live} textures live; the fleets need {base + 6 * entries}")
    warm = [s for s in samples if s[0] <= minutes * 20]
    rest = [s for s in samples if s[0] > minutes * 20]
    if not warm or not rest:
        raise Failure("the soak was too short to judge")
    for index, what, slack in ((1, "JavaScript's heap", 2 << 20), (2, "the WebAssembly memory", 0),
                               (3, "the program's heap in use", 2 << 20)):
        before, after = max(s[index] for s in warm), max(s[index] for s in rest)
        print(f"{what}: at most {before / 1024:.0f}K in the first third, {after / 1024:.0f}K after")
        if after > before * 1.05 + slack:
            raise Failure(f"{what} grew from {before} to {after} bytes after the first third")


def fleet_list(names, alliance, per_side):
    """The races dealt out between the sides in turn, each side's ships spread
    over its races (as the frame-rate scripts do)."""
    own = names[alliance - 1::2]
    shares = [per_side // len(own) + (1 if i < per_side % len(own) else 0) for i in range(len(own))]
    return ",".join(f"{race}:{share}" for race, share in zip(own, shares) if share)


def case_calls(session):
    """The WebGL calls a frame stay few as the fleets grow: the layer draws in
    batches (at most 600 a frame at 2 x 20, 5000 at 2 x 200)."""
    names = sorted(races())
    for ships, bound, frames in ((20, 600, 40), (200, 5000, 4)):
        fragment = (f"#alliance1={fleet_list(names, 1, ships)}"
                    f"&alliance2={fleet_list(names, 2, ships)}")
        page = session.page(fragment, before=COUNT_WEBGL)
        wait_running(page, 2)
        count = "[kestrionStats.frames, kestrionGL.calls, kestrionGL.draws]"
        start = page.evaluate(count)
        page.wait_for(f"kestrionStats.frames >= {start[0] + frames}", f"{frames} frames at 2 x {ships}",
                      timeout=600)
        end = page.evaluate(count)
        done = end[0] - start[0]
        calls, draws = (end[1] - start[1]) / done, (end[2] - start[2]) / done
        print(f"2 x {ships}: {calls:.0f} WebGL calls a frame, {draws:.0f} of them draws "
              f"(over {done} frames)")
        page.send("Page.navigate", {"url": "about:blank"})
        if calls > bound:
            raise Failure(f"2 x {ships} makes {calls:.0f} WebGL calls a frame, over {bound}")


def case_textures(session):
    """Each change of fleets deletes the textures of the races no longer flown:
    the live textures stay what the fleets need."""
    names = sorted(races())
    choices = [f"alliance1={names[i % 5]}:3,{names[(i + 1) % 5]}:2&alliance2={names[(i + 2) % 5]}:4"
               for i in range(6)]
    page = session.page("#" + choices[0], before=COUNT_WEBGL)
    wait_running(page)
    first = page.evaluate("kestrionGL.textures")
    for choice in choices[1:]:
        frames = page.evaluate("kestrionStats.frames")
        page.evaluate(f"location.hash = {json.dumps(choice)}")
        page.wait_for(f"location.hash === {json.dumps('#' + choice)} && kestrionStats.frames > {frames + 5}",
                      f"the battle of {choice}")
        live = page.evaluate("kestrionGL.textures")
        print(f"{choice}: {live} live textures (the first fleets: {first})")
        if live > first:
            raise Failure(f"after the fleets {choice} {live} textures live, the first fleets had {first}")
    known = races()
    shots(page, session.downloads, [known[names[5 % 5]], known[names[6 % 5]], known[names[7 % 5]]])


def case_lost(session):
    """A lost WebGL context: the battle waits with a notice; given back, the
    same battle goes on by itself, its picture whole, and the notice goes."""
    known = races()
    names = sorted(known)
    # Fleets large enough that some ships are always near the centre after
    # the wait, when 5 a side may all be gone for a while.
    page = session.page(f"#alliance1={names[0]}:8&alliance2={names[1]}:8")
    wait_running(page)
    page.evaluate("window.loseContext = document.getElementById('canvas')"
                  ".getContext('webgl2').getExtension('WEBGL_lose_context'); loseContext.loseContext()")
    notice = page.wait_for("!document.getElementById('notice').hidden && "
                           "document.getElementById('notice-text').textContent", "the lost context's notice")
    print(f"lost: {notice}")
    stopped = page.evaluate("kestrionStats.frames")
    time.sleep(1)
    if page.evaluate("kestrionStats.frames") != stopped:
        raise Failure("frames were drawn while the context was lost")
    page.evaluate("loseContext.restoreContext()")
    page.wait_for(f"kestrionStats.restored === 1 && kestrionStats.frames > {stopped + 20}",
                  "the battle to go on after the context came back")
    if not page.evaluate("document.getElementById('notice').hidden"):
        raise Failure("the notice stays: " + text_of(page, "#notice-text"))
    shots(page, session.downloads, [known[names[0]], known[names[1]]], tries=12)


def canvas_shot(page, downloads, name, width, height, ratio=1):
    """The window at width x height CSS pixels of `ratio` device pixels each; the
    Screenshot button's picture of the canvas (as large in device pixels) as a
    PPM named `name`."""
    page.send("Emulation.setDeviceMetricsOverride",
              {"width": width, "height": height, "deviceScaleFactor": ratio, "mobile": False})
    page.wait_for(f"document.getElementById('canvas').width === {width * ratio} && "
                  f"document.getElementById('canvas').height === {height * ratio}",
                  f"the canvas at {width * ratio} x {height * ratio}")
    frames = page.evaluate("window.kestrionStats.frames")
    page.wait_for(f"window.kestrionStats.frames > {frames + 2}", "frames at the new size")
    png = screenshot_button(page, downloads, 120)
    ppm = os.path.join(WORK, name + ".ppm")
    # ImageMagick: the pure Python reader takes minutes over a 4K picture.
    subprocess.run(["convert", png, "-depth", "8", "ppm:" + ppm], check=True)
    return ppm


def inspect(*arguments):
    check = subprocess.run([INSPECT, *arguments], capture_output=True, text=True)
    print(check.stdout + check.stderr, end="")
    return check.returncode == 0


def case_sky(session):
    """With no ships the sky keeps its shape and shows no join in a wide window
    and an upright one (a phone held up), and at 3840 x 2160 device pixels (a
    4K screen at twice the CSS pixels) its small stars are points."""
    page = session.page("#alliance1=&alliance2=")
    wait_running(page)
    for name, width, height, ratio, options in [("wide", 1600, 900, 1, []),
                                                ("upright", 600, 900, 1, []),
                                                ("4k", 1920, 1080, 2, ["--max-star-height", "5"])]:
        ppm = canvas_shot(page, session.downloads, name, width, height, ratio)
        if not inspect("sky", ppm, *options):
            raise Failure(f"the sky in the {name} window; see {ppm}")


def make_beam_race(folder):
    """A grey box whose beams are pure green at both ends and whose missiles are
    red, so that green is beams alone."""
    obj = os.path.join(folder, "box.obj")
    with open(obj, "w") as file:
        file.write("mtllib box.mtl\nusemtl grey\nv -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\n"
                   "v -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\nf 1 4 3 2\nf 5 6 7 8\nf 1 2 6 5\n"
                   "f 2 3 7 6\nf 3 4 8 7\nf 4 1 5 8\n")
    with open(os.path.join(folder, "box.mtl"), "w") as file:
        file.write("newmtl grey\nKd 0.5 0.5 0.5\n")
    missile = os.path.join(folder, "missile.png")
    subprocess.run(["convert", "-size", "16x16", "xc:none", "-fill", "red", "-draw",
                    "circle 8,8 8,3", missile], check=True)
    race = os.path.join(folder, "Beamer.ast")
    subprocess.run([os.environ["WEB_FORGE"], "import", obj, "-o", race, "--name", "Beamer",
                    "--description", "Green beams", "--beam", "0,1,0,0,1,0", "--shield", "0,0,1",
                    "--missile", missile], check=True, capture_output=True)
    return race


def case_beams(session):
    """Beams keep their weight: 1 pixel at 800 x 600, wide lines at 3840 x 2160
    device pixels. The race of green beams is dropped onto the page."""
    race = make_beam_race(WORK)
    page = session.page()
    drop_file(page, race, "Beamer.ast")
    page.wait_for("[...document.querySelectorAll('option')].some(o => o.value === 'Beamer')",
                  "the beam race in the lists")
    page.evaluate("location.hash = 'alliance1=Beamer:8&alliance2=Beamer:8'")
    wait_running(page)
    for name, width, height, ratio, weight in [("thin", 800, 600, 1, "thin"),
                                               ("thick", 1920, 1080, 2, "thick")]:
        for attempt in range(12):
            ppm = canvas_shot(page, session.downloads, f"{name}{attempt}", width, height, ratio)
            check = subprocess.run([INSPECT, "beams", ppm, "0", "255", "0", weight],
                                   capture_output=True, text=True)
            print(check.stdout + check.stderr, end="")
            if check.returncode == 0:
                break
            if "no beams" not in check.stderr or attempt == 11:
                raise Failure(f"the beams at {width * ratio} x {height * ratio}; see {ppm}")


def console_line(session, text):
    """The next line the page wrote to the console that holds `text`."""
    def holds(params):
        return any(text in str(arg.get("value", "")) for arg in params.get("args", []))
    params = session.browser.wait_event("Runtime.consoleAPICalled", holds, timeout=60)
    return " ".join(str(arg.get("value", "")) for arg in params["args"])


def wait_ships(page, ships, what):
    page.wait_for(f"JSON.stringify(kestrionStats.ships) === {json.dumps(json.dumps(ships, separators=(',', ':')))}", what)


def lively_calls(name, value):
    return f"livelyPropertyListener({json.dumps(name)}, {json.dumps(value)})"


def engine_calls(name, value):
    return f"wallpaperPropertyListener.applyUserProperties({{{json.dumps(name)}: {{value: {json.dumps(value)}}}}})"


def case_wallpaper(session):
    """The wallpaper folder from file:// with no server: the battle alone on the
    page; both hosts' setting calls change the fleets (the ship counts follow,
    and the races' beams are in the picture); every bad value keeps the fleets
    and says why in the console; a pause stops frames and holds the battle's
    clock, and a resume goes on from where it stood."""
    known = races()
    page = session.wallpaper()
    shown = page.evaluate("[...document.querySelectorAll('#builder, #toolbar, #notice, #loading')]"
                          ".filter(e => getComputedStyle(e).display !== 'none').map(e => e.id)")
    if shown:
        raise Failure(f"the wallpaper shows {shown} over the battle")

    # Each host as it calls: Lively a setting at a time, Wallpaper Engine the changed ones.
    page.evaluate(lively_calls("alliance1", "Sathe:6") + ";" + lively_calls("alliance2", "Oruun:3,Thyl:3"))
    wait_ships(page, [6, 6], "Lively's fleets")
    shots(page, session.downloads, [known["Sathe"], known["Oruun"], known["Thyl"]])
    page.evaluate(engine_calls("alliance1", "Korrhan:4"))
    wait_ships(page, [4, 6], "Wallpaper Engine's fleets")
    shots(page, session.downloads, [known["Korrhan"], known["Oruun"], known["Thyl"]])

    # Bad values, by either host: the battle keeps its fleets, the console says why.
    address = page.evaluate("location.hash")
    for calls, name, value, reason in [(lively_calls, "alliance1", "Nobody:5", "unknown race"),
                                       (engine_calls, "alliance2", "Thyl:5000", "not a number from 1 to 500"),
                                       (lively_calls, "alliance2", "", "the text is empty"),
                                       (engine_calls, "alliance1", 12, "not a number"),
                                       (lively_calls, "fps", 3, "too few")]:
        frames = page.evaluate("kestrionStats.frames")
        page.evaluate(calls(name, value))
        line = console_line(session, reason)
        print(f"{name}={value!r}: {line}")
        page.wait_for(f"kestrionStats.frames > {frames + 3}", "frames after a bad value")
        if page.evaluate("[location.hash, JSON.stringify(kestrionStats.ships)]") != [address, "[4,6]"]:
            raise Failure(f"{name}={value!r} changed the fleets: {page.evaluate('location.hash')}")

    # Paused by Lively's playback call, then by Wallpaper Engine's.
    for pause, resume in [("livelyWallpaperPlaybackChanged('{\"IsPaused\":true}')",
                           "livelyWallpaperPlaybackChanged('{\"IsPaused\":false}')"),
                          ("wallpaperPropertyListener.setPaused(true)",
                           "wallpaperPropertyListener.setPaused(false)")]:
        page.evaluate(pause)
        time.sleep(0.5)  # a frame already asked for may still come
        frames, clock = page.evaluate("[kestrionStats.frames, kestrionStats.clockMs]")
        time.sleep(3)
        if page.evaluate("kestrionStats.frames") != frames:
            raise Failure(f"{pause}: frames came while paused")
        page.evaluate(resume)
        page.wait_for(f"kestrionStats.frames > {frames + 5}", "frames after the resume")
        after = page.evaluate("kestrionStats.clockMs")
        print(f"{pause}: the battle's clock {clock} ms before, {after} ms five frames after the resume")
        if not 0 < after - clock < 2000:
            raise Failure(f"the battle's clock went from {clock} to {after} ms over a 3 s pause")


def case_wallpaper_pace(session):
    """The frame-rate cap from either host holds the frames at or under it; the
    animation frames here are not held to a display's rate, so uncapped they
    come faster."""
    page = session.wallpaper("#alliance1=&alliance2=")

    def rate(seconds=6):
        start = page.evaluate("[kestrionStats.frames, performance.now()]")
        time.sleep(seconds)
        end = page.evaluate("[kestrionStats.frames, performance.now()]")
        return (end[0] - start[0]) * 1000 / (end[1] - start[1])

    free = rate()
    page.evaluate("wallpaperPropertyListener.applyGeneralProperties({fps: 30})")
    engine = rate()
    page.evaluate(lively_calls("fps", 20))
    lively = rate()
    page.evaluate("wallpaperPropertyListener.applyGeneralProperties({fps: 0});" + lively_calls("fps", 61))
    again = rate()
    print(f"frames a second: uncapped {free:.1f}, Wallpaper Engine's 30 {engine:.1f}, "
          f"Lively's 20 {lively:.1f}, uncapped again {again:.1f}")
    if engine > 31 or lively > 21:
        raise Failure(f"the caps let {engine:.1f} and {lively:.1f} frames a second through")
    if free <= 31 or again <= 31:
        print("(uncapped the page drew no more than 31 frames a second here: the caps were not tested hard)")


def check_fields(name, found, expected):
    """Each field of `expected` in `found` with that value (or of that type)."""
    for field, value in expected.items():
        have = found.get(field)
        if isinstance(value, type) and isinstance(have, value):
            continue
        if have != value:
            raise Failure(f"{name}: {field} is {have!r}, not {value!r}")


def case_wallpaper_package(session):
    """The zip scripts/package writes: the hosts' JSON files at its top hold the
    fields each host reads, the files they name are in it and are pictures of
    the kind asked for, and its page, unpacked, runs from file:// and takes the
    defaults of its own settings files."""
    zips = glob.glob(os.path.join(os.environ["WEB_PACKAGES"], "Kestrion-*-wallpaper.zip"))
    if len(zips) != 1:
        raise Failure(f"not one wallpaper zip in {os.environ['WEB_PACKAGES']}: {zips}; run scripts/package")
    version = os.path.basename(zips[0])[len("Kestrion-"):-len("-wallpaper.zip")]
    folder = os.path.join(WORK, "Wallpaper folder")  # a blank in the path, as on many desktops
    with zipfile.ZipFile(zips[0]) as archive:
        archive.extractall(folder)
        names = set(archive.namelist())

    def read(name):
        if name not in names:
            raise Failure(f"{name} is not at the top of {zips[0]}")
        with open(os.path.join(folder, name), encoding="utf-8") as file:
            return json.load(file)

    def picture(name, kinds):
        with open(os.path.join(folder, name), "rb") as file:
            head = file.read(8)
        if not any(head.startswith(magic) for magic in kinds):
            raise Failure(f"{name} is not a {' or '.join(str(k) for k in kinds)} picture")

    lively = read("LivelyInfo.json")
    check_fields("LivelyInfo.json", lively, {
        "AppVersion": str, "Title": f"Kestrion {version}", "Desc": str, "Author": str, "License": "MIT",
        "Contact": str, "Type": 1, "FileName": "index.html", "Preview": "preview.gif",
        "Thumbnail": "preview.png", "Arguments": "--pause-event true"})
    engine = read("project.json")
    check_fields("project.json", engine, {"type": "web", "file": "index.html", "title": f"Kestrion {version}",
                                          "preview": "preview.gif"})
    picture("preview.gif", [b"GIF89a", b"GIF87a"])
    picture("preview.png", [b"\x89PNG\r\n\x1a\n"])
    lively_settings = read("LivelyProperties.json")
    engine_settings = engine["general"]["properties"]
    kinds = {"alliance1": ("textbox", "textinput"), "alliance2": ("textbox", "textinput"),
             "fps": ("slider", "slider"), "smooth": ("checkbox", "bool")}
    for name, (lively_kind, engine_kind) in kinds.items():
        check_fields(f"LivelyProperties.json {name}", lively_settings.get(name, {}), {"type": lively_kind})
        check_fields(f"project.json {name}", engine_settings.get(name, {}), {"type": engine_kind})
        if lively_settings[name]["value"] != engine_settings[name]["value"]:
            raise Failure(f"the hosts' defaults of {name} differ")
    for settings in (lively_settings["fps"], engine_settings["fps"]):
        check_fields("the frame-rate slider", settings, {"min": 15, "max": 61})

    # Unpacked, from the disk: the hosts' defaults, given as Lively gives them, fly.
    page = session.page(url="file://" + os.path.join(folder, "index.html"))
    wait_running(page)
    for name, setting in lively_settings.items():
        page.evaluate(lively_calls(name, setting["value"]))
    sides = [sum(int(entry.split(":")[1]) for entry in lively_settings[f"alliance{k}"]["value"].split(","))
             for k in (1, 2)]
    wait_ships(page, sides, "the defaults of LivelyProperties.json")
    print(f"{zips[0]}: the page runs from {folder} with {page.evaluate('location.hash')}")


def main():
    case = sys.argv[1] if len(sys.argv) > 1 else ""
    step = globals().get("case_" + case)
    if not step:
        print("usage: page_cases.py {battle|address|races|kept|models|offline|calls|textures|lost|soak}", file=sys.stderr)

        print(f"usage: page_cases.py {{battle|address|races|sky|beams}}", file=sys.stderr)
        return 2
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    wallpaper = case.startswith("wallpaper")
    for needed in [os.path.join(SITE, "index.html"), os.path.join(SITE, "kestrion.wasm"), EFFECTS,
                   *([os.path.join(WALLPAPER, "packed.js")] if wallpaper else [])]:
        if not os.path.exists(needed):
            print(f"{needed} is missing; run scripts/build web", file=sys.stderr)
            return 1
    if not os.access(CHROMIUM, os.X_OK):
        print(f"{CHROMIUM} is missing; install chromium-headless-shell (scripts/setup)",
              file=sys.stderr)
        return 1
    session = Session(serve=not wallpaper,
                      extra=("--disable-gpu-vsync", "--disable-frame-rate-limit") if wallpaper else ())
    # ctest ends a test that overruns with SIGTERM: clean up as on any failure.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    try:
        step(session)
    except Failure as failure:
        print(f"FAIL {case}: {failure}", file=sys.stderr)
        return 1
    finally:
        session.close()
    print(f"PASS {case}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
