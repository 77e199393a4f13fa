#!/usr/bin/python3
"""Kills the writers of the user hive, the ini file and the exported workbook at
every moment that touches their folder, and checks that each kill leaves the
earlier file whole or the new one whole, never a part of either.

A folder that takes no new file (made immutable) must leave the earlier file
and make the writer say that it failed.

A first run of the writer under strace lists the system calls that touch the
folder (opening, writing, syncing, renaming or removing a file there); then for
each of them one run is killed with SIGKILL as that call begins. The file's
state only changes through such calls, so these are all the moments that can
differ. The last run is not killed and must leave the new file.

Usage: kill_writers.py FAULT_WRITER READ_WORKBOOK_FOLDER
"""
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile

WRITER = os.path.abspath(sys.argv[1])
sys.path.insert(0, sys.argv[2])
import read_workbook  # noqa: E402

CALLS = ["open", "openat", "creat", "write", "pwrite64", "writev", "pwritev", "pwritev2", "fsync", "fdatasync",
         "ftruncate", "truncate", "fallocate", "rename", "renameat", "renameat2", "unlink", "unlinkat",
         "link", "linkat", "chmod", "fchmod", "fchmodat"]
MODE = 0o640
COUNT = 300

# name, file in the folder, what the writer writes, how a complete file is compared, whether the
# file keeps its mode (the preferences do; an export is a file of a new name each time).
CASES = [
    ("hive", "user.reg", ["hive"], "bytes", True),
    ("ini file", "Movarium.ini", ["ini"], "bytes", True),
    ("workbook .xlsx", "MovariumExport_20240818_205258.xlsx", ["export", "51"], "workbook", False),
    ("workbook .xls", "MovariumExport_20240818_205258.xls", ["export", "43"], "workbook", False),
]

failures = []


def fail(message):
    print("FAILED: " + message, flush=True)
    failures.append(message)


def env():
    # LeakSanitizer cannot work under a tracer; the runs without one keep it.
    return dict(os.environ, ASAN_OPTIONS=os.environ.get("ASAN_OPTIONS", "") + ":detect_leaks=0")


def command(kind_args, path, label):
    if kind_args[0] == "export":
        return [WRITER, "export", path, kind_args[1], label, str(COUNT)]
    return [WRITER, kind_args[0], path, label, str(COUNT)]


def run(args, traced_env=False):
    return subprocess.run(args, capture_output=True, text=True, timeout=300, env=env() if traced_env else None)


def content(path, how):
    """What a complete file says: its bytes, or the values of the workbook's sheets."""
    if how == "bytes":
        with open(path, "rb") as f:
            return f.read()
    sheets = read_workbook.read_xls(path) if path.endswith(".xls") else read_workbook.read_xlsx(path)
    return [(s["name"], {ref: c["value"] for ref, c in s["cells"].items()}) for s in sheets]


def fresh(folder, name, old):
    """The folder holding only the earlier file, with the mode it was given."""
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    path = os.path.join(folder, name)
    with open(path, "wb") as f:
        f.write(old)
    os.chmod(path, MODE)
    return path


def kill_points(trace, folder):
    """(call, its number among the calls of that name) of every call that touches the folder."""
    counts = {}
    points = []
    call = re.compile(r"^([a-z0-9_]+)\(")
    with open(trace, encoding="utf-8", errors="replace") as f:
        for line in f:
            m = call.match(line)
            if not m or m.group(1) not in CALLS:
                continue
            name = m.group(1)
            counts[name] = counts.get(name, 0) + 1
            if folder in line:
                points.append((name, counts[name]))
    return points


