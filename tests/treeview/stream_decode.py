#!/usr/bin/env python3
"""Reads a tree stream with nothing but struct and prints its nodes, one per line."""
import struct
import sys


def chunks(data, pos, end):
    while pos < end:
        kind, size = struct.unpack_from("<ii", data, pos)
        yield kind, data[pos + 8:pos + 8 + size]
        pos += 8 + size


def node(chunk, depth, out):
    fields = {}
    children = []
    for kind, body in chunks(chunk, 0, len(chunk)):
        if kind == 2:
            count, height, states, align, check_state, check_type = struct.unpack_from("<IIHBBB", body, 0)
            fields["head"] = f"children={count} height={height} states=0x{states:04x} check={check_state}/{check_type}"
            for child_kind, child in chunks(body, 17, len(body)):
                assert child_kind == 1
                children.append(child)
        elif kind == 3:
            fields["caption"] = f" caption={body.decode('utf-16-le')!r}"
        elif kind == 4:
            fields["user"] = f" user={body.hex()}"
    out.append("  " * depth + "node " + fields["head"] + fields.get("caption", "") + fields.get("user", ""))
    for child in children:
        node(child, depth + 1, out)


def main():
    data = open(sys.argv[1], "rb").read()
    marker = struct.unpack_from("<6H", data, 0)
    assert (marker[0], marker[1], marker[2], marker[5]) == (0x2045, ord("V"), ord("T"), 0x2046)
    count, = struct.unpack_from("<I", data, 12)
    out = [f"version {marker[3]} count {count}"]
    for kind, body in chunks(data, 16, len(data)):
        assert kind == 1
        node(body, 0, out)
    print("\n".join(out))


main()
