#!/usr/bin/env python3
"""Write a long book of many pages for the search benchmark: the sample book's chapters over
and over, each chapter cut into pages of a few paragraphs.

Usage: make_paged_book.py CHAPTERS PAGES_PER_CHAPTER OUT_DIR

OUT_DIR gets start.html (contents: a link to each chapter's first page) and
cCCCC-pPP.html for every page, each linking the contents and its neighbours, as the sample's
chapters do, plus the stylesheet.
"""

import html
import os
import re
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
BOOK = os.path.join(HERE, "..", "book")
BLOCK = re.compile(r'<div class="keep-with-text">.*?</div>', re.DOTALL)
H1 = re.compile(r"<h1>Chapter (\d+): (.*?)</h1>")


def name(chapter, page):
    return "c%04d-p%02d.html" % (chapter, page)


def main(argv):
    if len(argv) != 4 or not argv[1].isdigit() or not argv[2].isdigit():
        print(__doc__, file=sys.stderr)
        return 2
    chapters, per_chapter, out = int(argv[1]), int(argv[2]), argv[3]
    samples = []
    for number in range(1, 11):
        with open(os.path.join(BOOK, "chapter%02d.html" % number), encoding="utf-8") as handle:
            text = handle.read()
        samples.append((H1.search(text).group(2), BLOCK.findall(text)))
    os.makedirs(out, exist_ok=True)
    contents = []
    pages = 0
    for chapter in range(1, chapters + 1):
        title, blocks = samples[(chapter - 1) % 10]
        heading = "Chapter %d: %s" % (chapter, title)
        contents.append('<li><a href="%s">%s</a></li>' % (name(chapter, 1), html.escape(heading)))
        size = max(1, -(-len(blocks) // per_chapter))
        for page in range(1, per_chapter + 1):
            part = blocks[(page - 1) * size:page * size] or blocks[-1:]
            part = [H1.sub("<h1>%s</h1>" % heading, block) for block in part]
            if page > 1:
                part.insert(0, "<h1>%s (page %d)</h1>" % (heading, page))
            prev = name(chapter, page - 1) if page > 1 else "start.html"
            nxt = name(chapter, page + 1) if page < per_chapter else (
                name(chapter + 1, 1) if chapter < chapters else "start.html")
            with open(os.path.join(out, name(chapter, page)), "w", encoding="utf-8") as handle:
                handle.write('<!DOCTYPE html>\n<html lang="en"><head><meta charset="utf-8">'
                             '<title>%s</title><link rel="stylesheet" href="book.css"></head>'
                             '<body><div class="booknav top"><a href="start.html">Contents</a> '
                             '<a href="%s" rel="prev">Previous</a> <a href="%s" rel="next">Next'
                             '</a></div>\n%s\n</body></html>\n'
                             % (html.escape(heading), prev, nxt, "\n".join(part)))
            pages += 1
    with open(os.path.join(out, "start.html"), "w", encoding="utf-8") as handle:
        handle.write('<!DOCTYPE html>\n<html lang="en"><head><meta charset="utf-8"><title>'
                     'Contents</title></head><body><h1>Quorvel 101</h1><ol>\n%s\n</ol></body>'
                     '</html>\n' % "\n".join(contents))
    shutil.copy(os.path.join(BOOK, "book.css"), out)
    print("wrote %s (%d chapters, %d pages)" % (out, chapters, pages + 1))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
