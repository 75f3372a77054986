#!/usr/bin/env python3
"""Build "Quorvel 101.HTM", the whole book on one page, from the chapter pages.

The chapter pages (chapter01.html, chapter02.html, ...) are the master copy of
the text.  Each one marks its chapter text with

    <!-- chapter-body:start -->
    ...
    <!-- chapter-body:end -->

and this script copies that text, unchanged, into a single page that begins
with the title block of start.html (between <!-- title-block:start --> and
<!-- title-block:end -->) and a contents list with in-page links.

Usage:
    python3 build_whole_book.py            write "Quorvel 101.HTM"
    python3 build_whole_book.py --check    exit 0 if "Quorvel 101.HTM" is up to
                                           date, 1 if it is stale or missing,
                                           2 if the chapter pages are broken
    python3 build_whole_book.py --keep-headings
                                           wrap each heading of the chapter pages
                                           with the start of its text (see
                                           keep_headings_with_text), then write
                                           the book

Only the Python standard library is used, and the output depends on nothing
but the input files, so the same pages always give the same book.
"""

import argparse
import difflib
import html
import os
import re
import sys

WHOLE_BOOK_NAME = "Quorvel 101.HTM"
START_PAGE_NAME = "start.html"
BODY_START = "<!-- chapter-body:start -->"
BODY_END = "<!-- chapter-body:end -->"
TITLE_START = "<!-- title-block:start -->"
TITLE_END = "<!-- title-block:end -->"
CHAPTER_FILE = re.compile(r"^chapter(\d+)\.html$")
H1 = re.compile(r"<h1[^>]*>(.*?)</h1>", re.DOTALL | re.IGNORECASE)
AUTHOR = re.compile(r'<p class="author">(.*?)</p>', re.DOTALL)
KEEP_OPEN = '<div class="keep-with-text">'
# A heading (h1 to h3) directly followed by the first paragraph or list of its text, and not
# yet kept together with it.
HEADING_AND_TEXT = re.compile(
    r"(?<!" + re.escape(KEEP_OPEN) + r"\n)"
    r"(<h([1-3])\b[^>]*>.*?</h\2>)\n(<(p|ul|ol)\b[^>]*>.*?</\4>)",
    re.DOTALL | re.IGNORECASE)


class BookError(Exception):
    """A chapter page or the start page cannot be used to build the book."""


def read_text(path):
    with open(path, "rb") as handle:
        data = handle.read()
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as exc:
        raise BookError("%s is not valid UTF-8: %s" % (path, exc))
    # Line endings may have been changed by a checkout; the book always uses "\n".
    return text.replace("\r\n", "\n").replace("\r", "\n")


def between(text, start, end, path):
    """Return the text between the only pair of start/end markers in text."""
    if text.count(start) != 1 or text.count(end) != 1:
        raise BookError("%s must contain exactly one %s and one %s (found %d and %d)"
                        % (path, start, end, text.count(start), text.count(end)))
    first = text.index(start) + len(start)
    last = text.index(end)
    if last < first:
        raise BookError("%s has %s before %s" % (path, end, start))
    return text[first:last].strip("\n")


def find_chapters(book_dir):
    chapters = []
    for name in os.listdir(book_dir):
        match = CHAPTER_FILE.match(name)
        if match:
            chapters.append((int(match.group(1)), name))
    chapters.sort()
    if not chapters:
        raise BookError("no chapter pages (chapterNN.html) found in %s" % book_dir)
    numbers = [number for number, _ in chapters]
    if numbers != list(range(1, len(chapters) + 1)):
        raise BookError("chapter pages must be numbered 1..N without gaps, found %s"
                        % ", ".join(str(n) for n in numbers))
    return [name for _, name in chapters]


def chapter_title(body, path):
    match = H1.search(body)
    if not match:
        raise BookError("%s: the chapter text has no <h1> title" % path)
    title = " ".join(match.group(1).split())
    if not title:
        raise BookError("%s: the <h1> title is empty" % path)
    return title


def keep_headings_with_text(text):
    """Wrap every heading and the start of its text in a block that a printed page does
    not split, so no heading is left alone at the foot of a page.  (The web engine the
    reader prints with ignores break-after: avoid on headings.)  Text already wrapped is
    left as it is."""
    return HEADING_AND_TEXT.sub(
        lambda match: "%s\n%s\n%s\n</div>" % (KEEP_OPEN, match.group(1), match.group(3)),
        text)


def anchor_for(name):
    return os.path.splitext(name)[0]  # chapter01.html -> chapter01


