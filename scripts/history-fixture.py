#!/usr/bin/env python3
"""Writes a capture history of COUNT entries for journeys and benchmarks:
real PNG files in ROOT/History (a few distinct pictures, each file its own
copy) and ROOT/history.json, newest first. Optionally a broken picture and a
recording whose file is no video, to show placeholders.

    scripts/history-fixture.py ROOT COUNT [--size WxH] [--broken]"""
import argparse, json, os, shutil, struct, time, uuid, zlib

REFERENCE = time.mktime((2001, 1, 1, 0, 0, 0, 0, 0, 0)) - time.timezone


def png(width, height, seed):
    """A picture of coloured bands and a diagonal, distinct per seed."""
    base = ((seed * 67) % 200 + 30, (seed * 131) % 200 + 30, (seed * 29) % 200 + 30)
    rows = []
    for y in range(height):
        band = (y * 6 // height) % 2
        row = bytearray()
        colour = bytes(c // 2 if band else c for c in base)
        row += colour * width
        x = (y * width) // height
        row[x * 3:x * 3 + 24] = b"\xff" * min(24, len(row) - x * 3)
        rows.append(b"\x00" + bytes(row))
    raw = zlib.compress(b"".join(rows), 1)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", raw) + chunk(b"IEND", b"")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root")
    parser.add_argument("count", type=int)
    parser.add_argument("--size", default="1920x1080")
    parser.add_argument("--broken", action="store_true")
    args = parser.parse_args()
    width, height = (int(v) for v in args.size.split("x"))
    media = os.path.join(args.root, "History")
    os.makedirs(media, exist_ok=True)
    pictures = [png(width, height, seed) for seed in range(8)]
    now = time.time() - REFERENCE
    items = []
    for i in range(args.count):
        kind, name = "screenshot", f"Capture {i:04d}.png"
        data = pictures[i % len(pictures)]
        if args.broken and i == 1:
            data = b"this is not a picture"
        if args.broken and i == 2:
            kind, name, data = "recording", f"Recording {i:04d}.mp4", b"no video"
        path = os.path.join(media, name)
        with open(path, "wb") as f:
            f.write(data)
        items.append({"id": str(uuid.uuid4()).upper(), "fileName": name, "kind": kind,
                      "createdAt": now - i * 97.0, "pixelWidth": width, "pixelHeight": height,
                      "filePath": path})
    with open(os.path.join(args.root, "history.json"), "w") as f:
        json.dump(items, f, indent=2)


if __name__ == "__main__":
    main()
