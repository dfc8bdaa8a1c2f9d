#!/usr/bin/env python3
"""The demo as a user starts it, from an installed tree.

First, scripts/run without any display must refuse at once, naming
`xvfb-run -a scripts/run`, before it installs or builds anything; with the
offscreen platform it must go on to the build. It runs from a copy of the
scripts whose bootstrap and build only leave a mark, so a faulty check can
never start a real build.

Then, under `xvfb-run -a`, scripts/demo starts the installed programs with
--screenshot, --after and --size: the picture must appear, be a PNG of the
asked size, and the log must say where it went. Both simulated sensors must be
bound, the first with one recording in its flash and the second with none.
SIGTERM to the launcher must stop korvex cleanly (its destructor finishes), the
simulators and the virtual display, leave no process behind, and keep the demo
folder.

Usage: demo_launcher.py CMAKE BUILD_DIR SOURCE_DIR
Exits 77 (reported as skipped) when xvfb-run is not installed."""

import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

import e2e_support

SKIP = 77
PICTURE_LIMIT = 60  # seconds until the picture exists (2 s asked; sanitizer builds start slowly)
SENSOR_LIMIT = 120  # seconds until both sensors are bound and their tables read
STOP_LIMIT = 15  # seconds for everything to end after SIGTERM
SIZE = (1280, 800)
SERIALS = ("4b560001", "4b560002")


def wait_for(what, condition, limit, alive=None):
    return e2e_support.wait_for(what, condition, limit, alive, who='the demo')


def without_display(env):
    env = dict(env)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
        env.pop(name, None)
    return env


def check_display_refusal(source_dir, work):
    scripts = os.path.join(work, "copy", "scripts")
    os.makedirs(scripts)
    for name in ("run", "demo"):
        shutil.copy2(os.path.join(source_dir, "scripts", name), scripts)
    mark = os.path.join(work, "copy", "started")
    for name in ("bootstrap", "build"):
        with open(os.path.join(scripts, name), "w") as stand_in:
            stand_in.write("#!/bin/sh\necho %s >> '%s'\nexit 1\n" % (name, mark))
        os.chmod(os.path.join(scripts, name), 0o755)
    run = os.path.join(scripts, "run")

    started = time.monotonic()
    result = subprocess.run([run], env=without_display(os.environ), stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=30)
    took = time.monotonic() - started
    text = result.stdout.decode("utf-8", "replace")
    assert result.returncode != 0, "scripts/run without a display ended with 0:\n" + text
    assert "xvfb-run -a scripts/run" in text, "the refusal does not name xvfb-run -a scripts/run:\n" + text
    assert not os.path.exists(mark), "scripts/run went on to bootstrap or build without a display"
    assert took < 5, "the refusal took %.1f s" % took

    # The same for --hardware, and a platform that needs no display passes the check.
    result = subprocess.run([run, "--hardware"], env=without_display(os.environ), stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=30)
    assert result.returncode != 0 and not os.path.exists(mark), result.stdout
    env = without_display(os.environ)
    env["QT_QPA_PLATFORM"] = "offscreen"
    result = subprocess.run([run], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, timeout=30)
    assert os.path.exists(mark), "scripts/run refused the offscreen platform:\n" + result.stdout.decode()


def png_size(path):
    with open(path, "rb") as picture:
        head = picture.read(33)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", "%s is not a PNG: %r" % (path, head[:8])
    length, kind, width, height = struct.unpack(">I4sII", head[8:24])
    assert kind == b"IHDR" and length == 13, "the PNG does not start with its header: %r" % head[8:24]
    return width, height


def process_table():
    """pid -> (parent pid, start time, argv) of every process."""
    table = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry, "rb") as stat:
                fields = stat.read().rsplit(b")", 1)[1].split()
            with open("/proc/%s/cmdline" % entry, "rb") as cmdline:
                argv = [part.decode("utf-8", "replace") for part in cmdline.read().split(b"\0") if part]
        except (OSError, IndexError):
            continue
        # After the name: state, parent, ...; the start time is field 22 of the whole line.
        if fields[0] == b"Z":
            continue
        table[int(entry)] = (int(fields[1]), int(fields[19]), argv)
    return table


def descendants(root_pid):
    table = process_table()
    found, frontier = {}, [root_pid]
    while frontier:
        parent = frontier.pop()
        for pid, (ppid, start, argv) in table.items():
            if ppid == parent and pid not in found:
                found[pid] = (start, argv)
                frontier.append(pid)
    return found


def program(argv):
    return os.path.basename(argv[0]) if argv else ""


