#!/usr/bin/env python3
"""Independent readers of the tree's exports: `csv FILE` prints the rows the csv module
reads; `html FILE` checks that the tags nest and prints the cell texts, one per line;
`wrapper FILE` checks the clipboard wrapper's offsets and prints the fragment's length."""
import csv
import html.parser
import json
import sys


def read_csv(path):
    with open(path, newline="", encoding="utf-8") as f:
        for row in csv.reader(f):
            print(json.dumps(row, ensure_ascii=False))


class Cells(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.stack = []
        self.text = None
        self.cells = []

    def handle_starttag(self, tag, attrs):
        self.stack.append(tag)
        if tag in ("td", "th"):
            self.text = ""

    def handle_endtag(self, tag):
        if not self.stack or self.stack[-1] != tag:
            raise SystemExit(f"unbalanced </{tag}> inside {self.stack}")
        self.stack.pop()
        if tag in ("td", "th"):
            self.cells.append(self.text)
            self.text = None

    def handle_data(self, data):
        if self.text is not None:
            self.text += data


def read_html(path):
    parser = Cells()
    parser.feed(open(path, encoding="utf-8").read())
    parser.close()
    if parser.stack:
        raise SystemExit(f"unclosed {parser.stack}")
    for cell in parser.cells:
        print(json.dumps(cell, ensure_ascii=False))


def read_wrapper(path):
    data = open(path, "rb").read()
    header = dict(line.split(":", 1) for line in data[:97].decode("ascii").split("\r\n") if line)
    start_html, end_html = int(header["StartHTML"]), int(header["EndHTML"])
    start, end = int(header["StartFragment"]), int(header["EndFragment"])
    assert data[start_html:].startswith(b"<!DOCTYPE"), "StartHTML"
    assert end_html == len(data), "EndHTML"
    assert data[:start].endswith(b"<!--StartFragment-->"), "StartFragment"
    assert data[end:].startswith(b"<!--EndFragment-->"), "EndFragment"
    print(end - start)


{"csv": read_csv, "html": read_html, "wrapper": read_wrapper}[sys.argv[1]](sys.argv[2])
