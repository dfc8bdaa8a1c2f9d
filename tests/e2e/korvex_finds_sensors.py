#!/usr/bin/env python3
"""Installs the built programs into a temporary tree, serves two simulated
sensors on pseudo-terminals and starts the installed korvex with both paths in
KORVEX_EXTRA_SERIAL_PORTS and its storage in the temporary tree. The program
must find both sensors, bind them (device records and communication logs on
disk, GetSerial answered per the simulator's request log), ask each newly
bound sensor for its state and then its firmware (both in the request log, the
firmware revision reaching the device registry's log line), then read its
allocation table (two recordings each, read after the firmware), notice when the
simulator goes away and set both devices offline without crashing, and end
with exit code 0 on SIGTERM.

The program reaches the terminals through links in the temporary folder that
are removed as soon as the simulator has stopped: other tests running at the
same time open pseudo-terminals too, and one that gets a freed terminal
number must not be found by the program's next scan.

Usage: korvex_finds_sensors.py CMAKE BUILD_DIR
Standard library only. Every wait polls for its condition with a generous
limit, so a slow sanitizer build on a loaded machine still passes."""

import os
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

import e2e_support

LIMIT = 180  # seconds for any one condition
FIRMWARE = 317  # not the simulator's default, so the line below cannot be a coincidence


def wait_for(what, condition, limit=LIMIT, alive=None):
    return e2e_support.wait_for(what, condition, limit, alive, who='korvex')


def read_lines(fd, count, limit):
    received = b""
    deadline = time.monotonic() + limit
    while received.count(b"\n") < count:
        left = deadline - time.monotonic()
        if left <= 0:
            raise AssertionError("the simulator printed only %r" % received)
        ready, _, _ = select.select([fd], [], [], left)
        if ready:
            chunk = os.read(fd, 4096)
            if not chunk:
                raise AssertionError("the simulator ended early, after %r" % received)
            received += chunk
    return received.decode().splitlines()[:count]


def read_qstring(data, at):
    (length,) = struct.unpack_from(">I", data, at)
    at += 4
    if length == 0xFFFFFFFF:
        return None, at
    return data[at:at + length].decode("utf-16-be"), at + length


def device_record(path):
    """(serial, bluetooth address, usb port) of a device record, or None."""
    try:
        with open(path, "rb") as record:
            data = record.read()
        version, serial = struct.unpack_from(">qQ", data, 0)
        bt, at = read_qstring(data, 16)
        usb, at = read_qstring(data, at)
    except (OSError, struct.error, UnicodeDecodeError):
        return None
    if version != 20140409 or at != len(data):
        return None
    return serial, bt, usb


def stop(process, name, limit=60):
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
    try:
        return process.wait(timeout=limit)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        raise AssertionError("%s did not stop on SIGTERM" % name)


