#!/usr/bin/env python3
"""Count the headings a printed PDF leaves stranded: a heading that is the last thing on its
page, with its text only on the next one.

Usage: stranded_headings.py BOOK.html PRINTED.pdf [--list]

The headings (h1 to h3) are read from the HTML page, the PDF's text from poppler's pdftotext.
The running title and the "Page p of P" line that DA1011 adds to every page are not counted
as text. Prints the count (and with --list the stranded headings with their pages); exit
status 0 when there are none, 1 when there are some, 2 on an error.
"""

import html
import re
import subprocess
import sys

HEADING = re.compile(r"<h([1-3])\b[^>]*>(.*?)</h\1>", re.DOTALL | re.IGNORECASE)
TAG = re.compile(r"<[^>]+>")
PAGE_LINE = re.compile(r"^Page \d+ of \d+$")


def fold(text):
    return " ".join(text.split())


def headings(path):
    with open(path, encoding="utf-8") as handle:
        page = handle.read()
    found = [fold(html.unescape(TAG.sub("", text))) for _, text in HEADING.findall(page)]
    title = re.search(r"<title>(.*?)</title>", page, re.DOTALL | re.IGNORECASE)
    return [h for h in found if h], fold(html.unescape(title.group(1))) if title else ""


def page_texts(pdf):
    text = subprocess.run(["pdftotext", "-layout", pdf, "-"], capture_output=True, text=True,
                          check=True).stdout
    return text.split("\f")


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    names, title = headings(argv[1])
    stranded = []
    for number, page in enumerate(page_texts(argv[2]), start=1):
        lines = [fold(line) for line in page.splitlines()]
        lines = [line for line in lines
                 if line and not PAGE_LINE.match(line) and line != title]
        if not lines:
            continue
        tails = {" ".join(lines[-k:]) for k in range(1, 4)}
        for name in names:
            if name in tails:
                stranded.append((number, name))
                break
    print(len(stranded))
    if "--list" in argv:
        for number, name in stranded:
            print("  page %d: %s" % (number, name))
    return 1 if stranded else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
