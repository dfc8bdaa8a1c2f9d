#!/usr/bin/env python3
"""Writes the seed corpus of the record reader target into
tests/fuzz/corpus/records/: a user record, a track list with a scalar and a
vector track, the same list cut short, a device record and a measurement
record. Deterministic; run it again after
changing it."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
VERSION = struct.pack(">q", 20140409)


def qstring(text):
    data = text.encode("utf-16-be")
    return struct.pack(">I", len(data)) + data


def track(kind, track_id, unit, label, tag, samples, vectors):
    out = VERSION + struct.pack(">bihbbbd", kind, track_id, 0, 1, 2, 0, 1.0)
    out += qstring(unit) + qstring(label) + qstring(tag) + struct.pack(">dd", -17.0, 17.0)
    out += struct.pack(">I", len(samples))
    for number, value in sorted(samples, reverse=True):
        out += struct.pack(">Id", number, value)
    out += struct.pack(">I", len(vectors))
    for number, values in sorted(vectors, reverse=True):
        out += struct.pack(">II", number, len(values)) + b"".join(struct.pack(">d", v) for v in values)
    return out


def track_list():
    tracks = {
        0x0110: track(0, 0x0110, "g", "Acc. X", "AccX", [(10, 0.5), (11, 2.0), (12, -1.0)], []),
        0x0140: track(1, 0x0140, "Quaternion", "Fusion raw DMP", "UnkownTrack_320", [],
                      [(10, [1.0, 0.0, 0.0, 0.0]), (11, [0.5, 0.5, 0.5, 0.5])]),
    }
    out = VERSION + struct.pack(">qqi", 0xAB12, 0x5F00D, len(tracks))
    for track_id in sorted(tracks, reverse=True):
        out += struct.pack(">H", track_id) + tracks[track_id]
    order = [0x0140, 0x0110]
    out += struct.pack(">i", len(order)) + b"".join(struct.pack(">H", i) for i in order)
    return out


def address_map(entries):
    out = struct.pack(">I", len(entries))
    for serial, address in sorted(entries.items(), reverse=True):
        out += struct.pack(">QI", serial, address)
    return out


def measurement():
    out = VERSION + struct.pack(">q", 0x1F)
    out += address_map({0xAB: 0x10, 0x2: 0x01000000}) + address_map({0xAB: 0x20})
    out += qstring("Sprint") + qstring("Two sensors") + qstring("Anna")
    # 2015-05-13 07:08:56 local time: julian day, ms of the day, time spec
    out += struct.pack(">qIb", 2457156, (7 * 3600 + 8 * 60 + 56) * 1000, 0)
    out += struct.pack(">h", 400) + address_map({0x2: 5})
    return out


def main():
    folder = os.path.join(HERE, "corpus", "records")
    os.makedirs(folder, exist_ok=True)
    seeds = {
        "user": VERSION + struct.pack(">q", 0x123456789) + qstring("Max Muster"),
        "track_list": track_list(),
        "track_list_cut": track_list()[:150],
        "huge_count": VERSION + struct.pack(">qqi", 1, 2, -1),
        "device": VERSION + struct.pack(">q", 0x1A2B) + qstring("1122aabbcc") + qstring("ttyUSB0"),
        "measurement": measurement(),
    }
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
