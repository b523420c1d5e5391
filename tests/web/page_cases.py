#!/usr/bin/env python3
"""The web page in headless Chromium (SwiftShader's WebGL 2), one case a run:
  page_cases.py CASE      (battle, address, races)
Environment: WEB_SITE (build/web), E2E_INSPECT (kestrion-e2e-inspect),
WEB_FORGE (kestrion-forge), WEB_WORK (a scratch folder for this case)."""
import glob
import json
import os
import shutil
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from devtools import CHROMIUM, Browser, Failure, Page, Server, png_to_ppm  # noqa: E402

SITE = os.environ["WEB_SITE"]
INSPECT = os.environ["E2E_INSPECT"]
WORK = os.environ["WEB_WORK"]
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


def shots(page, downloads, race_files, tries=8):
    """Screenshot button until a picture passes the picture checks (tiles, ships,
    beams in the races' colours); every picture must be a PNG of the canvas's
    size. Beams live a moment and explosions may cover a tile, so it may take a
    few pictures."""
    for attempt in range(tries):
        before = set(glob.glob(os.path.join(downloads, "*.png")))
        count = page.evaluate("window.kestrionStats.shots")
        click(page, "#screenshot")
        page.wait_for(f"window.kestrionStats.shots > {count}", "the screenshot button's picture")
        deadline = time.monotonic() + 60
        while True:
            new = [p for p in set(glob.glob(os.path.join(downloads, "*.png"))) - before
                   if not glob.glob(p + ".crdownload")]
            if new:
                break
            if time.monotonic() > deadline:
                raise Failure("the screenshot button downloaded no PNG file")
            time.sleep(0.25)
        png = new[0]
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
    def __init__(self):
        self.server = Server(SITE)
        self.browser = Browser(folder=WORK)  # a killed run's profile goes with the next run
        self.downloads = os.path.join(WORK, "downloads")
        os.makedirs(self.downloads, exist_ok=True)
        self.browser.send("Browser.setDownloadBehavior",
                          {"behavior": "allow", "downloadPath": self.downloads})

    def page(self, fragment=""):
        page = Page(self.browser, self.server.url("index.html") + fragment)
        page.wait_for("window.kestrionStats && window.kestrionStats.state !== 'loading'",
                      "the page to load the data set")
        if state(page) == "failed":
            raise Failure("the page could not load: " + text_of(page, "#loading-text"))
        return page

    def close(self):
        self.browser.close()
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
        user_click(page, "#fullscreen")
        page.wait_for("!!document.fullscreenElement", "full screen", 60)
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
    page = session.page(f"#alliance1={one}:3,{two}:2&alliance2={three}:4")
    wait_running(page)
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


def case_races(session):
    """A dropped valid race joins the lists and flies; a damaged one shows its
    reader's message and changes nothing."""
    known = races()
    race = make_race(WORK)
    damaged = os.path.join(WORK, "Damaged.ast")
    with open(race, "rb") as file:
        data = file.read()
    with open(damaged, "wb") as file:
        file.write(data[: len(data) // 2])

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
    with open(race, "rb") as file:
        payload = json.dumps(list(file.read()))
    page.evaluate("document.getElementById('notice').hidden = true;"
                  "(() => { const data = new DataTransfer();"
                  f"data.items.add(new File([new Uint8Array({payload})], 'Wedge.ast'));"
                  "document.dispatchEvent(new DragEvent('drop', {dataTransfer: data, bubbles: true}));"
                  "})()")
    message = page.wait_for("!document.getElementById('notice').hidden && "
                            "document.getElementById('notice-text').textContent",
                            "the dropped race's message")
    print(f"dropped: {message}")
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
    before = set(glob.glob(os.path.join(downloads, "*.png")))
    count = page.evaluate("window.kestrionStats.shots")
    click(page, "#screenshot")
    page.wait_for(f"window.kestrionStats.shots > {count}", "the screenshot button's picture")
    deadline = time.monotonic() + 120
    while True:
        new = [p for p in set(glob.glob(os.path.join(downloads, "*.png"))) - before
               if not glob.glob(p + ".crdownload")]
        if new:
            break
        if time.monotonic() > deadline:
            raise Failure("the screenshot button downloaded no PNG file")
        time.sleep(0.25)
    ppm = os.path.join(WORK, name + ".ppm")
    # ImageMagick: the pure Python reader takes minutes over a 4K picture.
    subprocess.run(["convert", new[0], "-depth", "8", "ppm:" + ppm], check=True)
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
    with open(race, "rb") as file:
        payload = json.dumps(list(file.read()))
    page.evaluate("(() => { const data = new DataTransfer();"
                  f"data.items.add(new File([new Uint8Array({payload})], 'Beamer.ast'));"
                  "document.dispatchEvent(new DragEvent('drop', {dataTransfer: data, bubbles: true}));"
                  "})()")
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


def main():
    case = sys.argv[1] if len(sys.argv) > 1 else ""
    step = globals().get("case_" + case)
    if not step:
        print(f"usage: page_cases.py {{battle|address|races|sky|beams}}", file=sys.stderr)
        return 2
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    for needed in [os.path.join(SITE, "index.html"), os.path.join(SITE, "kestrion.wasm"), EFFECTS]:
        if not os.path.exists(needed):
            print(f"{needed} is missing; run scripts/build web", file=sys.stderr)
            return 1
    if not os.access(CHROMIUM, os.X_OK):
        print(f"{CHROMIUM} is missing; install chromium-headless-shell (scripts/setup)",
              file=sys.stderr)
        return 1
    session = Session()
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
