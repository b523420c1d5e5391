#!/usr/bin/env python3
"""The wallpaper folder from the web page's folder: the page in its wallpaper
mode, with the program and the data set packed into packed.js (each file
gzipped, in base64), since a page opened from the disk (file://) may load
scripts but not fetch files. The hosts' JSON files are copied with the version.
Usage: wallpaper.py SITE OUT VERSION TEMPLATES"""
import base64
import gzip
import json
import os
import shutil
import sys


def packed(path):
    with open(path, "rb") as file:
        return base64.b64encode(gzip.compress(file.read(), 9, mtime=0)).decode("ascii")


def main():
    site, out, version, templates = sys.argv[1:5]
    os.makedirs(out, exist_ok=True)
    for name in ("page.js", "page.css", "kestrion.js"):
        shutil.copyfile(os.path.join(site, name), os.path.join(out, name))

    with open(os.path.join(site, "index.html"), encoding="utf-8") as file:
        page = file.read()
    marks = ('<html lang="en">', '<script src="kestrion.js"></script>')
    if any(page.count(mark) != 1 for mark in marks):
        sys.exit(f"wallpaper.py: {site}/index.html no longer has {marks} once each")
    page = page.replace(marks[0], '<html lang="en" class="wallpaper">')
    page = page.replace(marks[1], '<script src="packed.js"></script>\n' + marks[1])
    with open(os.path.join(out, "index.html"), "w", encoding="utf-8") as file:
        file.write(page)

    with open(os.path.join(site, "data", "files.json"), encoding="utf-8") as file:
        listing = json.load(file)
    data = {"wasm": packed(os.path.join(site, "kestrion.wasm")),
            "files": [{"name": entry["name"], "gzip": packed(os.path.join(site, "data", entry["name"]))}
                      for entry in listing["files"]]}
    with open(os.path.join(out, "packed.js"), "w", encoding="ascii") as file:
        file.write("// The program and the data set, gzipped, in base64.\n")
        file.write("window.kestrionPacked = " + json.dumps(data, separators=(",", ":")) + ";\n")

    for name in ("LivelyInfo.json", "LivelyProperties.json", "project.json"):
        with open(os.path.join(templates, name), encoding="utf-8") as file:
            text = file.read().replace("@PROJECT_VERSION@", version)
        json.loads(text)  # a broken template fails the build, not the host
        with open(os.path.join(out, name), "w", encoding="utf-8") as file:
            file.write(text)


if __name__ == "__main__":
    main()
