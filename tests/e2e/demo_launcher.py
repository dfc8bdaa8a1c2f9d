#!/usr/bin/env python3
"""The demo as a user starts it, from an installed tree.

First, scripts/bootstrap on a stand-in bare machine must install only what
the program needs, and the extras of tests, benchmarks, fuzzing and pictures
only when asked for them, with apt-get kept non-interactive through sudo.

Then scripts/run without any display must refuse at once, naming
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
folder. The demo is started from a folder of its own, which must stay empty:
korvex's debug file goes into the demo folder.

With a stand-in korvex that ignores SIGTERM, the demo must kill it 10 s after
asking it to stop, say so, and leave nothing running; the stand-in also shows
that korvex runs in the demo folder and gets a relative picture path as the
caller meant it.

scripts/run --hardware, with stand-ins for the build and the install, must
keep the recordings under $XDG_DATA_HOME/korvex/Storage (or $KORVEX_STORAGE),
refresh only the content folder there and start korvex from the storage
folder's parent.

Usage: demo_launcher.py CMAKE BUILD_DIR SOURCE_DIR
Exits 77 (reported as skipped) when xvfb-run is not installed."""

import json
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


LAUNCHER_SCRIPTS = ("run", "demo", "korvex-arguments.sh")

# Stands in for korvex: notes where it runs and what it was given, then
# ignores SIGTERM as a program stuck in a blocking call would.
STUBBORN_KORVEX = """#!/usr/bin/env python3
import json, os, signal, sys, time
signal.signal(signal.SIGTERM, signal.SIG_IGN)
note = {"cwd": os.getcwd(), "argv": sys.argv[1:], "storage": os.environ.get("KORVEX_STORAGE")}
with open(os.environ["KORVEX_STAND_IN_NOTE"] + ".tmp", "w") as out:
    json.dump(note, out)
os.rename(os.environ["KORVEX_STAND_IN_NOTE"] + ".tmp", os.environ["KORVEX_STAND_IN_NOTE"])
if os.environ.get("KORVEX_STAND_IN_STAYS"):
    time.sleep(3600)
"""


def copy_scripts(source_dir, scripts):
    os.makedirs(scripts)
    for name in LAUNCHER_SCRIPTS:
        shutil.copy2(os.path.join(source_dir, "scripts", name), scripts)


