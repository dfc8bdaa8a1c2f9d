#!/usr/bin/env python3
"""Writes the small seed corpus of every fuzz target into tests/fuzz/corpus/.

The seeds are built from the wire formats: reply frames, stream headers,
live packets, allocation-table pages and data pages. Run it again after
changing it; the output is deterministic.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
PAGE = 2048


def crc16(data):
    # CRC-16/ARC: reflected polynomial 0xA001, initial value 0.
    crc = 0
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def with_crc(block):
    return block + struct.pack(">H", crc16(block))


def frame(number, token, data=b""):
    return b"<msg>" + bytes([number]) + token + data + b"</msg>\r\n"


def static_header(count, measurement):
    return with_crc(struct.pack(">HHHQI", 0xDD88, count, 0x0102, measurement, 0x0A0B0C0D))


def device_header(serial, entries):
    return struct.pack(">QH", serial, len(entries)) + b"".join(entries)


def track(tid, width, ds, cfg):
    return struct.pack(">HBHB", tid, width, ds, cfg)


def group(mask, number, samples):
    return with_crc(struct.pack(">H", mask)) + struct.pack(">I", number) + samples


def packet(payload):
    return b"\xAA\x55" + bytes([len(payload)]) + payload + b"\xBB\x66"


def mat_entry(mid, start, stop, complete=True):
    head = with_crc(struct.pack(">QI", mid, start))
    tail = with_crc(struct.pack(">I", stop)) if complete else b"\xFF" * 6
    return head + tail


def erased(page):
    return page + b"\xFF" * (PAGE - len(page))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# Two tracks as the live and page targets set them up: 0x0110 (2 bytes) and
# the fusion quaternion 0x0141 (4 x 4 bytes).
def two_track_samples(n):
    return group(0x0003, n, struct.pack(">h", n % 300 - 150) + struct.pack(">iiii", n, -n, 2 * n, 7))


# Reply recognition of a query: first byte is the query's number.
write("message_query", "firmware_reply", bytes([0x35]) + frame(0x35, b"<SndFirmware>", b"\x00\x2a"))
write("message_query", "serial_reply_among_others",
      bytes([0x40]) + frame(0x3F, b"<OK>") + frame(0x40, b"<SndSerial>", bytes(7) + b"\xab") + frame(0x41, b"<NOK>"))
write("message_query", "rejection", bytes([0x3C]) + frame(0x3C, b"<NOK>"))
write("message_query", "truncated", bytes([0x50]) + frame(0x50, b"<SndTopState>", b"\x01")[:-3])
write("message_query", "state_reply", bytes([0x51]) + b"\x00\xff" + frame(0x51, b"<SndTopState>", b"\x01"))

# Stream header scan.
hdr = static_header(2, 0x1122334455667788) \
    + device_header(0xA1, [track(0x0110, 2, 1, 0), track(0x0111, 2, 1, 0), track(0x0112, 2, 4, 1)]) \
    + device_header(0xB2, [track(0x0310, 2, 100, 0), track(0x0141, 16, 2, 3)])
write("stream_header", "two_devices", hdr)
write("stream_header", "behind_stray_magic", b"\x00\xdd\x88\x00\x02" + hdr + b"tail")
write("stream_header", "cut_short", hdr[:45])
write("stream_header", "huge_device_count", static_header(65535, 5) + bytes(40))
write("stream_header", "two_headers", static_header(1, 0x10) + device_header(5, [track(0x0210, 4, 1, 0)])
      + static_header(1, 0x20) + device_header(6, []))

# Live stream: the input is cut into deliveries; see fuzz_live_stream.cpp.
stream = b"".join(packet(two_track_samples(n) + two_track_samples(n + 1)) for n in range(0, 40, 2))
write("live_stream", "packets", stream)
write("live_stream", "packets_with_noise", b"\x01\x02\xaa\x55\x05" + stream[:300] + b"\xaa\x55\xff" + stream[300:])
write("live_stream", "masked_bits_without_track", packet(group(0x0005, 9, b"\x00\x01\x00\x00\x00\x02")))
write("live_stream", "empty_packet", packet(b"") * 3)

# Allocation table page.
write("upload_mat", "three_entries",
      mat_entry(11, 0x0200, 0x0310) + mat_entry(12, 0x0311, 0x0500) + mat_entry(13, 0x0501, 0, False))
write("upload_mat", "full_table", b"".join(mat_entry(i + 1, i, i + 1) for i in range(102)) + bytes(8))
write("upload_mat", "erased", b"\xff" * 64)

# Data page.
page = b"".join(two_track_samples(n) for n in range(100, 180))
write("upload_data_page", "samples", page)
write("upload_data_page", "erased", b"\xff" * 32)
write("upload_data_page", "bad_mask_crc", group(0x0001, 1, b"\x00\x10")[:2] + b"\x00\x00" + bytes(40))
