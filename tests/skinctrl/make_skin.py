#!/usr/bin/env python3
"""Makes skin fixtures for the tests: skin record data (SK2) and skin archives (.vxk).

  make_skin.py sk2 OUT LAYOUT_JSON
      LAYOUT: {"header_length": 24, "first": <position>, "truncate": <length>,
             "records": [{"name": "A", "type": 1, "value": {...},
                          "value_pos": <int>, "value_len": <int>, "next": <int> | "first"}]}
      Records follow the 24-byte header, values follow the records; each record's next
      position is the following record's, the last one's 0 (unless given). Values:
      {"int": n} (4 bytes), {"int16": n} (2 bytes), {"byte": n}, {"bytes4": n},
      {"text": "..."}, {"file": path}, {"raw": "hex"}, {"bmp": [w, h]}, {"same_as": i} (no bytes of its own:
      the record names record i's value).
      "repeat": [record, n] appends n copies of the record before the last record.
  make_skin.py vxk OUT SK2_FILE [--name NAME] [--password P] [--store] [--comment TEXT]
                                [--pk] [--flip-crc] [--grow-size] [--method N]
      Packs the file with Info-ZIP zip as the single entry NAME (default SKINDATA.SK2;
      "../" and "dir/" names are written into the headers afterwards), checks it with
      unzip -t, and turns its first two bytes into "SK" unless --pk.
  make_skin.py bomb OUT MEGABYTES
      A skin archive whose entry inflates to that many megabytes of zeros.
"""
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

RECORD = 77


def value_bytes(v):
    if "int" in v:
        return struct.pack("<i", v["int"])
    if "int16" in v:
        return struct.pack("<h", v["int16"])
    if "byte" in v:
        return struct.pack("<B", v["byte"])
    if "bytes4" in v:
        return struct.pack("<I", v["bytes4"])
    if "text" in v:
        return v["text"].encode("latin-1")
    if "file" in v:
        with open(v["file"], "rb") as f:
            return f.read()
    if "raw" in v:
        return bytes.fromhex(v["raw"])
    if "same_as" in v:
        return b""
    if "bmp" in v:  # [width, height]: a 24-bit BMP of one colour
        w, h = v["bmp"]
        stride = (3 * w + 3) // 4 * 4
        pixels = (b"\x20\x40\xc0" * w + b"\0" * (stride - 3 * w)) * h
        info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
        return b"BM" + struct.pack("<IHHI", 14 + 40 + len(pixels), 0, 0, 54) + info + pixels
    raise SystemExit("unknown value %r" % v)


def sk2(out, layout):
    records = list(layout.get("records", []))
    if "repeat" in layout:
        record, n = layout["repeat"]
        records[-1:-1] = [record] * n
    positions = [24 + i * RECORD for i in range(len(records))]
    values = [value_bytes(r.get("value", {"raw": ""})) for r in records]
    value_pos = []
    at = 24 + len(records) * RECORD
    for v in values:
        value_pos.append(at)
        at += len(v)
    for i, r in enumerate(records):
        same = r.get("value", {}).get("same_as")
        if same is not None:
            value_pos[i] = value_pos[same]
            values[i] = values[same]
    data = bytearray(at)
    first = layout.get("first", positions[0] if positions else 0)
    data[0:24] = b"SK2 SKINDATA" + struct.pack("<I", layout.get("header_length", 24)) + b"\0" * 4 + struct.pack("<I", first)
    for i, r in enumerate(records):
        nxt = r.get("next", positions[i + 1] if i + 1 < len(records) else 0)
        if nxt == "first":
            nxt = first
        name = r["name"].encode("latin-1")
        name = name[:64] + b"\0" * (64 - min(len(name), 64))
        rec = name + struct.pack("<B", r.get("type", 1)) + struct.pack(
            "<III", r.get("value_pos", value_pos[i]), r.get("value_len", len(values[i])), nxt)
        data[positions[i]:positions[i] + RECORD] = rec
        data[value_pos[i]:value_pos[i] + len(values[i])] = values[i]
    if "truncate" in layout:
        data = data[:layout["truncate"]]
    with open(out, "wb") as f:
        f.write(data)


