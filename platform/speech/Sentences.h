#pragma once

#include <QList>
#include <QStringView>

namespace platform {

// Where one sentence stands in a text: its first character and its length.
struct SentenceSpan {
    qsizetype start = 0;
    qsizetype length = 0;

    qsizetype end() const { return start + length; }
    bool operator==(const SentenceSpan&) const = default;
};

// The longest piece spoken at once: a voice reads a long sentence in one breath, and what
// a page hands over to be read may be one sentence of any length.
inline constexpr qsizetype kMaxSentenceLength = 400;

// The sentences of a text, by Unicode's sentence boundaries, white space trimmed off both
// ends; a line break is a space, as a page shows it. A sentence longer than maxLength is cut after
// the last white space within that length, or at maxLength where there is none. Pieces without a
// letter or digit (a row of stars, a lone dash) are left out: there is nothing in them to say.
QList<SentenceSpan> splitSentences(QStringView text, qsizetype maxLength = kMaxSentenceLength);

}  // namespace platform
