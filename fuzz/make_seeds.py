#!/usr/bin/env python3
"""Writes the fuzz targets' seed inputs into fuzz/corpus/<target>/.

Each target reads its inputs with libFuzzer's FuzzedDataProvider: bytes from
the front, numbers from the back, most significant byte first. Input builds
an input the same way, so each seed means what its line here says."""
import hashlib
import os
import sys


class Input:
    def __init__(self):
        self.front = b""
        self.back = []  # in the order the target takes them

    def number(self, value, low, high):
        span, size = high - low, 0
        while size < 8 and span >> (8 * size) > 0:
            size += 1
        value -= low
        for i in reversed(range(size)):
            self.back.append((value >> (8 * i)) & 0xFF)
        return self

    def bytes(self, data):
        self.front += data
        return self

    def data(self):
        return self.front + bytes(reversed(self.back))


def velmorin(text, memory=0, to=0, frm=0):
    return Input().number(memory, 0, 3).number(to, 0, 63).number(frm, 0, 63).bytes(text).data()


def keys(data, events=False, chunks=1):
    return Input().number(int(events), 0, 255).number(chunks, 0, 2**32 - 1).bytes(data).data()


def screen(width, height, column, row, operations, fg=7, bg=0, seed=0):
    i = Input().number(fg, 0, 15).number(bg, 0, 15)
    for side in (width, height):
        large = side > 40
        i.number(0 if large else 1, 0, 3).number(side, 1, 300 if large else 40)
    i.number(seed, 0, 255).number(column, 0, width - 1).number(row, 0, height - 1)
    for op in operations:
        if op == "line end":
            i.number(0, 0, 3)
        elif op[0] == "text":
            text, borrowed = op[1], len(op) > 2
            i.number(1, 0, 3).number(int(borrowed), 0, 255).number(len(text), 0, 2 * width + 2).bytes(text)
        else:  # ("repeat", piece, times)
            piece, times = op[1], op[2]
            i.number(3, 0, 3).number(len(piece), 1, 8).bytes(piece)
            i.number(times, 1, (width * height + 2 * width) // len(piece) + 1)
    return i.data()


SEEDS = {
    "velmorin": [
        velmorin(b"dit is een zin."),
        velmorin(b"  twee  spaties", to=3, frm=60),
        velmorin(b"een\ttab jean-luc o'neil ABC def 123abc"),
        velmorin(b"\xe9a b\xa0c \x7fd `e {f @g [h"),
        velmorin(b"a\x00b c", to=1),
        velmorin(b"dit is een zin.", memory=1),
        velmorin(b"dit is een zin.", memory=2),
        velmorin(b"dit is een zin.", memory=3),
        velmorin(b"", memory=0),
        velmorin(b"word " * 40 + b"z\x00 tail " * 3, to=17, frm=33),
    ],
    "key_decoder": [
        keys(b"hI!\r\t\x7f \x03\x00\x1c"),
        keys(b"\x1b[A\x1b[1;5C\x1bOP\x1b[15;5~\x1b[[A\x1b[Z", chunks=7),
        keys(b"\x1ba\x1b\x1b\x1b[\x1bO\x1b", chunks=3),
        keys(b"\xc3\xa9\xe2\x94\x80\xf0\x9f\x98\x80\xff\xc3a", chunks=11),
        keys(b"\x1b[97;2u\x1b[49:33;2u\x1b[0;;233u\x1b[57414u\x1b[27;5;99~"),
        keys(b"\x1b[57441;2u\x1b[97;2u\x1b[97;2:3u\x1b[57441;1:3u\x1b[1;1:3A", events=True, chunks=5),
        keys(b"a\x1b[?31ub\x1b[?62;22c\x1b[12;40R\x1b[<0;3;4M\x1b[200~c\x1b[201~\x1b[I\x1b[O"),
        keys(b"\x1b[99z\x1b[1 q\x1bOz\x1b[1;\x03\x1b[" + b"1" * 70, chunks=9),
    ],
    "screen_writer": [
        screen(80, 25, 0, 0, [("text", b"Dit Is Een Zin."), "line end"]),
        screen(16, 4, 0, 0, [("text", b"abcdefghijklmnop"), "line end", ("text", b"next")]),
        screen(16, 3, 0, 2, [("text", b"abcdefghijklmnop"), ("text", b"xy", "borrowed")]),
        screen(16, 3, 0, 2, [("text", b"abcdefghijklmnop"), "line end", ("text", b"")]),
        screen(16, 2, 10, 0, [("text", b"\x07\x08\x09\x0a\x0d\x00\xff\x80Z")], fg=14, bg=1),
        screen(1, 1, 0, 0, [("text", b"abc"), "line end", ("text", b"d")]),
        screen(9, 1, 4, 0, [("repeat", b"xyz", 7), "line end"]),
        screen(255, 3, 250, 2, [("repeat", b"0123456789", 60), "line end", "line end"]),
        screen(300, 260, 290, 259, [("repeat", b"wide", 200), ("text", b"q" * 40)], fg=2, bg=12),
    ],
}


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
    for target, inputs in SEEDS.items():
        folder = os.path.join(root, target)
        os.makedirs(folder, exist_ok=True)
        for data in inputs:
            name = hashlib.sha1(data).hexdigest()
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
