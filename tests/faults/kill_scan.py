#!/usr/bin/python3
"""Starts the real program under Xvfb, lets it scan a tree of small real videos
and kills it with SIGKILL in the middle of the scan, three times, at
different points; then lets one more start scan the tree to its end.

After each kill the catalogue must pass SQLite's integrity check, hold every
row that was stored before the kill (as read just before it) unchanged, and
each row must say what its file is. The last scan must store every file once.

Usage: kill_scan.py MOVARIUM_EXECUTABLE ARTIFACTS_FOLDER PRIVATE_FILTERS_FOLDER
"""
import os
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from e2e_support import click, fail, geometry, start_program, start_xvfb, wait_for, window, xdotool  # noqa: E402

EXE = sys.argv[1]
ARTIFACTS = sys.argv[2]
PRIVATE_FILTERS = os.path.abspath(sys.argv[3])
PROMPT = "Saving the preferences of Movarium"
DETAILS_WIDTH, STATUS_HEIGHT, SCAN_WIDTH, SCAN_HEIGHT = 272, 19, 688, 200
FOLDERS, PER_FOLDER = 12, 50
# The new rows after which each start is killed.
KILLS = [20, 50, 100]
# Columns that a later scan does not change in a stored row.
KEPT = "Numero, DateCatalogue, Caption, ListName, Extension, Folder, Size, FileModifyDate, Filename, " \
       "Width, Height, Duration, Exif"


def query(db, sql):
    with sqlite3.connect("file:%s?mode=ro" % db, uri=True, timeout=10) as c:
        return c.execute(sql).fetchall()


def start(exe, env, home):
    process, win = start_program(exe, env, home)
    time.sleep(1.0)
    return process, win


def click_scan(env, win):
    width, height = geometry(env, win)
    view_left = DETAILS_WIDTH + 10
    view_width = width - DETAILS_WIDTH - 12
    scan_left = view_left + (view_width - SCAN_WIDTH) // 2
    scan_top = height - STATUS_HEIGHT - SCAN_HEIGHT
    click(env, win, scan_left + 290, scan_top + 177)


def check_catalogue(db, files, kept_rows, moment):
    """Whole, holding the rows read before, each row true to its file, no file twice."""
    integrity = query(db, "PRAGMA integrity_check")
    if integrity != [("ok",)]:
        fail("%s: the integrity check says %r" % (moment, integrity))
    rows = {row[0]: row for row in query(db, "SELECT %s FROM VideoFichiers" % KEPT)}
    lost = [row for row in kept_rows if rows.get(row[0]) != row]
    if lost:
        fail("%s: %d rows stored before are lost or changed, the first: %r" % (moment, len(lost), lost[0][:9]))
    for number, caption, name, size, width, height, duration, path in query(
            db, "SELECT Numero, Caption, ListName, Size, Width, Height, Duration, Filename FROM VideoFichiers"):
        if path not in files or os.path.getsize(path) != size or os.path.basename(path) != name \
                or (width, height) != (320, 240) or not 700 <= duration <= 1300:
            fail("%s: row %d does not say what its file is: %r" % (moment, number, (name, size, width, height,
                                                                                   duration, path)))
    doubles = query(db, "SELECT Filename, count(*) FROM VideoFichiers GROUP BY Filename HAVING count(*) > 1") \
        + query(db, "SELECT Caption, count(*) FROM VideoFichiers GROUP BY Caption HAVING count(*) > 1")
    if doubles:
        fail("%s: files stored twice: %r" % (moment, doubles[:3]))
    return len(rows)


def kill_during_scan(exe, env, home, db, files, kept_rows, more):
    """Starts, scans, and kills the program once `more` new rows are stored. Answers the rows read just before."""
    process, win = start(exe, env, home)
    known = len(kept_rows)
    click_scan(env, win)
    end = time.time() + 120
    while query(db, "SELECT count(*) FROM VideoFichiers")[0][0] < known + more:
        if time.time() > end or process.poll() is not None:
            fail("no %d more rows" % more)
        time.sleep(0.01)
    snapshot = query(db, "SELECT %s FROM VideoFichiers" % KEPT)
    process.send_signal(signal.SIGKILL)
    process.communicate(timeout=30)
    if process.returncode != -signal.SIGKILL:
        fail("the program ended with %r before it was killed" % process.returncode)
    if len(snapshot) >= len(files):
        fail("the scan had ended before the kill: use more files")
    stored = check_catalogue(db, files, snapshot, "after the kill at %d rows" % len(snapshot))
    print("killed with %d rows read just before, %d stored" % (len(snapshot), stored), flush=True)
    return snapshot


def main():
    shutil.rmtree(ARTIFACTS, ignore_errors=True)
    os.makedirs(ARTIFACTS)
    root = tempfile.mkdtemp(prefix="movarium-kill-scan-")
    home = os.path.join(root, "home")
    os.makedirs(os.path.join(home, "Documents"))
    os.makedirs(os.path.join(root, "common", "Tessaly"))
    os.symlink(PRIVATE_FILTERS, os.path.join(root, "common", "Tessaly", "Private Filters"))
    clip = os.path.join(root, "clip.mp4")
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-t", "1",
                    "-c:v", "libx264", "-preset", "ultrafast", clip], check=True, timeout=120)
    files = set()
    for f in range(FOLDERS):
        folder = os.path.join(home, "Videos", "d%02d" % f)
        os.makedirs(folder)
        for i in range(PER_FOLDER):
            path = os.path.join(folder, "clip%03d.mp4" % i)
            shutil.copy(clip, path)
            files.add(path)

    xvfb, display = start_xvfb()
    env = dict(os.environ, DISPLAY=":%d" % display, HOME=home, QT_QPA_PLATFORM="xcb",
               XDG_CONFIG_HOME=os.path.join(root, "config"), XDG_DATA_HOME=os.path.join(root, "data"),
               XDG_DATA_DIRS=os.path.join(root, "common"), XDG_RUNTIME_DIR=root)
    env.pop("XDG_DOCUMENTS_DIR", None)
    db = os.path.join(root, "data", "Movarium", "Movarium.db3")
    try:
        wait_for("the X server", lambda: os.path.exists("/tmp/.X11-unix/X%d" % display), 10)
        kept = []
        for more in KILLS:
            kept = kill_during_scan(EXE, env, home, db, files, kept, more)

        # A scan to the end: every file once, the rows kept through the kills unchanged.
        process, win = start(EXE, env, home)
        last = query(db, "SELECT max(DateModify) FROM VideoFichiers")[0][0]
        click_scan(env, win)
        # Every file found is written, the known ones too: the scan has ended when all rows are newer.
        def ended():
            count, oldest = query(db, "SELECT count(*), min(DateModify) FROM VideoFichiers")[0]
            return count >= len(files) and oldest > last
        wait_for("the end of the scan", ended, 240)
        xdotool(env, "key", "--window", win, "alt+F4")
        prompt = wait_for("the preferences prompt", lambda: window(env, PROMPT))
        click(env, prompt, 89, 329)  # "Normal"
        out, _ = process.communicate(timeout=60)
        if process.returncode != 0:
            sys.stdout.write(out.decode(errors="replace"))
            fail("the program ended with code %d" % process.returncode)
        stored = check_catalogue(db, files, kept, "after the last scan")
        if stored != len(files):
            fail("the last scan stored %d rows for %d files" % (stored, len(files)))
        print("1 passed, 0 failed")
    finally:
        xvfb.terminate()
        xvfb.wait(timeout=10)
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