def check_demo(cmake, build_dir, source_dir, work):
    prefix = os.path.join(work, "dist")
    subprocess.run([cmake, "--install", build_dir, "--prefix", prefix], check=True, stdout=subprocess.DEVNULL)
    runtime = os.path.join(work, "runtime")
    os.mkdir(runtime, 0o700)
    picture = os.path.join(work, "pictures", "not yet there", "shot.png")

    env = without_display(os.environ)
    # The demo folder goes below the test's own folder.
    env["XDG_RUNTIME_DIR"] = runtime
    # The lines looked for must be written, whatever the caller silenced.
    env.pop("QT_LOGGING_RULES", None)
    output_path = os.path.join(work, "demo.out")
    output = open(output_path, "wb")
    launcher = subprocess.Popen(
        ["xvfb-run", "-a", os.path.join(source_dir, "scripts", "demo"), prefix,
         "--screenshot", picture, "--after", "2", "--size", "%dx%d" % SIZE],
        env=env, stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.STDOUT, start_new_session=True)

    def log():
        with open(output_path, "rb") as text:
            return text.read().decode("utf-8", "replace")

    try:
        wait_for("the picture", lambda: os.path.exists(picture), PICTURE_LIMIT, alive=launcher)
        assert png_size(picture) == SIZE, "the picture is %dx%d, not %dx%d" % (png_size(picture) + SIZE)
        wait_for("the log line naming the picture", lambda: "Screenshot written to" in log()
                 and picture in log(), 10, alive=launcher)

        # The demo runs on: both sensors are bound, and their tables show the
        # one recording of the first.
        demo_dir = wait_for("the demo folder", lambda: re.search(r"demo: storage folder (\S+)", log()), 10)
        storage = demo_dir.group(1)
        assert storage.startswith(runtime + os.sep), storage
        assert os.path.exists(os.path.join(storage, "content", "skins", "default", "KorvexSkin", "Main.qml"))
        for serial, recordings in zip(SERIALS, ("1", "0")):
            table_line = re.compile(r"Device MAT is complete for device:\s+\"?%s\"?\s+"
                                    r"Number of measurements on device :\s+(\d+)" % serial)
            counts = wait_for("the table of %s" % serial, lambda: table_line.findall(log()), SENSOR_LIMIT,
                              alive=launcher)
            assert counts[-1] == recordings, "%s lists %s recordings" % (serial, counts[-1])
            assert os.path.exists(os.path.join(storage, "Devices", serial + ".ktd")), serial

        # The launcher (scripts/demo below xvfb-run), korvex and both simulators run.
        family = descendants(launcher.pid)
        demo = [pid for pid, (_, argv) in family.items()
                if len(argv) > 1 and argv[1].endswith("scripts/demo")]
        assert len(demo) == 1, "no single launcher among %r" % family
        names = sorted(program(argv) for _, argv in family.values())
        assert names.count("korvex") == 1 and names.count("korvex-sensorsim") == 2, names

        os.kill(demo[0], signal.SIGTERM)
        try:
            launcher.wait(timeout=STOP_LIMIT)
        except subprocess.TimeoutExpired:
            raise AssertionError("the demo did not end within %d s of SIGTERM" % STOP_LIMIT)

        def left():
            table = process_table()
            return {pid: argv for pid, (start, argv) in family.items()
                    if pid in table and table[pid][1] == start}

        wait_for("every process of the demo to end", lambda: not left(), 5)
        text = log()
        assert "Korvex destructor done." in text, "korvex did not end cleanly:\n" + text[-4000:]
        assert "demo: the demo folder is kept: " in text, text[-4000:]
        assert os.path.isdir(os.path.join(storage, "Devices")), "the demo folder was removed"
        print("ok: %dx%d picture, %s bound, everything stopped on SIGTERM" % (SIZE + (", ".join(SERIALS),)))
    except BaseException:
        sys.stderr.write(log()[-6000:])
        raise
    finally:
        output.close()
        # Whatever is left of the demo's process group goes, even after a failure.
        try:
            os.killpg(launcher.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        launcher.wait()


def main():
    cmake, build_dir, source_dir = sys.argv[1:4]
    work = tempfile.mkdtemp(prefix="korvex-demo-test-")
    try:
        check_display_refusal(source_dir, work)
        if shutil.which("xvfb-run") is None:
            print("skipped: xvfb-run is not installed (Debian package xvfb), so the demo cannot be shown")
            sys.exit(SKIP)
        check_demo(cmake, build_dir, source_dir, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
