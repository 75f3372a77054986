#pragma once

#include <QList>
#include <QString>

namespace platform {

// Where a match stands in the text a page shows: UTF-16 offsets, end excluded.
struct TextSpan {
    qsizetype start = 0;
    qsizetype end = 0;
};

// Every match of the query in the text of a shown page, in order, found as the whole-book
// search finds them in the page's file, so that its N-th match is the list's N-th: the same
// folding, white space read the same way (runs of it, no-break spaces included, as one
// space; zero-width no-break spaces as nothing), and no match across a line break, which
// parts the page's blocks. The text is the page's text nodes as they are, with their line
// breaks, tabs and form feeds made spaces and a line break wherever a block starts or ends.
QList<TextSpan> findInShownText(const QString& text, const QString& query);

}  // namespace platform
