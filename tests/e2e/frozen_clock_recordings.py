#!/usr/bin/env python3
"""Two recordings started with the wall clock frozen at the same instant, as
after a clock reset or two starts in one millisecond, must both be kept: two
measurement records and two track-list folders, each with its own samples.

Runs the recorder program twice under faketime (wall clock frozen, monotonic
clock left alone) on one storage folder, then lists what is stored.
Exits 77 (skipped) when faketime is missing or does not freeze the clock.
Standard library only."""

import os
import re
import shutil
import subprocess
import sys
import tempfile

SKIP = 77
INSTANT = "2015-05-13 09:00:00.250"


def skip(reason):
    print("SKIP: " + reason)
    sys.exit(SKIP)


def run(command, env):
    done = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          text=True, timeout=120)
    if done.returncode != 0:
        raise AssertionError("%s ended with %d:\n%s" % (command, done.returncode, done.stderr[-4000:]))
    return done.stdout


def main():
    recorder = sys.argv[1]
    faketime = shutil.which("faketime")
    if faketime is None:
        skip("faketime is not installed (Debian package faketime; scripts/bootstrap installs it)")
    frozen = [faketime, "-f", INSTANT]

    with tempfile.TemporaryDirectory(prefix="korvex-frozen-") as storage:
        env = dict(os.environ, KORVEX_STORAGE=storage, FAKETIME_DONT_FAKE_MONOTONIC="1",
                   QT_QPA_PLATFORM="offscreen")
        # faketime preloads its library; a sanitizer build would refuse to
        # start with anything loaded before its runtime.
        env["ASAN_OPTIONS"] = ":".join(filter(None, [env.get("ASAN_OPTIONS"), "verify_asan_link_order=0"]))

        # The clock must stand still for the program, or this shows nothing.
        try:
            probe = run(frozen + [recorder, "clock"], env).split()
        except AssertionError as error:
            skip("faketime cannot run the recorder: %s" % error)
        if len(probe) != 3 or probe[1] != probe[2]:
            skip("faketime does not freeze the wall clock here (read %s)" % " ".join(probe[1:]))

        recorded = []
        for first_value in ("10", "20"):
            line = run(frozen + [recorder, "record", first_value], env).strip()
            match = re.fullmatch(r"recorded ([0-9a-f]+) (-?\d+)", line)
            assert match, "unexpected recorder output %r" % line
            recorded.append((match.group(1), match.group(2)))
        print("recorded:", recorded)
        assert recorded[0][1] == recorded[1][1], "the two runs did not start at one instant: %s" % recorded
        assert recorded[0][0] != recorded[1][0], "both runs drew measurement id %s" % recorded[0][0]

        data = os.path.join(storage, "Data")
        records = sorted(name for name in os.listdir(data) if name.endswith(".ktm"))
        folders = sorted(name for name in os.listdir(data) if os.path.isdir(os.path.join(data, name)))
        print("records:", records)
        print("folders:", folders)
        assert len(records) == 2, "expected two measurement records, found %s" % records
        ids = sorted(id for id, _ in recorded)
        assert folders == ids, "expected the track-list folders %s, found %s" % (ids, folders)
        for id in ids:
            assert any(name.endswith("_%s.ktm" % id) for name in records), "no record of %s in %s" % (id, records)
            lists = os.listdir(os.path.join(data, id))
            assert lists == ["%s_4b56.ktt" % id], "folder %s holds %s" % (id, lists)

        # Read back as the program reads them at start-up: each with its own samples.
        stored = {}
        for line in run([recorder, "list"], env).splitlines():
            _, id, start, values = line.split(" ")
            stored[id] = (start, values)
        print("stored:", stored)
        expected = {recorded[0][0]: (recorded[0][1], "10,11,12"), recorded[1][0]: (recorded[1][1], "20,21,22")}
        assert stored == expected, "expected %s, read %s" % (expected, stored)
    print("PASS: two recordings at one frozen instant are both kept")


if __name__ == "__main__":
    main()
