#include "platform/search/BookText.h"

#include <QByteArrayView>
#include <QRegularExpression>
#include <QSet>

#include <libxml/HTMLparser.h>
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <array>
#include <cstring>
#include <utility>

namespace platform {

namespace {

// How far into a page a declared character set is looked for, as browsers do.
constexpr qsizetype kCharsetScanBytes = 1024;
// How far into a file NUL bytes mark it as no page at all.
constexpr qsizetype kBinaryScanBytes = qsizetype{64} * 1024;
// A title is shown on one line of the list of matches.
constexpr qsizetype kMaxTitleBytes = 300;

// Set when the page being read on this thread lost text to a parser error, not just markup.
thread_local bool textLost = false;

void ignoreMessage(void*, const char*, ...)
{
}
void noteError(void*, xmlErrorPtr error)
{
    // Broken markup is an error the parser mends; running out of memory (which is also how it
    // reports a limit) and a character set it cannot go on decoding end the page there.
    if (error->level == XML_ERR_FATAL || error->code == XML_ERR_NO_MEMORY
        || error->code == XML_ERR_INTERNAL_ERROR)
        textLost = true;
}

void prepareParser()
{
    static const bool ready = [] {
        xmlInitParser();
        return true;
    }();
    Q_UNUSED(ready);
    // The parser's messages are its own matter: a broken page is read as far as it goes, and
    // only whether it went to the end is noted. These settings are per thread.
    xmlSetGenericErrorFunc(nullptr, ignoreMessage);
    xmlSetStructuredErrorFunc(nullptr, noteError);
    textLost = false;
}

bool hasUtf16Mark(const QByteArray& bytes)
{
    return bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
}

QByteArray declaredCharset(const QByteArray& bytes)
{
    static const QRegularExpression meta(
        QStringLiteral(R"(<meta[^>]*charset\s*=\s*["']?\s*([A-Za-z0-9_:.+-]+))"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch found
        = meta.match(QString::fromLatin1(bytes.left(kCharsetScanBytes)));
    return found.hasMatch() ? found.captured(1).toLatin1().toLower() : QByteArray();
}

bool isUtf8Name(const QByteArray& name)
{
    return name == "utf-8" || name == "utf8"
        || name == "unicode-1-1-utf-8"
        // A page cannot be UTF-16 by its own word: the word itself was read as ASCII.
        || name.startsWith("utf-16") || name == "unicode";
}

bool isWindows1252Name(const QByteArray& name)
{
    // Browsers read these as Windows-1252, which agrees with them wherever they are defined.
    return name == "windows-1252" || name == "cp1252" || name == "iso-8859-1" || name == "latin1"
        || name == "iso8859-1" || name == "l1" || name == "us-ascii" || name == "ascii"
        || name == "x-cp1252";
}

// Windows-1252's characters 0x80 to 0x9F; the five it leaves undefined read as themselves.
constexpr std::array<char16_t, 32> kWindows1252High
    = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
       0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
       0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QByteArray windows1252ToUtf8(const QByteArray& bytes)
{
    // Straight to UTF-8: a page of 16 MiB would take 32 MiB more as UTF-16 on the way.
    qsizetype size = 0;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        size += byte < 0x80 ? 1 : (byte < 0xA0 && kWindows1252High[byte - 0x80] >= 0x800) ? 3 : 2;
    }
    QByteArray utf8(size, Qt::Uninitialized);
    char* out = utf8.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        const char16_t unit = (byte >= 0x80 && byte < 0xA0) ? kWindows1252High[byte - 0x80] : byte;
        if (unit < 0x80) {
            *out++ = static_cast<char>(unit);
        } else if (unit < 0x800) {
            *out++ = static_cast<char>(0xC0 | (unit >> 6));
            *out++ = static_cast<char>(0x80 | (unit & 0x3F));
        } else {
            *out++ = static_cast<char>(0xE0 | (unit >> 12));
            *out++ = static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (unit & 0x3F));
        }
    }
    return utf8;
}

bool knowsEncoding(const QByteArray& name)
{
    xmlCharEncodingHandlerPtr handler = xmlFindCharEncodingHandler(name.constData());
    if (!handler)
        return false;
    xmlCharEncCloseFunc(handler);  // frees what was opened for this one question
    return true;
}

// The page's bytes in a form the parser reads safely, and the name of their encoding.
struct ParserInput {
    QByteArray bytes;
    QByteArray encoding;
};

ParserInput parserInput(const QByteArray& html)
{
    if (hasUtf16Mark(html))
        return {html, html.startsWith("\xFF\xFE") ? "UTF-16LE" : "UTF-16BE"};
    QByteArray bytes = html;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    const QByteArray declared = declaredCharset(bytes);
    if (!declared.isEmpty() && !isUtf8Name(declared) && !isWindows1252Name(declared)
        && knowsEncoding(declared))
        return {bytes, declared};
    if (isWindows1252Name(declared))
        return {windows1252ToUtf8(bytes), "UTF-8"};
    if (QByteArrayView(bytes).isValidUtf8())
        return {bytes, "UTF-8"};
    // A page that says UTF-8 and is not shows its bad bytes as replacement characters; one
    // that says nothing (or names a set nobody knows) is most likely Windows-1252.
    if (isUtf8Name(declared))
        return {QString::fromUtf8(bytes).toUtf8(), "UTF-8"};
    return {windows1252ToUtf8(bytes), "UTF-8"};
}

bool nameIs(const xmlNode* node, const char* name)
{
    return std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

bool isLeftOut(const xmlNode* node)
{
    static const char* const kLeftOut[]
        = {"script", "style", "noscript", "template", "head", "title", "iframe", "object"};
    for (const char* name : kLeftOut)
        if (nameIs(node, name))
            return true;
    // Not shown at all, so not found in the page either.
    return xmlHasProp(node, BAD_CAST "hidden") != nullptr;
}

bool isBlock(const xmlNode* node)
{
    static const QSet<QByteArray> kBlocks = {
        "address",    "article", "aside",  "blockquote", "body",     "br",    "caption", "center",
        "dd",         "details", "dialog", "dir",        "div",      "dl",    "dt",      "fieldset",
        "figcaption", "figure",  "footer", "form",       "h1",       "h2",    "h3",      "h4",
        "h5",         "h6",      "header", "hgroup",     "hr",       "html",  "legend",  "li",
        "main",       "menu",    "nav",    "ol",         "option",   "p",     "pre",     "section",
        "summary",    "table",   "tbody",  "td",         "textarea", "tfoot", "th",      "thead",
        "tr",         "ul"};
    return kBlocks.contains(
        QByteArray::fromRawData(reinterpret_cast<const char*>(node->name),
                                qsizetype(std::strlen(reinterpret_cast<const char*>(node->name)))));
}

// Gathers text with white space collapsed and blocks on lines of their own.
class TextCollector {
public:
    void add(const xmlChar* content)
    {
        if (!content)
            return;
        for (const xmlChar* at = content; *at; ++at) {
            const auto c = static_cast<unsigned char>(*at);
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
                space_ = true;
                continue;
            }
            // A no-break space reads, and is found, as a space.
            if (c == 0xC2 && at[1] == 0xA0) {
                space_ = true;
                ++at;
                continue;
            }
            // A zero-width no-break space (a byte-order mark inside the text) shows nothing
            // and must not part a word; kept, it would also be taken for a mark when the text
            // is read back as UTF-8, leaving the space after it at the start.
            if (c == 0xEF && at[1] == 0xBB && at[2] == 0xBF) {
                at += 2;
                continue;
            }
            if (!text_.isEmpty()) {
                if (break_)
                    text_.append('\n');
                else if (space_)
                    text_.append(' ');
            }
            break_ = false;
            space_ = false;
            text_.append(static_cast<char>(c));
        }
    }
    // The text is seldom longer than the page as the parser reads it (never, in UTF-8):
    // reserving that once spares the copies of growing a long text step by step.
    void reserve(qsizetype bytes) { text_.reserve(bytes); }
    void endBlock() { break_ = true; }
    qsizetype size() const { return text_.size(); }
    const QByteArray& bytes() const { return text_; }
    QByteArray take() { return std::exchange(text_, {}); }

private:
    QByteArray text_;
    bool space_ = false;
    bool break_ = false;
};

QString textOf(const xmlNode* element)
{
    TextCollector text;
    const xmlNode* node = element->children;
    while (node) {
        if (node->type == XML_TEXT_NODE)
            text.add(node->content);
        if (node->type == XML_ELEMENT_NODE && node->children) {
            node = node->children;
            continue;
        }
        while (node && node != element && !node->next)
            node = node->parent;
        node = (node && node != element) ? node->next : nullptr;
    }
    return QString::fromUtf8(text.bytes());
}

}  // namespace

