#!/usr/bin/env python3
"""Write a long book for the print benchmark: the sample book's chapters over and over.

Usage: make_long_book.py COPIES OUT_DIR

OUT_DIR gets "long.html" (the whole-book page with COPIES rounds of the ten chapters, each
chapter numbered on and with ids of its own, and a contents list linking them all) and the
stylesheet and pictures it uses. One round prints on about 70 A4 pages.
"""

import os
import re
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
BOOK = os.path.join(HERE, "..", "book")
CHAPTER = re.compile(r'(<div class="chapter book-chapter">.*?<!-- chapter-body:end -->\n</div>)',
                     re.DOTALL)
ID = re.compile(r'\b(id|name)="([^"]+)"')
H1 = re.compile(r"<h1>Chapter (\d+): (.*?)</h1>")


def main(argv):
    if len(argv) != 3 or not argv[1].isdigit() or int(argv[1]) < 1:
        print(__doc__, file=sys.stderr)
        return 2
    copies, out = int(argv[1]), argv[2]
    with open(os.path.join(BOOK, "Quorvel 101.HTM"), encoding="utf-8") as handle:
        book = handle.read()
    chapters = CHAPTER.findall(book)
    head = book[:book.index('<div class="contents book-contents">')]
    tail = book[book.rindex("</div>", 0, book.index('<div class="booknav bottom">')) + 6:]

    contents, body = [], []
    number = 0
    for round_ in range(1, copies + 1):
        for chapter in chapters:
            number += 1
            suffix = "-r%d" % round_
            text = ID.sub(lambda m: '%s="%s%s"' % (m.group(1), m.group(2), suffix), chapter)
            text = H1.sub(lambda m: "<h1>Chapter %d: %s</h1>" % (number, m.group(2)), text, 1)
            title = H1.search(text)
            anchor = re.search(r'<a id="([^"]+)"', text).group(1)
            contents.append('<li><a href="#%s">Chapter %d: %s</a></li>'
                            % (anchor, number, title.group(2) if title else ""))
            body.append(text)
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "long.html"), "w", encoding="utf-8") as handle:
        handle.write(head)
        handle.write('<div class="contents book-contents">\n<h2 id="contents">Contents</h2>\n<ol>\n')
        handle.write("\n".join(contents))
        handle.write("\n</ol>\n</div>\n")
        handle.write("\n".join(body))
        handle.write(tail)
    for name in ("book.css", "cover.png", "patterns.png"):
        shutil.copy(os.path.join(BOOK, name), out)
    print("wrote %s (%d chapters)" % (os.path.join(out, "long.html"), number))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