def write_program(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as program_file:
        program_file.write(text)
    os.chmod(path, 0o755)


def check_display_refusal(source_dir, work):
    scripts = os.path.join(work, "copy", "scripts")
    copy_scripts(source_dir, scripts)
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
    # Where the user stands when starting the demo; nothing may appear there.
    caller = os.path.join(work, "caller")
    os.mkdir(caller)
    launcher = subprocess.Popen(
        ["xvfb-run", "-a", os.path.join(source_dir, "scripts", "demo"), prefix,
         "--screenshot", picture, "--after", "2", "--size", "%dx%d" % SIZE],
        cwd=caller, env=env, stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.STDOUT,
        start_new_session=True)

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
        assert os.listdir(caller) == [], "the demo left %r in the folder it was started from" % os.listdir(caller)
        debug_file = os.path.join(os.path.dirname(storage), "DebugQuaterion.txt")
        assert os.path.isfile(debug_file), "no debug file beside the demo storage: %r" % os.listdir(
            os.path.dirname(storage))
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


def check_stop_limit(build_dir, source_dir, work):
    """A korvex that does not end on SIGTERM is killed after 10 s, and the demo says so."""
    prefix = os.path.join(work, "stubborn")
    write_program(os.path.join(prefix, "bin", "korvex"), STUBBORN_KORVEX)
    os.symlink(os.path.join(build_dir, "sim", "korvex-sensorsim"), os.path.join(prefix, "bin", "korvex-sensorsim"))
    os.makedirs(os.path.join(prefix, "Storage", "content", "apps"))
    caller = os.path.join(work, "stubborn-caller")
    os.mkdir(caller)
    note = os.path.join(work, "stubborn.json")
    env = dict(os.environ, XDG_RUNTIME_DIR=work, KORVEX_STAND_IN_NOTE=note, KORVEX_STAND_IN_STAYS="1")
    output_path = os.path.join(work, "stubborn.out")
    with open(output_path, "wb") as output:
        launcher = subprocess.Popen([os.path.join(source_dir, "scripts", "demo"), prefix,
                                     "--screenshot", "shots/main.png", "--size", "800x600"],
                                    cwd=caller, env=env, stdin=subprocess.DEVNULL, stdout=output,
                                    stderr=subprocess.STDOUT, start_new_session=True)
    try:
        wait_for("the stand-in to start", lambda: os.path.exists(note), 60, alive=launcher)
        family = descendants(launcher.pid)
        assert sorted(program(argv) for _, argv in family.values()).count("korvex-sensorsim") == 2, family
        with open(note) as text:
            seen = json.load(text)
        demo_dir = os.path.dirname(seen["storage"])
        assert seen["cwd"] == demo_dir, "korvex runs in %s, not in the demo folder %s" % (seen["cwd"], demo_dir)
        assert seen["argv"] == ["--screenshot", os.path.join(caller, "shots", "main.png"), "--size", "800x600"], \
            seen["argv"]

        asked = time.monotonic()
        launcher.send_signal(signal.SIGTERM)
        try:
            launcher.wait(timeout=STOP_LIMIT + 10)
        except subprocess.TimeoutExpired:
            raise AssertionError("the demo still waits for korvex %d s after SIGTERM" % (STOP_LIMIT + 10))
        took = time.monotonic() - asked
        with open(output_path, "rb") as text:
            log = text.read().decode("utf-8", "replace")
        assert 8 <= took <= STOP_LIMIT, "the demo ended %.1f s after SIGTERM:\n%s" % (took, log)
        assert "it is killed if it has not ended within 10 s" in log, log
        assert "demo: korvex did not end within 10 s of being asked to stop; killing it" in log, log
        table = process_table()
        left = [argv for pid, (start, argv) in family.items() if pid in table and table[pid][1] == start]
        assert not left, "still running after the demo ended: %r" % left
        assert os.listdir(caller) == [], os.listdir(caller)
    finally:
        try:
            os.killpg(launcher.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        launcher.wait()


def check_hardware_storage(source_dir, work):
    """scripts/run --hardware keeps the recordings outside the build output."""
    copy = os.path.join(work, "hardware")
    scripts = os.path.join(copy, "scripts")
    copy_scripts(source_dir, scripts)
    for name in ("bootstrap", "build"):
        write_program(os.path.join(scripts, name), "#!/bin/sh\nexit 0\n")
    # A cmake whose install lays out a tree with a stand-in korvex and new content.
    tools = os.path.join(work, "tools")
    write_program(os.path.join(tools, "cmake"), """#!/bin/sh
while [ "$1" != --prefix ]; do shift; done
mkdir -p "$2/bin" "$2/Storage/content/apps"
echo new > "$2/Storage/content/apps/AppInfo.json"
cp "%s" "$2/bin/korvex"
""" % os.path.join(work, "stand-in-korvex"))
    write_program(os.path.join(work, "stand-in-korvex"), STUBBORN_KORVEX)
    caller = os.path.join(work, "hardware-caller")
    os.mkdir(caller)
    data_home = os.path.join(work, "data-home")
    chosen = os.path.join(work, "chosen", "Storage")
    for storage, extra in ((os.path.join(data_home, "korvex", "Storage"), {}),
                           (chosen, {"KORVEX_STORAGE": chosen})):
        # A second start finds the recordings of the first and old content.
        for start in range(2):
            note = os.path.join(work, "hardware.json")
            env = dict(os.environ, PATH=tools + os.pathsep + os.environ["PATH"], XDG_DATA_HOME=data_home,
                       QT_QPA_PLATFORM="offscreen", KORVEX_STAND_IN_NOTE=note)
            env.pop("KORVEX_STORAGE", None)
            env.update(extra)
            result = subprocess.run([os.path.join(scripts, "run"), "--hardware", "--screenshot=shot.png"],
                                    cwd=caller, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                    stderr=subprocess.STDOUT, timeout=60)
            text = result.stdout.decode("utf-8", "replace")
            assert result.returncode == 0, text
            with open(note) as seen_text:
                seen = json.load(seen_text)
            os.remove(note)
            assert seen["storage"] == storage, (seen, storage)
            assert seen["cwd"] == os.path.dirname(storage), seen
            assert seen["argv"] == ["--screenshot=" + os.path.join(caller, "shot.png")], seen
            with open(os.path.join(storage, "content", "apps", "AppInfo.json")) as app:
                assert app.read() == "new\n", "the content was not refreshed"
            recording = os.path.join(storage, "Data", "1234", "record")
            if start == 0:
                os.makedirs(os.path.dirname(recording))
                with open(recording, "w") as kept:
                    kept.write("athlete's recording")
                with open(os.path.join(storage, "content", "apps", "AppInfo.json"), "w") as old:
                    old.write("old\n")
                with open(os.path.join(storage, "content", "stale.qml"), "w") as old:
                    old.write("gone at the next start")
            else:
                with open(recording) as kept:
                    assert kept.read() == "athlete's recording"
                assert not os.path.exists(os.path.join(storage, "content", "stale.qml"))
        assert not os.path.exists(os.path.join(copy, "dist", "Storage", "Data")), "recordings in dist/"
    assert os.listdir(caller) == [], os.listdir(caller)


def check_bootstrap(source_dir, work):
    """On a bare machine the first start installs only what the program needs,
    the tests ask for the rest, and apt-get never asks a question under sudo."""
    tools = os.path.join(work, "bare")
    calls = os.path.join(work, "sudo-calls")
    write_program(os.path.join(tools, "dpkg-query"), "#!/bin/sh\nexit 1\n")
    write_program(os.path.join(tools, "id"), "#!/bin/sh\necho 1000\n")
    write_program(os.path.join(tools, "sudo"), "#!/bin/sh\necho \"$*\" >> '%s'\n" % calls)
    env = dict(os.environ, PATH=tools + os.pathsep + os.environ["PATH"])
    env.pop("DEBIAN_FRONTEND", None)
    installed = {}
    for purpose in ("", "test", "bench", "fuzz", "screenshots"):
        if os.path.exists(calls):
            os.remove(calls)
        subprocess.run([os.path.join(source_dir, "scripts", "bootstrap")] + (["--for", purpose] if purpose else []),
                       env=env, check=True, stdout=subprocess.DEVNULL, timeout=30)
        with open(calls) as text:
            update, install = text.read().splitlines()
        assert update == "env DEBIAN_FRONTEND=noninteractive apt-get update -qq", update
        prefix = "env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "
        assert install.startswith(prefix), install
        installed[purpose] = set(install[len(prefix):].split())
    program = installed[""]
    assert {"g++", "qtdeclarative5-dev", "libqcustomplot-dev", "libmatio-dev", "fonts-dejavu-core"} <= program, program
    extras = {purpose: packages - program for purpose, packages in installed.items() if purpose}
    assert program <= installed["test"] and program <= installed["fuzz"], installed
    assert extras == {"test": {"python3", "xvfb", "xauth", "faketime", "libbenchmark-dev"},
                      "bench": {"libbenchmark-dev"}, "fuzz": {"clang", "libclang-rt-14-dev"},
                      "screenshots": {"xvfb", "xauth"}}, extras
    result = subprocess.run([os.path.join(source_dir, "scripts", "bootstrap"), "--for", "everything"], env=env,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=30)
    assert result.returncode == 2 and b"usage: scripts/bootstrap" in result.stdout, result.stdout


def main():
    cmake, build_dir, source_dir = sys.argv[1:4]
    work = tempfile.mkdtemp(prefix="korvex-demo-test-")
    try:
        check_bootstrap(source_dir, work)
        check_display_refusal(source_dir, work)
        check_hardware_storage(source_dir, work)
        check_stop_limit(build_dir, source_dir, work)
        if shutil.which("xvfb-run") is None:
            print("skipped: xvfb-run is not installed (Debian package xvfb), so the demo cannot be shown")
            sys.exit(SKIP)
        check_demo(cmake, build_dir, source_dir, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