PageText readPageText(const QByteArray& html, bool* isPage)
{
    if (isPage)
        *isPage = false;
    if (html.size() > kMaxPageBytes
        || (!hasUtf16Mark(html) && html.left(kBinaryScanBytes).contains('\0')))
        return {};
    if (isPage)
        *isPage = true;
    if (html.isEmpty())
        return {};
    prepareParser();
    const ParserInput input = parserInput(html);
    // Without XML_PARSE_HUGE the parser stops, silently, at the 256th nested element and
    // drops a run of text longer than 10 MB; with it, a page within kMaxPageBytes is read whole.
    htmlDocPtr doc = htmlReadMemory(
        input.bytes.constData(), int(input.bytes.size()), nullptr, input.encoding.constData(),
        HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET
            | HTML_PARSE_IGNORE_ENC | XML_PARSE_HUGE);
    if (!doc) {
        PageText nothing;
        nothing.whole = false;
        return nothing;
    }

    PageText page;
    TextCollector text;
    text.reserve(input.bytes.size());
    QString documentTitle;
    qsizetype headingStart = -1;
    const xmlNode* heading = nullptr;
    bool headingDone = false;
    const auto enter = [&](const xmlNode* node) {
        if (isBlock(node))
            text.endBlock();
        if (!headingDone && !heading && nameIs(node, "h1")) {
            heading = node;
            headingStart = text.size();
        }
        if (nameIs(node, "a") || nameIs(node, "area")) {
            if (xmlChar* href = xmlGetProp(node, BAD_CAST "href")) {
                page.links.append(QString::fromUtf8(reinterpret_cast<const char*>(href)));
                xmlFree(href);
            }
        }
    };
    const auto leave = [&](const xmlNode* node) {
        if (isBlock(node))
            text.endBlock();
        if (node == heading) {
            page.title
                = QString::fromUtf8(text.bytes().mid(headingStart, kMaxTitleBytes)).simplified();
            heading = nullptr;
            headingDone = true;
        }
    };

    // Walked without recursion: a page may nest its elements as deep as it likes.
    xmlNode* node = doc->children;
    while (node) {
        bool entered = false;
        if (node->type == XML_ELEMENT_NODE) {
            if (!isLeftOut(node)) {
                enter(node);
                entered = true;
            } else if (documentTitle.isEmpty() && nameIs(node, "title")) {
                documentTitle = textOf(node);
            } else if (nameIs(node, "head")) {
                for (const xmlNode* child = node->children; child; child = child->next)
                    if (child->type == XML_ELEMENT_NODE && nameIs(child, "title")
                        && documentTitle.isEmpty())
                        documentTitle = textOf(child);
            }
        } else if (node->type == XML_TEXT_NODE) {
            text.add(node->content);
        }
        if (entered && node->children) {
            node = node->children;
            continue;
        }
        if (entered)
            leave(node);
        while (node && !node->next) {
            node = node->parent;
            if (node && node->type == XML_ELEMENT_NODE)
                leave(node);
        }
        if (node)
            node = node->next;
    }
    xmlFreeDoc(doc);

    page.whole = !textLost;
    page.text = text.take();
    if (page.title.isEmpty())
        page.title = documentTitle.left(kMaxTitleBytes).simplified();
    return page;
}

}  // namespace platform