def build(book_dir):
    """Return the text of the whole-book page."""
    start_path = os.path.join(book_dir, START_PAGE_NAME)
    title_block = between(read_text(start_path), TITLE_START, TITLE_END, start_path)

    chapters = []
    for name in find_chapters(book_dir):
        path = os.path.join(book_dir, name)
        body = between(read_text(path), BODY_START, BODY_END, path)
        chapters.append((name, chapter_title(body, path), keep_headings_with_text(body)))

    out = []
    out.append("<!DOCTYPE html>")
    out.append('<html lang="en">')
    out.append("<head>")
    out.append('<meta charset="utf-8">')
    out.append('<meta name="viewport" content="width=device-width, initial-scale=1">')
    out.append("<title>Quorvel 101 - The Whole Book</title>")
    author = AUTHOR.search(title_block)
    if author:
        # Printed PDFs take their Author from here.
        out.append('<meta name="author" content="%s">'
                   % html.escape(" ".join(html.unescape(author.group(1)).split())))
    out.append('<link rel="stylesheet" type="text/css" href="book.css">')
    out.append("</head>")
    out.append('<body class="wholebook">')
    out.append("<!-- This page is made by build_whole_book.py from the chapter pages.")
    out.append("     Change the chapter pages, then run the script again. -->")
    out.append('<div class="booknav top">')
    out.append('<a id="top" name="top" href="start.html">Contents page</a>')
    out.append("</div>")
    out.append("")
    out.append(title_block)
    out.append("")
    out.append('<div class="contents book-contents">')
    out.append('<h2 id="contents">Contents</h2>')
    out.append("<ol>")
    for name, title, _ in chapters:
        out.append('<li><a href="#%s">%s</a></li>' % (anchor_for(name), title))
    out.append("</ol>")
    out.append("</div>")
    for name, _, body in chapters:
        anchor = anchor_for(name)
        out.append("")
        out.append('<div class="chapter book-chapter">')
        out.append('<a id="%s" name="%s"></a>' % (anchor, anchor))
        out.append("<!-- from %s -->" % html.escape(name))
        out.append(BODY_START)
        out.append(body)
        out.append(BODY_END)
        out.append("</div>")
    out.append("")
    out.append('<div class="booknav bottom">')
    out.append('<a href="#top">Back to the top</a> &middot;')
    out.append('<a href="start.html">Contents page</a>')
    out.append("</div>")
    out.append("</body>")
    out.append("</html>")
    return "\n".join(out) + "\n"


def check(book_dir, output_path, expected):
    if not os.path.exists(output_path):
        print("%s is missing. Run: python3 build_whole_book.py" % output_path,
              file=sys.stderr)
        return 1
    with open(output_path, "rb") as handle:
        data = handle.read()
    actual = data.decode("utf-8", errors="replace")
    if data == expected.encode("utf-8"):
        print("%s is up to date." % WHOLE_BOOK_NAME)
        return 0
    if actual.replace("\r\n", "\n") == expected:
        print("%s is up to date (apart from CRLF line endings)." % WHOLE_BOOK_NAME)
        return 0
    print("%s is out of date: it differs from what the chapter pages build.\n"
          "Run: python3 build_whole_book.py" % output_path, file=sys.stderr)
    diff = difflib.unified_diff(actual.replace("\r\n", "\n").splitlines(),
                                expected.splitlines(),
                                "%s (committed)" % WHOLE_BOOK_NAME,
                                "%s (built)" % WHOLE_BOOK_NAME,
                                lineterm="", n=1)
    for count, line in enumerate(diff):
        if count >= 40:
            print("... (more differences not shown)", file=sys.stderr)
            break
        print(line, file=sys.stderr)
    return 1


def main(argv=None):
    parser = argparse.ArgumentParser(
        description='Build "%s" (the whole book on one page) from the chapter pages.'
        % WHOLE_BOOK_NAME)
    parser.add_argument("--check", action="store_true",
                        help="do not write anything; exit 0 if the whole-book page is "
                             "up to date, 1 if not")
    parser.add_argument("--book-dir", default=os.path.dirname(os.path.abspath(__file__)),
                        help="folder holding start.html and the chapter pages "
                             "(default: the folder of this script)")
    parser.add_argument("--output", default=None,
                        help='where to write the book (default: "%s" in the book folder)'
                        % WHOLE_BOOK_NAME)
    parser.add_argument("--keep-headings", action="store_true",
                        help="first wrap each heading of the chapter pages with the start "
                             "of its text, so printed pages never end with a heading")
    args = parser.parse_args(argv)

    output_path = args.output or os.path.join(args.book_dir, WHOLE_BOOK_NAME)
    try:
        if args.keep_headings:
            for name in find_chapters(args.book_dir):
                path = os.path.join(args.book_dir, name)
                text = read_text(path)
                kept = keep_headings_with_text(text)
                if kept != text:
                    with open(path, "w", encoding="utf-8", newline="\n") as handle:
                        handle.write(kept)
                    print("kept the headings of %s with their text" % name)
        text = build(args.book_dir)
    except BookError as exc:
        print("error: %s" % exc, file=sys.stderr)
        return 2

    if args.check:
        return check(args.book_dir, output_path, text)

    with open(output_path, "w", encoding="utf-8", newline="\n") as handle:
        handle.write(text)
    print("wrote %s (%d chapters)" % (output_path, text.count(BODY_START)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
