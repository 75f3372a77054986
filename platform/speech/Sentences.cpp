#include "platform/speech/Sentences.h"

#include <QTextBoundaryFinder>

#include <algorithm>

namespace platform {

namespace {

bool sayable(QStringView piece)
{
    return std::any_of(piece.begin(), piece.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

// Adds the piece [start, end) of text, trimmed, in parts of at most maxLength.
void addPiece(QList<SentenceSpan>& out, QStringView text, qsizetype start, qsizetype end,
              qsizetype maxLength)
{
    while (start < end) {
        while (start < end && text[start].isSpace())
            ++start;
        qsizetype stop = end;
        while (stop > start && text[stop - 1].isSpace())
            --stop;
        if (stop <= start)
            return;
        qsizetype cut = stop;
        if (stop - start > maxLength) {
            cut = start + maxLength;
            for (qsizetype at = cut; at > start + maxLength / 2; --at) {
                if (text[at - 1].isSpace()) {
                    cut = at;
                    break;
                }
            }
            // A surrogate pair stays whole.
            if (text[cut - 1].isHighSurrogate() && cut < stop)
                ++cut;
        }
        qsizetype last = cut;
        while (last > start && text[last - 1].isSpace())
            --last;
        if (sayable(text.sliced(start, last - start)))
            out.append({start, last - start});
        start = cut;
    }
}

}  // namespace

QList<SentenceSpan> splitSentences(QStringView text, qsizetype maxLength)
{
    QList<SentenceSpan> out;
    maxLength = std::max<qsizetype>(maxLength, 2);
    // A page's text breaks its lines anywhere; the line breaks show as spaces, and a sentence
    // runs on across them. (Unicode ends a sentence at every one.)
    QString flowing = text.toString();
    for (QChar& c : flowing) {
        if (c.isSpace())
            c = QLatin1Char(' ');
    }
    QTextBoundaryFinder finder(QTextBoundaryFinder::Sentence, flowing);
    qsizetype start = 0;
    for (qsizetype at = finder.toNextBoundary(); at > 0; at = finder.toNextBoundary()) {
        addPiece(out, text, start, at, maxLength);
        start = at;
    }
    addPiece(out, text, start, text.size(), maxLength);
    return out;
}

}  // namespace platform
