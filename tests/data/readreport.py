#!/usr/bin/env python3
"""Reads a report file back with a reference reader and prints its cells as JSON:
{"sheets": [names], "rows": [[cell, ...], ...]} with every header row included.

Formats: html (html.parser: the table's cells, markup inside cells, outside references), json,
tsv, csv-utf8, csv-1252 (the csv and json modules: every csv field is a string), xlsx (openpyxl),
lo-csv (a CSV that LibreOffice wrote with every text quoted: bare fields are numbers), pdf-text
(pdftotext: {"text": the words of the pages, one blank between them})."""
import csv
import html.parser
import json
import re
import subprocess
import sys


def unescape(value):
    """A spreadsheet's text with its _xHHHH_ escapes decoded, as Excel reads it (openpyxl leaves
    them in inline strings)."""
    if not isinstance(value, str):
        return value
    return re.sub(r"_x([0-9A-Fa-f]{4})_", lambda m: chr(int(m.group(1), 16)), value)


class PageCells(html.parser.HTMLParser):
    """The cells of a web page's table row by row, with what must not be there: markup inside a
    cell, and any reference to something outside the page."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.rows, self.markup, self.outside = [], [], []
        self.cell = None

    def handle_starttag(self, tag, attrs):
        if self.cell is not None:
            self.markup.append(tag)
        if tag == "tr":
            self.rows.append([])
        elif tag in ("td", "th"):
            self.cell = ""
        for name, value in attrs:
            if name in ("src", "href", "action", "srcset", "xlink:href", "poster", "data") and \
                    value and not value.startswith(("#", "data:")):
                self.outside.append(f"{tag} {name}={value}")
        if tag in ("link", "iframe", "object", "embed", "base"):
            self.outside.append(tag)

    def handle_endtag(self, tag):
        if tag in ("td", "th") and self.cell is not None:
            self.rows[-1].append(self.cell)
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data
        elif re.search(r"url\(|@import", data):
            self.outside.append(data.strip()[:80])


def read(kind, path):
    if kind == "html":
        page = PageCells()
        with open(path, encoding="utf-8", newline="") as f:
            page.feed(f.read())
        page.close()
        return {"sheets": [], "rows": page.rows, "markup": page.markup, "outside": page.outside}
    if kind == "pdf-text":
        # Every value of the pages, as pdftotext (poppler-utils) reads them off.
        text = subprocess.run(["pdftotext", "-enc", "UTF-8", path, "-"], check=True,
                              capture_output=True).stdout.decode("utf-8")
        return {"sheets": [], "rows": [], "text": " ".join(text.split())}
    if kind == "json":
        with open(path, encoding="utf-8") as f:
            objects = json.load(f)
        rows = []
        for o in objects:
            if not rows:
                rows.append(list(o.keys()))
            rows.append(list(o.values()))
        return {"sheets": [], "rows": rows, "keys": [list(o.keys()) for o in objects]}
    if kind == "tsv":
        with open(path, encoding="utf-8", newline="") as f:
            lines = f.read().split("\n")
        assert lines[-1] == "", "no line end after the last line"
        return {"sheets": [], "rows": [line.split("\t") for line in lines[:-1]]}
    if kind in ("csv-utf8", "csv-1252"):
        encoding = "utf-8-sig" if kind == "csv-utf8" else "cp1252"
        with open(path, encoding=encoding, newline="") as f:
            return {"sheets": [], "rows": list(csv.reader(f))}
    if kind == "lo-csv":
        with open(path, encoding="utf-8", newline="") as f:
            return {"sheets": [], "rows": list(csv.reader(f, quoting=csv.QUOTE_NONNUMERIC))}
    if kind == "xlsx":
        import openpyxl
        # (from an open file, so that a workbook under any name is read, fees.txt as well)
        book = openpyxl.load_workbook(open(path, "rb"))
        rows = []
        for sheet in book.worksheets:
            rows.extend([unescape(v) for v in r] for r in sheet.iter_rows(values_only=True))
        first = book.worksheets[0]
        return {"sheets": book.sheetnames, "rows": rows,
                "frozen": [s.freeze_panes for s in book.worksheets],
                "bold": [c.font.b for c in first[1]],
                "formats": [c.number_format for c in first[2]] if first.max_row > 1 else []}
    raise SystemExit("unknown kind " + kind)


if __name__ == "__main__":
    json.dump(read(sys.argv[1], sys.argv[2]), sys.stdout)
