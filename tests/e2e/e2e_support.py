"""What the e2e scripts share: waiting, failing, and driving X windows with xdotool."""
import os
import subprocess
import sys
import time


def fail(message):
    print("FAILED: " + message, flush=True)
    sys.exit(1)


def wait_for(what, condition, timeout=30.0):
    end = time.time() + timeout
    while time.time() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.2)
    fail("timed out waiting for " + what)


def xdotool(env, *args):
    return subprocess.run(["xdotool", *args], env=env, capture_output=True, text=True, timeout=30).stdout.strip()


def window(env, name):
    found = xdotool(env, "search", "--name", "^" + name + "$")
    return found.splitlines()[0] if found else None


def geometry(env, win):
    out = xdotool(env, "getwindowgeometry", "--shell", win)
    values = dict(line.split("=") for line in out.splitlines() if "=" in line)
    return int(values["WIDTH"]), int(values["HEIGHT"])


def click(env, win, x, y, shift=False):
    xdotool(env, "mousemove", "--window", win, str(x), str(y))
    if shift:
        xdotool(env, "keydown", "shift", "click", "1", "keyup", "shift")
    else:
        xdotool(env, "click", "1")


def start_xvfb():
    """An X server on a display it picks itself, free whatever else runs: (process, display number)."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=(write_end,))
    os.close(write_end)
    with os.fdopen(read_end) as announced:
        return xvfb, int(announced.readline())


TITLE = "Movarium 1.0.3.9 fr by Tessaly"


def log_path(home):
    return os.path.join(home, "Documents", "Movarium.log")


def log_lines(home):
    """The lines of the run log, none while the program has not written it."""
    path = log_path(home)
    if not os.path.exists(path):
        return []
    with open(path, encoding="utf-8", newline="") as f:
        return f.read().split("\r\n")


def start_program(exe, env, home, timeout=60.0):
    """Starts the program and waits for its window and its catalogue: (process, window)."""
    # Each start writes its own log; the last run's must not answer for this one.
    if os.path.exists(log_path(home)):
        os.remove(log_path(home))
    process = subprocess.Popen([exe], env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    end = time.time() + timeout
    win = None
    while not win and process.poll() is None and time.time() < end:
        time.sleep(0.2)
        win = window(env, TITLE)
    if not win:
        process.kill()
        sys.stdout.write(process.communicate()[0].decode(errors="replace"))
        fail("no main window (the program %s)" % ("ended with code %d" % process.returncode
                                                 if process.returncode is not None else "kept running"))
    wait_for("the catalogue's opening", lambda: any(line.startswith("wideupper") for line in log_lines(home)), timeout)
    return process, win
