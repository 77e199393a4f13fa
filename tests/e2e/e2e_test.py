#!/usr/bin/python3
"""Starts the real program under Xvfb with its own home, drives it with xdotool
and checks what it leaves behind: the run log, the catalogue file, the hive.

Usage: e2e_test.py MOVARIUM_EXECUTABLE ARTIFACTS_FOLDER PRIVATE_FILTERS_FOLDER
"""
import json
import os
import re
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time

from e2e_support import click, fail, geometry, log_lines, start_program, start_xvfb, wait_for, window, xdotool

EXE = sys.argv[1]
ARTIFACTS = sys.argv[2]
PRIVATE_FILTERS = os.path.abspath(sys.argv[3])
PROMPT = "Saving the preferences of Movarium"
READER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "export", "read_workbook.py")

# Sizes of the main window at 96 dots per inch, as it lays itself out.
DETAILS_WIDTH, BAR_HEIGHT, STATUS_HEIGHT = 272, 48, 19
SCAN_WIDTH, SCAN_HEIGHT, GRID_TOP = 688, 200, 310


def screenshot(env, win, name):
    path = os.path.join(ARTIFACTS, name)
    subprocess.run(["import", "-window", win, path], env=env, timeout=30, check=False)
    return path


def colours(path):
    """The colours of a picture as a set of '#RRGGBB' texts."""
    out = subprocess.run(["convert", path, "-format", "%c", "histogram:info:-"],
                         capture_output=True, text=True, timeout=60).stdout
    return {word[:7].upper() for line in out.splitlines() for word in line.split() if word.startswith("#")}


def page_box(path):
    """The page shown over the window: the box of what is not the panel's colour,
    the panel's colour being that of the picture's top-left corner. Answers
    (left, top, width, height, picture width, picture height)."""
    panel = subprocess.run(["convert", path, "-format", "%[pixel:p{2,2}]", "info:"],
                           capture_output=True, text=True, timeout=60).stdout.strip()
    out = subprocess.run(["convert", path, "-fill", "white", "-opaque", panel, "-fill", "black", "+opaque", "white",
                          "-trim", "-format", "%w %h %X %Y %W %H", "info:"],
                         capture_output=True, text=True, timeout=60).stdout.split()
    w, h, x, y, W, H = (int(v) for v in out)
    return x, y, w, h, W, H


def check_centred(env, win, name):
    # The pointer rests on the panel's corner, so that no hint covers the page, then
    # goes back to the middle of the screen, where the keys' window is.
    xdotool(env, "mousemove", "--window", win, "3", "3")
    time.sleep(0.8)
    x, y, w, h, W, H = page_box(screenshot(env, win, name))
    xdotool(env, "mousemove", "640", "512")
    if x <= 0 or y <= 0 or x + w >= W or y + h >= H:
        fail("%s: the page is cut off: %dx%d at %d,%d in %dx%d" % (name, w, h, x, y, W, H))
    if abs(x - (W - w) // 2) > 2 or abs(y - (H - h) // 2) > 2:
        shown = []
        for other in xdotool(env, "search", "--onlyvisible", "--name", ".").split():
            shown.append(xdotool(env, "getwindowname", other) + " "
                         + xdotool(env, "getwindowgeometry", other).replace("\n", " "))
            screenshot(env, other, "window-%s.png" % other)
        fail("%s: the page is not centred: %dx%d at %d,%d in %dx%d; windows: %r" % (name, w, h, x, y, W, H, shown))
    return x, y


def make_clip(path, extra):
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25",
                    "-t", "1", *extra, path], check=True, timeout=120)


def rows(db, sql):
    with sqlite3.connect(db) as c:
        return c.execute(sql).fetchall()


def finish(process):
    try:
        out, _ = process.communicate(timeout=30)
    except subprocess.TimeoutExpired:
        stacks = subprocess.run(["gdb", "-p", str(process.pid), "-batch", "-ex", "thread apply all bt 12"],
                                capture_output=True, text=True, timeout=120).stdout
        with open(os.path.join(ARTIFACTS, "hung-stacks.txt"), "w") as f:
            f.write(stacks)
        process.kill()
        fail("the program did not end after its close (stacks in hung-stacks.txt)")
    sys.stdout.write(out.decode(errors="replace"))
    if process.returncode != 0:
        fail("the program ended with code %d" % process.returncode)