def check_case(root, title, name, kind_args, how, keeps_mode):
    case = os.path.join(root, re.sub(r"\W", "_", title))
    reference = os.path.join(case, "reference")
    work = os.path.join(case, "work")

    # The two generations, each written whole: the earlier one and the one that replaces it.
    old_path = fresh(reference, name, b"")
    os.remove(old_path)
    done = run(command(kind_args, old_path, "old"))
    if done.returncode != 0:
        return fail("%s: the first writing failed: %s" % (title, done.stderr))
    with open(old_path, "rb") as f:
        old = f.read()
    old_content = content(old_path, how)
    new_path = os.path.join(case, "new-" + name)
    os.rename(old_path, new_path)
    done = run(command(kind_args, new_path, "new"))
    if done.returncode != 0:
        return fail("%s: the second writing failed: %s" % (title, done.stderr))
    new_content = content(new_path, how)
    if new_content == old_content:
        return fail("%s: the two generations do not differ" % title)

    path = fresh(work, name, old)
    trace = os.path.join(case, "trace.txt")
    done = subprocess.run(["strace", "-qq", "-y", "-o", trace, "-e", "trace=" + ",".join(CALLS),
                           *command(kind_args, path, "new")], capture_output=True, text=True, timeout=300, env=env())
    points = kill_points(trace, work + "/")
    if done.returncode != 0 or len(points) < 3:
        return fail("%s: the traced writing: code %d, %d calls in the folder: %s"
                    % (title, done.returncode, len(points), done.stderr))

    outcomes = {"old": 0, "new": 0}
    for call, number in points:
        path = fresh(work, name, old)
        killed = subprocess.run(["strace", "-qq", "-o", "/dev/null", "-e", "trace=" + call,
                                 "-e", "inject=%s:signal=SIGKILL:when=%d" % (call, number),
                                 *command(kind_args, path, "new")],
                                capture_output=True, text=True, timeout=300, env=env())
        moment = "%s: killed at %s #%d" % (title, call, number)
        if killed.returncode == 0:
            fail(moment + ": the writer was not killed")
            continue
        if not os.path.exists(path):
            fail(moment + ": the file is gone")
            continue
        if keeps_mode and stat.S_IMODE(os.stat(path).st_mode) != MODE:
            fail(moment + ": the file's mode became %o" % stat.S_IMODE(os.stat(path).st_mode))
        with open(path, "rb") as f:
            now = f.read()
        if now == old:
            outcomes["old"] += 1
            continue
        try:
            whole = content(path, how) == new_content
        except Exception as error:  # a reader's complaint about a broken file
            whole = False
            print("%s: unreadable: %r" % (moment, error))
        if whole:
            outcomes["new"] += 1
        else:
            fail(moment + ": the file is neither the earlier one nor the new one (%d bytes)" % len(now))

    # Not killed: the new file, with the earlier file's mode.
    path = fresh(work, name, old)
    done = run(command(kind_args, path, "new"))
    if done.returncode != 0 or content(path, how) != new_content:
        fail("%s: the writing that was not killed: code %d %s" % (title, done.returncode, done.stderr))
    elif keeps_mode and stat.S_IMODE(os.stat(path).st_mode) != MODE:
        fail("%s: the written file's mode is %o" % (title, stat.S_IMODE(os.stat(path).st_mode)))
    check_refused(work, name, old, kind_args, title)
    if outcomes["old"] == 0:
        fail("%s: no kill left the earlier file" % title)
    print("%s: %d moments: %d left the earlier file, %d the new one"
          % (title, len(points), outcomes["old"], outcomes["new"]), flush=True)


def check_refused(work, name, old, kind_args, title):
    """A folder that takes no new file: the writer says it failed and the earlier file stays."""
    path = fresh(work, name, old)
    if subprocess.run(["chattr", "+i", work], capture_output=True).returncode != 0:
        print("%s: the file system keeps no immutable flag; the refused writing is not tried" % title)
        return
    try:
        done = run(command(kind_args, path, "new"))
    finally:
        subprocess.run(["chattr", "-i", work], check=True)
    with open(path, "rb") as f:
        if f.read() != old:
            fail("%s: a refused writing changed the earlier file" % title)
    if done.returncode == 0:
        fail("%s: a refused writing was reported as done" % title)
    if kind_args[0] == "export" and "Export" not in done.stderr:
        fail("%s: a refused export says %r" % (title, done.stderr))
    if os.listdir(work) != [name]:
        fail("%s: a refused writing left %r" % (title, os.listdir(work)))


def main():
    root = tempfile.mkdtemp(prefix="movarium-kill-writers-")
    try:
        for case in CASES:
            check_case(root, *case)
    finally:
        shutil.rmtree(root, ignore_errors=True)
    if failures:
        sys.exit(1)
    print("%d passed, 0 failed" % len(CASES))


if __name__ == "__main__":
    main()
