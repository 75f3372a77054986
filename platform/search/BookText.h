#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace platform {

// What a person reads on one book page, taken from the page's HTML without running any of
// it: the text with the markup removed and entities decoded, in the page's declared
// character set (UTF-8, or Windows-1252 for bytes that are not UTF-8, when it declares
// none); script, style, noscript and template content left out. Runs of white space read as
// one space, and each block (paragraph, heading, list item, table cell, line break) is a line
// of its own, so words split across inline tags ("Quor<b>vel</b>") stay one word.
struct PageText {
    QString title;  // the first heading of the page, else its <title>
    QByteArray text;  // the visible text as UTF-8, blocks separated by '\n'
    QStringList links;  // the href of every link and image-map area, in document order
    // False when the parser had to stop before the end of the page (it ran out of memory, or
    // a declared character set did not fit the bytes): then text and links hold what came
    // before that point.
    bool whole = true;
};

// Pages larger than this are not read at all (16 MiB: a hundred times the longest page of
// the sample book, and few enough bytes for the parser to read in a moment).
constexpr qsizetype kMaxPageBytes = qsizetype(16) << 20;

// Reads a page. Bytes that are not a page at all (they hold NUL bytes, like a program or a
// picture) give nothing and set *isPage to false; so
// does a page larger than kMaxPageBytes. Where wanted is given and answers false, asked now
// and then while the page is read, the reading stops there (a long page takes a while).
PageText readPageText(const QByteArray& html, bool* isPage = nullptr,
                      const std::function<bool()>& wanted = {});

}  // namespace platform