def main():
    shutil.rmtree(ARTIFACTS, ignore_errors=True)
    os.makedirs(ARTIFACTS)
    root = tempfile.mkdtemp(prefix="movarium-e2e-")
    home = os.path.join(root, "home")
    videos = os.path.join(home, "Videos")
    os.makedirs(os.path.join(home, "Documents"))
    os.makedirs(videos)
    # The private filter set where a fresh installation keeps it.
    os.makedirs(os.path.join(root, "common", "Tessaly"))
    os.symlink(PRIVATE_FILTERS, os.path.join(root, "common", "Tessaly", "Private Filters"))
    make_clip(os.path.join(videos, "first.mp4"), ["-f", "lavfi", "-i", "sine", "-shortest", "-c:v", "libx264",
                                                  "-preset", "ultrafast", "-c:a", "aac"])
    make_clip(os.path.join(videos, "second.mov"), ["-c:v", "libx264", "-preset", "ultrafast"])
    make_clip(os.path.join(videos, "ignored.mkv"), ["-c:v", "libx264", "-preset", "ultrafast"])

    xvfb, display = start_xvfb()
    env = dict(os.environ, DISPLAY=":%d" % display, HOME=home, QT_QPA_PLATFORM="xcb",
               XDG_CONFIG_HOME=os.path.join(root, "config"), XDG_DATA_HOME=os.path.join(root, "data"),
               XDG_DATA_DIRS=os.path.join(root, "common"), XDG_RUNTIME_DIR=root)
    env.pop("XDG_DOCUMENTS_DIR", None)
    db = os.path.join(root, "data", "Movarium", "Movarium.db3")
    hive = os.path.join(root, "config", "Tessaly", "user.reg")
    # Portable mode writes its ini file next to the program: a copy of its own.
    exe = os.path.join(root, "bin", "movarium")
    os.makedirs(os.path.dirname(exe))
    shutil.copy2(EXE, exe)
    ini = os.path.join(root, "bin", "Movarium.ini")
    try:
        wait_for("the X server", lambda: os.path.exists("/tmp/.X11-unix/X%d" % display), 10)

        # First start: the catalogue is created and the welcome screen shown.
        process, win = start_program(exe, env, home)
        lines = log_lines(home)
        first = lines.index("*** File %s does not exists ***" % db)
        expected = ["Close Database", "Trying to Open Database " + db,
                    "*** Directory %s/ does not exist ***" % os.path.dirname(db), "... Directories OK",
                    "... Database created and assigned", "DrivesTable added", "VideoFichiers added",
                    "wideupper function has been created"]
        if lines[first + 1:first + 9] != expected:
            fail("the catalogue lines of the run log: %r" % lines[first:first + 9])
        if "#FFFBF0" not in colours(screenshot(env, win, "1-welcome.png")):
            fail("no welcome screen (cream message area) on the first start")
        width0, height0 = geometry(env, win)

        # The options page (F10) and the about page (F11) sit in the middle of the window,
        # whole, also after the window is resized.
        for key, name in [("F10", "options"), ("F11", "about")]:
            xdotool(env, "key", "--window", win, key)
            time.sleep(0.8)
            check_centred(env, win, "1-%s.png" % name)
            xdotool(env, "windowmove", win, "0", "0")  # wholly on the screen, so the picture is whole
            xdotool(env, "windowsize", win, "1100", "720")
            time.sleep(0.8)
            check_centred(env, win, "1-%s-resized.png" % name)
            xdotool(env, "windowsize", win, *[str(v) for v in (width0, height0)])
            time.sleep(0.8)
            xdotool(env, "key", "--window", win, key)
            time.sleep(0.5)

        # Scan the videos folder, the default scan folder.
        width, height = geometry(env, win)
        view_left = DETAILS_WIDTH + 10
        view_width = width - DETAILS_WIDTH - 12
        scan_left = view_left + (view_width - SCAN_WIDTH) // 2
        scan_top = height - STATUS_HEIGHT - SCAN_HEIGHT
        click(env, win, scan_left + 290, scan_top + 177)
        listed = wait_for("two catalogued clips",
                          lambda: len(rows(db, "SELECT ListName FROM VideoFichiers WHERE Listed=1 AND Width=320")) == 2)
        names = sorted(r[0] for r in rows(db, "SELECT ListName FROM VideoFichiers"))
        if not listed or names != ["first.mp4", "second.mov"]:
            fail("the catalogue holds %r" % names)
        metadata = rows(db, "SELECT Width, Height, Duration, AudioChannels FROM VideoFichiers WHERE ListName='first.mp4'")
        if len(metadata) != 1 or metadata[0][:2] != (320, 240) or not 900 <= metadata[0][2] <= 1300 \
                or metadata[0][3] < 1:
            fail("the metadata of first.mp4: %r" % metadata)
        time.sleep(1.0)

        # Select the first tile: its details appear, values in navy.
        click(env, win, 40, GRID_TOP + 10)
        time.sleep(1.5)
        if "#000080" not in colours(screenshot(env, win, "2-selected.png")):
            fail("no details shown for the selected tile")

        # Export with Alt+E: the list goes to the documents folder, the default export folder,
        # as an .xls file (the default format) converted from the workbook.
        documents = os.path.join(home, "Documents")
        xdotool(env, "key", "--window", win, "alt+e")
        exported = wait_for("the exported file", lambda: [name for name in os.listdir(documents)
                                                          if name.startswith("MovariumExport_")], 60)
        if len(exported) != 1 or not re.fullmatch(r"MovariumExport_\d{8}_\d{6}\.xls", exported[0]):
            fail("the documents folder holds %r" % sorted(os.listdir(documents)))
        book = json.loads(subprocess.run(["/usr/bin/python3", READER, os.path.join(documents, exported[0])],
                                         capture_output=True, text=True, timeout=60, check=True).stdout)
        sheet = book["sheets"][0]
        values = {ref: cell["value"] for ref, cell in sheet["cells"].items() if cell["value"] is not None}
        if sheet["name"] != "Videos" or {values.get("A4"), values.get("A5")} != {"first", "second"} \
                or not values.get("A7", "").startswith("2 Files - Duation :"):
            fail("the exported sheet: %r" % sheet)
        if any(name.startswith(".") for name in os.listdir(documents)):
            fail("the export left a temporary file: %r" % os.listdir(documents))

        # Close: the program asks where to save; Normal keeps the settings in the hive.
        xdotool(env, "key", "--window", win, "alt+F4")
        prompt = wait_for("the preferences prompt", lambda: window(env, PROMPT))
        screenshot(env, prompt, "3-prompt.png")
        click(env, prompt, 89, 329)  # "Normal"
        finish(process)
        with open(hive, encoding="utf-8") as f:
            saved = f.read()
        for expected_line in ["[HKEY_CURRENT_USER\\Software\\Tessaly\\Movarium\\MainForm]",
                              '"Sort"="Folder,CreationDate ASC"', '"ListeLeft"=dword:00000001',
                              '"ScanFolder"="%s"' % videos]:
            if expected_line not in saved:
                fail("the hive lacks " + expected_line)
        if not log_lines(home)[-2].startswith("Terminated at "):
            fail("the run log was not ended")

        # Second start: normal mode, the same catalogue and list.
        process, win = start_program(exe, env, home)
        lines = log_lines(home)
        if "... File %s exists" % db not in lines:
            fail("the second start did not find the catalogue")
        screenshot(env, win, "4-second-start.png")
        if len(rows(db, "SELECT Numero FROM VideoFichiers WHERE Listed=1")) != 2:
            fail("the list did not survive the restart")
        xdotool(env, "key", "--window", win, "alt+F4")
        time.sleep(1.0)
        if window(env, PROMPT):
            fail("the second close asked again where to save")
        finish(process)
        if os.path.exists(ini):
            fail("normal mode wrote an ini file")

        # Third start, in normal mode: choosing portable mode on the options page deletes
        # the settings from the hive at once.
        process, win = start_program(exe, env, home)
        xdotool(env, "key", "--window", win, "F10")
        time.sleep(0.8)
        left, top = check_centred(env, win, "5-options.png")
        click(env, win, left + 29, top + 113)  # "Portable Mode (USB key)"
        time.sleep(1.0)
        with open(hive, encoding="utf-8") as f:
            if "Software\\Tessaly\\Movarium" in f.read():
                fail("choosing portable mode left the settings in the hive")
        xdotool(env, "key", "--window", win, "F10")
        time.sleep(0.5)

        # A macro typed on one line runs; then the list is emptied and Alt+F4 still ends the program.
        xdotool(env, "key", "--window", win, "F1")
        time.sleep(0.8)
        xdotool(env, "key", "--window", win, "F1")
        time.sleep(0.8)
        xdotool(env, "key", "--window", win, "F12")
        script = wait_for("the script window", lambda: window(env, "Script"))
        time.sleep(0.8)
        click(env, script, 200, 200)
        xdotool(env, "windowfocus", "--sync", script)
        xdotool(env, "type", "--delay", "40", "begin setListeLeft(False); Mp4(False); end.")
        click(env, script, 222, 21)  # Run
        time.sleep(1.0)
        screenshot(env, script, "6-macro.png")
        xdotool(env, "key", "ctrl+shift+x")
        wait_for("the emptied list", lambda: rows(db, "SELECT count(*) FROM VideoFichiers WHERE Listed=1")[0][0] == 0, 10)
        xdotool(env, "windowfocus", "--sync", win)
        time.sleep(0.5)
        screenshot(env, win, "7-after-macro.png")
        xdotool(env, "key", "--window", win, "alt+F4")
        wait_for("the end of the program after Alt+F4", lambda: process.poll() is not None, 30)
        finish(process)
        with open(ini, encoding="utf-8", errors="replace") as f:
            settings = f.read()
        for expected_line in ["ListeLeft=False", "Mp4=False"]:
            if expected_line not in settings:
                fail("after the macro the ini file lacks " + expected_line)
        with open(hive, encoding="utf-8") as f:
            if "Software\\Tessaly\\Movarium" in f.read():
                fail("the portable close wrote the settings into the hive")
        print("1 passed, 0 failed")
    finally:
        xvfb.terminate()
        xvfb.wait(timeout=10)
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
