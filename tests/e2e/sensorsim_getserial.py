#!/usr/bin/env python3
"""Starts korvex-sensorsim with two sensors and three recorded measurements each,
asks the first sensor for its serial over its pseudo-terminal, and checks that
the reply carries the serial the simulator printed. Then closes and reopens the
terminal and reads the allocation table, which must list the three recordings.
Standard library only."""

import os
import select
import signal
import subprocess
import sys
import tempfile
import time


def crc16_arc(data):
    crc = 0
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def read_frame(fd, timeout):
    """Reads until a frame end arrives; returns everything read."""
    received = b""
    deadline = time.monotonic() + timeout
    while not received.endswith(b"</msg>\r\n"):
        left = deadline - time.monotonic()
        if left <= 0:
            raise AssertionError("no complete reply within %.1f s, got %r" % (timeout, received[:200]))
        ready, _, _ = select.select([fd], [], [], left)
        if ready:
            received += os.read(fd, 65536)
    return received


def read_lines(fd, count, timeout):
    """Reads count lines from a pipe without waiting past the timeout."""
    received = b""
    deadline = time.monotonic() + timeout
    while received.count(b"\n") < count:
        left = deadline - time.monotonic()
        if left <= 0:
            raise AssertionError("the simulator printed only %r within %.1f s" % (received, timeout))
        ready, _, _ = select.select([fd], [], [], left)
        if ready:
            chunk = os.read(fd, 4096)
            if not chunk:
                raise AssertionError("the simulator ended early, after printing %r" % received)
            received += chunk
    return received.decode().splitlines()[:count]


def main():
    program = sys.argv[1]
    log_dir = tempfile.TemporaryDirectory()
    log_path = os.path.join(log_dir.name, "requests.log")
    sim = subprocess.Popen([program, "--sensors", "2", "--recorded", "3", "--request-log", log_path],
                           stdout=subprocess.PIPE, bufsize=0)
    try:
        lines = [line.split() for line in read_lines(sim.stdout.fileno(), 2, 30)]
        assert all(len(line) == 2 for line in lines), lines
        serials = [line[0] for line in lines]
        paths = [line[1] for line in lines]
        assert len(set(serials)) == 2 and len(set(paths)) == 2, lines
        serial = int(serials[0], 16)

        fd = os.open(paths[0], os.O_RDWR | os.O_NOCTTY)
        try:
            os.write(fd, b"<msg>1<GetSerial></msg>\r\n")
            reply = read_frame(fd, 10)
            expected = b"<msg>1<SndSerial>" + serial.to_bytes(8, "big") + b"</msg>\r\n"
            assert reply == expected, "reply %r, expected %r" % (reply, expected)
        finally:
            os.close(fd)

        # The host may close and open the port again.
        fd = os.open(paths[0], os.O_RDWR | os.O_NOCTTY)
        try:
            os.write(fd, b"<msg>2<GetFlashPage>\x00\x00\x01\x00</msg>\r\n")
            reply = read_frame(fd, 10)
            head = b"<msg>2<SndFlashPage>"
            assert reply.startswith(head) and len(reply) == len(head) + 2048 + 8, reply[:40]
            table = reply[len(head):len(head) + 2048]
            complete = 0
            for at in range(0, 2040, 20):
                entry = table[at:at + 20]
                if crc16_arc(entry[0:12]) != int.from_bytes(entry[12:14], "big"):
                    break
                assert crc16_arc(entry[14:18]) == int.from_bytes(entry[18:20], "big"), entry.hex()
                complete += 1
            assert complete == 3, "the table lists %d complete measurements" % complete
        finally:
            os.close(fd)
    finally:
        sim.send_signal(signal.SIGTERM)
        try:
            code = sim.wait(timeout=30)
        except subprocess.TimeoutExpired:
            sim.kill()
            sim.wait()
            raise AssertionError("the simulator did not stop on SIGTERM")
    assert code == 0, "the simulator ended with %d" % code
    with open(log_path) as log:
        requests = [line.split() for line in log]
    assert requests[0] == [serials[0], requests[0][1], "31", "<GetSerial>", "-", "answered"], requests
    assert requests[1][3:] == ["<GetFlashPage>", "00000100", "answered"], requests
    assert len(requests) == 2, requests
    log_dir.cleanup()
    print("ok: serial %s answered on %s" % (serials[0], paths[0]))


if __name__ == "__main__":
    main()
