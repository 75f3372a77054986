#include "platform/search/ShownText.h"

#include "platform/search/BookSearch.h"

#include <algorithm>
#include <functional>
#include <vector>

namespace platform {

namespace {

bool isSpace(char32_t c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == 0x00A0;
}

}  // namespace

QList<TextSpan> findInShownText(const QString& text, const QString& query)
{
    const QByteArray needle = foldForSearch(query);
    if (needle.isEmpty())
        return {};
    // The folded text, and for each of its bytes the characters it stands for.
    QByteArray folded;
    std::vector<qsizetype> from;
    std::vector<qsizetype> to;
    folded.reserve(text.size());
    from.reserve(size_t(text.size()));
    to.reserve(size_t(text.size()));
    const auto add = [&](const QByteArray& part, qsizetype start, qsizetype end) {
        for (const char byte : part) {
            folded.append(byte);
            from.push_back(start);
            to.push_back(end);
        }
    };
    qsizetype at = 0;
    while (at < text.size()) {
        const qsizetype start = at;
        char32_t c = text.at(at).unicode();
        if (QChar::isHighSurrogate(c) && at + 1 < text.size() && text.at(at + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text.at(at).unicode(), text.at(at + 1).unicode());
            ++at;
        }
        ++at;
        if (c == '\n' || isSpace(c)) {
            bool lineBreak = c == '\n';
            while (at < text.size() && (text.at(at) == u'\n' || isSpace(text.at(at).unicode()))) {
                lineBreak = lineBreak || text.at(at) == u'\n';
                ++at;
            }
            add(lineBreak ? QByteArray("\n") : QByteArray(" "), start, at);
        } else if (c == 0xFEFF) {
            continue;
        } else if (c < 0x80) {
            add(QByteArray(1, char(c >= 'A' && c <= 'Z' ? c + 32 : c)), start, at);
        } else {
            add(foldCharacter(c), start, at);
        }
    }
    QList<TextSpan> spans;
    const std::boyer_moore_horspool_searcher searcher(needle.begin(), needle.end());
    for (const auto* found = folded.cbegin(); found != folded.cend();) {
        const auto [first, last] = searcher(found, folded.cend());
        if (first == folded.cend())
            break;
        spans.append(
            {from[size_t(first - folded.cbegin())], to[size_t(last - folded.cbegin() - 1)]});
        found = last;
    }
    return spans;
}

}  // namespace platform