def main():
    cmake, build_dir = sys.argv[1], sys.argv[2]
    work = tempfile.mkdtemp(prefix="korvex-e2e-")
    sim = korvex = None
    output_path = os.path.join(work, "korvex.out")
    try:
        prefix = os.path.join(work, "dist")
        subprocess.run([cmake, "--install", build_dir, "--prefix", prefix], check=True,
                       stdout=subprocess.DEVNULL)
        bindir = os.path.join(prefix, "bin")
        storage = os.path.join(prefix, "Storage")
        request_log = os.path.join(work, "requests.log")

        sim = subprocess.Popen([os.path.join(bindir, "korvex-sensorsim"), "--sensors", "2", "--recorded", "2",
                                "--recorded-seconds", "2", "--firmware", str(FIRMWARE),
                                "--request-log", request_log], stdout=subprocess.PIPE, bufsize=0)
        served = [line.split() for line in read_lines(sim.stdout.fileno(), 2, 60)]
        assert all(len(line) == 2 for line in served), served
        serials = [line[0] for line in served]
        paths = [line[1] for line in served]
        links = []
        for index, path in enumerate(paths):
            links.append(os.path.join(work, "sensor%d" % index))
            os.symlink(path, links[-1])
        # A port named by a path outside /dev is known by that whole path.
        ports = dict(zip(serials, links))

        env = dict(os.environ)
        # The lines looked for must be written, whatever the caller silenced.
        env.pop("QT_LOGGING_RULES", None)
        env.update({"KORVEX_EXTRA_SERIAL_PORTS": ":".join(links), "KORVEX_STORAGE": storage,
                    "QT_QPA_PLATFORM": "offscreen", "QT_LOGGING_TO_CONSOLE": "1"})
        with open(output_path, "wb") as output:
            korvex = subprocess.Popen([os.path.join(bindir, "korvex")], cwd=work, env=env,
                                      stdout=output, stderr=subprocess.STDOUT)

        def log():
            with open(output_path, "rb") as output:
                return output.read().decode("utf-8", "replace")

        # Both sensors are bound: each has its record with the port it was reached on.
        records = {serial: os.path.join(storage, "Devices", serial + ".ktd") for serial in serials}

        def bound():
            return all(device_record(records[s]) == (int(s, 16), "-", ports[s]) for s in serials)

        wait_for("both device records", bound, alive=korvex)
        for serial in serials:
            assert re.search(r" Current message serial number:\s+%s\b" % serial, log()), serial

        # Each new sensor is asked for its state and firmware; the revision
        # reaches the registry once per sensor.
        firmware_line = re.compile(r"Got FirmwareRevision b:\s+%d\b" % FIRMWARE)
        wait_for("the firmware of both sensors in the registry",
                 lambda: len(firmware_line.findall(log())) >= 2, alive=korvex)

        # Then each sensor's allocation table is read: two recordings each.
        for serial in serials:
            table_line = re.compile(r' Device MAT is complete for device:\s+"?%s"?\s+Number of measurements on device :\s+(\d+)'
                                    % serial)
            counts = wait_for("the table of %s" % serial, lambda: table_line.findall(log()), alive=korvex)
            assert counts[-1] == "2", "%s lists %r measurements" % (serial, counts)

        # The traffic of each link is logged, chunk by chunk.
        for serial in serials:
            name = ports[serial].replace("/", "_")
            sent = os.path.join(storage, "commlogs", "CommLogOut %s.dat" % name)
            heard = os.path.join(storage, "commlogs", "CommLogIn %s.dat" % name)
            reply = b"<SndSerial>" + int(serial, 16).to_bytes(8, "big") + b"</msg>\r\n"

            def logged():
                try:
                    with open(sent, "rb") as out_log, open(heard, "rb") as in_log:
                        out_bytes, in_bytes = out_log.read(), in_log.read()
                except OSError:
                    return False
                return (re.search(rb"<msg>.<GetSerial></msg>\r\n\|\|\|\|", out_bytes, re.S) is not None
                        and reply in in_bytes and in_bytes.endswith(b"||||"))

            wait_for("the communication logs of %s" % ports[serial], logged, alive=korvex)

        # The simulator goes away: its terminals vanish, the devices go offline.
        code = stop(sim, "the simulator")
        for link in links:
            os.unlink(link)
        assert code == 0, "the simulator ended with %d" % code
        for serial in serials:
            pattern = r"device\s+%s\s+disconnected, remove it\." % serial
            wait_for("device %s offline" % serial, lambda: re.search(pattern, log()), alive=korvex)
        # It keeps running through the next scans without the ports.
        time.sleep(6)
        assert korvex.poll() is None, "korvex ended after the ports vanished:\n" + log()[-4000:]

        code = stop(korvex, "korvex")
        text = log()
        assert code == 0, "korvex ended with %d:\n%s" % (code, text[-4000:])
        assert "Korvex destructor done." in text, text[-4000:]

        with open(request_log) as requests:
            lines = [line.split() for line in requests]
        for serial in serials:
            answered = [line for line in lines
                        if line[0] == serial and line[3] == "<GetSerial>" and line[5] == "answered"]
            assert answered, "no answered GetSerial for %s in %r" % (serial, lines)
            tokens = [line[3] for line in lines if line[0] == serial and line[5] == "answered"]
            first = {token: tokens.index(token) for token in ("<GetSerial>", "<GetTopState>", "<GetFirmware>")
                     if token in tokens}
            assert len(first) == 3 and first["<GetSerial>"] < first["<GetTopState>"] < first["<GetFirmware>"], \
                "state and firmware queries of %s missing or out of order: %r" % (serial, tokens)
            # The table (unit 0, block 1, page 0) is read after both.
            table_reads = [index for index, line in enumerate(
                line for line in lines if line[0] == serial and line[5] == "answered")
                if line[3] == "<GetFlashPage>" and line[4] == "00000100"]
            assert table_reads and table_reads[0] > first["<GetFirmware>"], \
                "the table of %s was not read after its state and firmware: %r" % (serial, tokens)
        print("ok: %s bound, queried and set offline" % ", ".join(serials))
    except BaseException:
        if os.path.exists(output_path):
            with open(output_path, "rb") as output:
                sys.stderr.write(output.read().decode("utf-8", "replace")[-6000:])
        raise
    finally:
        for process, name in ((korvex, "korvex"), (sim, "the simulator")):
            if process is not None and process.poll() is None:
                process.kill()
                process.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