def patch_headers(data, old_name, new_name, flip_crc, grow_size, method):
    end = len(data) - 22
    central = struct.unpack_from("<I", data, end + 16)[0]
    local = struct.unpack_from("<I", data, central + 42)[0]
    if new_name is not None:
        assert len(old_name) == len(new_name)
        data[central + 46:central + 46 + len(old_name)] = new_name
        data[local + 30:local + 30 + len(old_name)] = new_name
    if flip_crc:
        crc = struct.unpack_from("<I", data, central + 16)[0] ^ 0x00010000
        struct.pack_into("<I", data, central + 16, crc)
        if not struct.unpack_from("<H", data, local + 6)[0] & 8:
            struct.pack_into("<I", data, local + 14, crc)
    if grow_size:
        size = struct.unpack_from("<I", data, central + 24)[0] + 1
        struct.pack_into("<I", data, central + 24, size)
        if not struct.unpack_from("<H", data, local + 6)[0] & 8:
            struct.pack_into("<I", data, local + 22, size)
    if method is not None:
        struct.pack_into("<H", data, central + 10, method)
        struct.pack_into("<H", data, local + 8, method)


def vxk(out, sk2_file, args):
    name = "SKINDATA.SK2"
    password = None
    store = pk = flip_crc = grow_size = False
    comment = None
    method = None
    i = 0
    while i < len(args):
        a = args[i]
        if a == "--name":
            name = args[i + 1]; i += 1
        elif a == "--password":
            password = args[i + 1]; i += 1
        elif a == "--comment":
            comment = args[i + 1]; i += 1
        elif a == "--method":
            method = int(args[i + 1]); i += 1
        elif a == "--store":
            store = True
        elif a == "--pk":
            pk = True
        elif a == "--flip-crc":
            flip_crc = True
        elif a == "--grow-size":
            grow_size = True
        else:
            raise SystemExit("unknown option " + a)
        i += 1
    work = tempfile.mkdtemp()
    try:
        # Names zip cannot take from a file are written over a stand-in of the same length.
        stand_in = name
        if name.startswith("../"):
            stand_in = "xx" + name[2:]
        entry = os.path.join(work, stand_in)
        os.makedirs(os.path.dirname(entry), exist_ok=True)
        shutil.copyfile(sk2_file, entry)
        archive = os.path.join(work, "out.zip")
        cmd = ["zip", "-q", "-X"]
        if store:
            cmd.append("-0")
        if password is not None:
            cmd += ["-P", password]
        if comment is not None:
            cmd.append("-z")
        cmd += [archive, stand_in]
        subprocess.run(cmd, cwd=work, check=True,
                       input=(comment or "").encode() if comment is not None else None)
        test = ["unzip", "-tq"] + (["-P", password] if password is not None else []) + [archive]
        subprocess.run(test, check=True, stdout=subprocess.DEVNULL)
        with open(archive, "rb") as f:
            data = bytearray(f.read())
    finally:
        shutil.rmtree(work)
    if comment is None:
        patch_headers(data, stand_in.encode(), name.encode() if stand_in != name else None, flip_crc, grow_size, method)
    if not pk:
        data[0:2] = b"SK"
    with open(out, "wb") as f:
        f.write(data)


def bomb(out, megabytes):
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        with z.open("SKINDATA.SK2", "w", force_zip64=False) as f:
            chunk = b"\0" * (1 << 20)
            for _ in range(megabytes):
                f.write(chunk)
    with open(out, "r+b") as f:
        f.write(b"SK")


def main():
    if len(sys.argv) < 4:
        raise SystemExit(__doc__)
    kind, out = sys.argv[1], sys.argv[2]
    if kind == "sk2":
        sk2(out, json.loads(sys.argv[3]))
    elif kind == "vxk":
        vxk(out, sys.argv[3], sys.argv[4:])
    elif kind == "bomb":
        bomb(out, int(sys.argv[3]))
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main()
