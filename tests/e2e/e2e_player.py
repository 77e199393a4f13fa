#!/usr/bin/python3
"""Plays a video in the real program under Xvfb as a person would: scan a folder,
click the tile, see the first frame, play, pause, step one frame each way, type a
position, Shift-click the seconds button, quit.

Usage: e2e_player.py MOVARIUM_EXECUTABLE ARTIFACTS_FOLDER PRIVATE_FILTERS_FOLDER
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

from e2e_support import TITLE, click, fail, geometry, start_xvfb, wait_for, window, xdotool

EXE, ARTIFACTS, PRIVATE_FILTERS = sys.argv[1:4]
PROMPT = "Saving the preferences of Movarium"

# The main window's layout at 96 dots per inch, list on the left.
DETAILS_WIDTH, BAR_HEIGHT, STATUS_HEIGHT, SCAN_WIDTH, SCAN_HEIGHT, GRID_TOP = 272, 48, 19, 688, 200, 310
NAV_WIDTH, NAV_HEIGHT, VIEW_MARGIN, BORDER = 394, 115, 16, 8
CLIP_W, CLIP_H, FPS, SECONDS = 320, 240, 25, 20


def key(env, win, *keys):
    xdotool(env, "key", "--window", win, *keys)


class Layout:
    """Where the view pane puts the picture and the navigation bar."""

    def __init__(self, width, height):
        view_left, view_top = DETAILS_WIDTH + 10, BAR_HEIGHT + 2
        view_width = width - DETAILS_WIDTH - 12
        view_height = height - STATUS_HEIGHT - SCAN_HEIGHT - view_top
        box_w = view_width - 2 * VIEW_MARGIN
        box_h = view_height - NAV_HEIGHT - 2 * VIEW_MARGIN
        if CLIP_H * box_w < box_h * CLIP_W:
            panel_w, panel_h = box_w, CLIP_H * box_w // CLIP_W
        else:
            panel_w, panel_h = box_h * CLIP_W // CLIP_H, box_h
        panel_left = view_left + VIEW_MARGIN + (box_w - panel_w) // 2
        panel_top = view_top + VIEW_MARGIN + (box_h - panel_h) // 2
        self.picture = (panel_left + BORDER, panel_top + BORDER, panel_w - 2 * BORDER, panel_h - 2 * BORDER)
        self.nav = (view_left + (view_width - NAV_WIDTH) // 2, view_top + view_height - NAV_HEIGHT)
        self.scan_button = (view_left + (view_width - SCAN_WIDTH) // 2 + 290, height - STATUS_HEIGHT - 23)

    def nav_point(self, x, y):
        return self.nav[0] + x, self.nav[1] + y


def grab_picture(env, win, layout, name):
    """The picture area of the window, as a PNG in the artifacts."""
    whole = os.path.join(ARTIFACTS, name)
    subprocess.run(["import", "-window", win, whole], env=env, timeout=30, check=False)
    x, y, w, h = layout.picture
    crop = os.path.join(ARTIFACTS, "picture-" + name)
    subprocess.run(["convert", whole, "-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage", crop], timeout=30, check=True)
    return crop


def difference(a, b):
    """Normalised RMS difference of two pictures, both brought to 64 x 48."""
    small = []
    for path in (a, b):
        out = path + ".small.png"
        subprocess.run(["convert", path, "-resize", "64x48!", out], timeout=30, check=True)
        small.append(out)
    result = subprocess.run(["compare", "-metric", "RMSE", small[0], small[1], "null:"],
                            capture_output=True, text=True, timeout=30)
    return float(result.stderr.split("(")[1].split(")")[0])


def position(env, win, layout):
    """The position text, read from the edit box through the clipboard; the focus then leaves it."""
    edit = layout.nav_point(198, 94)
    click(env, win, *edit)
    key(env, win, "ctrl+a", "ctrl+c")
    time.sleep(0.3)
    text = subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=env, capture_output=True, text=True,
                          timeout=30).stdout.strip()
    # Tab takes the focus away, so the box follows the video again.
    key(env, win, "Tab")
    time.sleep(0.3)
    return text


def frames(text):
    h, m, s, f = (int(part) for part in text.split(":"))
    return ((h * 60 + m) * 60 + s) * FPS + f


def main():
    shutil.rmtree(ARTIFACTS, ignore_errors=True)
    os.makedirs(ARTIFACTS)
    root = tempfile.mkdtemp(prefix="movarium-player-")
    home = os.path.join(root, "home")
    videos = os.path.join(home, "Videos")
    common = os.path.join(root, "common")
    os.makedirs(os.path.join(home, "Documents"))
    os.makedirs(videos)
    os.makedirs(os.path.join(common, "Tessaly"))
    # The private filter set where a fresh installation keeps it.
    os.symlink(PRIVATE_FILTERS, os.path.join(common, "Tessaly", "Private Filters"))
    clip = os.path.join(videos, "walk.mp4")
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                    "testsrc=size=%dx%d:rate=%d:duration=%d" % (CLIP_W, CLIP_H, FPS, SECONDS),
                    "-f", "lavfi", "-i", "sine=duration=%d" % SECONDS, "-c:v", "libx264", "-preset", "ultrafast",
                    "-pix_fmt", "yuv420p", "-g", str(FPS), "-c:a", "aac", clip], check=True, timeout=120)
    first_frame = os.path.join(ARTIFACTS, "clip-first-frame.png")
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-i", clip, "-frames:v", "1", first_frame], check=True, timeout=60)

    xvfb, display = start_xvfb()
    env = dict(os.environ, DISPLAY=":%d" % display, HOME=home, QT_QPA_PLATFORM="xcb",
               XDG_CONFIG_HOME=os.path.join(root, "config"), XDG_DATA_HOME=os.path.join(root, "data"),
               XDG_DATA_DIRS=common, XDG_RUNTIME_DIR=root)
    env.pop("XDG_DOCUMENTS_DIR", None)
    process = None
    try:
        wait_for("the X server", lambda: os.path.exists("/tmp/.X11-unix/X%d" % display), 10)
        process = subprocess.Popen([EXE], env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        win = wait_for("the main window", lambda: window(env, TITLE))
        time.sleep(2.0)
        layout = Layout(*geometry(env, win))

        click(env, win, *layout.scan_button)
        db = os.path.join(root, "data", "Movarium", "Movarium.db3")
        wait_for("the scanned clip", lambda: os.path.exists(db) and os.path.getsize(db) > 0, 30)
        time.sleep(3.0)

        # The tile: the first frame appears in the picture area, paused.
        click(env, win, 40, GRID_TOP + 10)
        shown = wait_for("the first frame", lambda: difference(grab_picture(env, win, layout, "1-first-frame.png"),
                                                               first_frame) < 0.08, 20)
        if not shown:
            fail("the picture does not show the clip's first frame")
        if position(env, win, layout) != "0:00:00:00":
            fail("a new video does not start at 0:00:00:00")

        # Play for a while, then pause: the picture moves on.
        key(env, win, "ctrl+space")
        time.sleep(2.0)
        key(env, win, "ctrl+space")
        time.sleep(0.5)
        paused = position(env, win, layout)
        if frames(paused) < FPS:
            fail("playing for two seconds reached only " + paused)
        if difference(grab_picture(env, win, layout, "2-paused.png"), first_frame) < 0.02:
            fail("the picture did not move while playing")

        # One frame forward, one back.
        key(env, win, "ctrl+Right")
        forward = position(env, win, layout)
        key(env, win, "ctrl+Left")
        back = position(env, win, layout)
        if frames(forward) != frames(paused) + 1 or frames(back) != frames(paused):
            fail("frame steps from %s gave %s then %s" % (paused, forward, back))

        # A typed position, then Enter.
        click(env, win, *layout.nav_point(198, 94))
        key(env, win, "ctrl+a")
        xdotool(env, "type", "--window", win, "0:00:05:10")
        key(env, win, "Return")
        time.sleep(1.0)
        typed = position(env, win, layout)
        if typed != "0:00:05:10":
            fail("the typed position 0:00:05:10 gave " + typed)

        # Shift on the seconds button moves ten seconds.
        click(env, win, *layout.nav_point(297, 52), shift=True)
        time.sleep(1.0)
        moved = position(env, win, layout)
        if frames(moved) != frames(typed) + 10 * FPS:
            fail("Shift and the seconds button moved from %s to %s" % (typed, moved))
        grab_picture(env, win, layout, "3-after-steps.png")

        key(env, win, "alt+F4")
        prompt = wait_for("the preferences prompt", lambda: window(env, PROMPT))
        subprocess.run(["import", "-window", "root", os.path.join(ARTIFACTS, "4-prompt.png")], env=env, timeout=30)
        # "Normal", clicked: after playing, a key sent to the question under a bare X server
        # (no window manager to hand it the keyboard) can land in the main window instead.
        time.sleep(1.0)
        click(env, prompt, 89, 329)
        try:
            out, _ = process.communicate(timeout=30)
        except subprocess.TimeoutExpired:
            # Where it hangs, for whoever reads the log.
            stacks = subprocess.run(["gdb", "-p", str(process.pid), "-batch", "-ex", "thread apply all bt"],
                                    capture_output=True, text=True, timeout=120).stdout
            sys.stdout.write(stacks)
            fail("the program did not end after its close")
        sys.stdout.write(out.decode(errors="replace"))
        if process.returncode != 0:
            fail("the program ended with code %d" % process.returncode)
        print("1 passed, 0 failed")
    finally:
        if process and process.poll() is None:
            process.kill()
        xvfb.terminate()
        xvfb.wait(timeout=10)
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
