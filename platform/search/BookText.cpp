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

bool nameIs(const xmlChar* name, const char* wanted)
{
    return std::strcmp(reinterpret_cast<const char*>(name), wanted) == 0;
}

// The value of an attribute in the parser's list of name and value pairs, or null.
const xmlChar* attribute(const xmlChar** attributes, const char* name)
{
    for (const xmlChar** at = attributes; at && *at; at += 2)
        if (nameIs(*at, name))
            return at[1] ? at[1] : BAD_CAST "";
    return nullptr;
}

bool isLeftOut(const xmlChar* name, const xmlChar** attributes)
{
    static const char* const kLeftOut[]
        = {"script", "style", "noscript", "template", "head", "title", "iframe", "object"};
    for (const char* leftOut : kLeftOut)
        if (nameIs(name, leftOut))
            return true;
    // Not shown at all, so not found in the page either.
    return attribute(attributes, "hidden") != nullptr;
}

bool isBlock(const xmlChar* name)
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
        QByteArray::fromRawData(reinterpret_cast<const char*>(name),
                                qsizetype(std::strlen(reinterpret_cast<const char*>(name)))));
}

// Gathers text with white space collapsed and blocks on lines of their own.
class TextCollector {
public:
    // The parser hands on whole characters.
    void add(const xmlChar* content, int length)
    {
        const xmlChar* const end = content + length;
        for (const xmlChar* at = content; at < end; ++at) {
            const auto c = static_cast<unsigned char>(*at);
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
                space_ = true;
                continue;
            }
            // A no-break space reads, and is found, as a space.
            if (c == 0xC2 && end - at >= 2 && at[1] == 0xA0) {
                space_ = true;
                ++at;
                continue;
            }
            // A zero-width no-break space (a byte-order mark inside the text) shows nothing
            // and must not part a word; kept, it would also be taken for a mark when the text
            // is read back as UTF-8, leaving the space after it at the start.
            if (c == 0xEF && end - at >= 3 && at[1] == 0xBB && at[2] == 0xBF) {
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

// Gathers a page's text from the parser's account of it as it reads (no document is built:
// a page of many or deeply nested elements would take many times its size as a tree).
class PageReader {
public:
    explicit PageReader(qsizetype pageBytes) { text_.reserve(pageBytes); }

    void start(const xmlChar* name, const xmlChar** attributes)
    {
        ++depth_;
        if (leftOutFrom_ > 0) {
            // A <title> inside <head> is the document's title.
            if (leftOutIsHead_ && depth_ == leftOutFrom_ + 1 && nameIs(name, "title"))
                startTitle();
            return;
        }
        if (isLeftOut(name, attributes)) {
            leftOutFrom_ = depth_;
            leftOutIsHead_ = nameIs(name, "head");
            if (nameIs(name, "title"))
                startTitle();
            return;
        }
        if (isBlock(name))
            text_.endBlock();
        if (!headingDone_ && headingFrom_ == 0 && nameIs(name, "h1")) {
            headingFrom_ = depth_;
            headingStart_ = text_.size();
        }
        if (nameIs(name, "a") || nameIs(name, "area"))
            if (const xmlChar* href = attribute(attributes, "href"))
                page_.links.append(QString::fromUtf8(reinterpret_cast<const char*>(href)));
    }

    void end(const xmlChar* name)
    {
        const int depth = depth_--;
        if (depth == titleFrom_) {
            titleFrom_ = 0;
            titleDone_ = true;
        }
        if (leftOutFrom_ > 0) {
            if (depth == leftOutFrom_)
                leftOutFrom_ = 0;
            return;
        }
        if (isBlock(name))
            text_.endBlock();
        if (depth == headingFrom_) {
            page_.title
                = QString::fromUtf8(text_.bytes().mid(headingStart_, kMaxTitleBytes)).simplified();
            headingFrom_ = 0;
            headingDone_ = true;
        }
    }

    void characters(const xmlChar* content, int length)
    {
        if (titleFrom_ > 0)
            title_.add(content, length);
        if (leftOutFrom_ == 0)
            text_.add(content, length);
    }

    PageText take(bool whole)
    {
        page_.whole = whole;
        page_.text = text_.take();
        if (page_.title.isEmpty())
            page_.title = QString::fromUtf8(title_.bytes().left(kMaxTitleBytes)).simplified();
        return std::move(page_);
    }

private:
    void startTitle()
    {
        if (!titleDone_ && titleFrom_ == 0)
            titleFrom_ = depth_;
    }

    PageText page_;
    TextCollector text_;
    TextCollector title_;  // the document's <title>
    int depth_ = 0;
    int leftOutFrom_ = 0;  // the depth of the element whose content is left out, or 0
    bool leftOutIsHead_ = false;
    int titleFrom_ = 0;
    bool titleDone_ = false;
    int headingFrom_ = 0;
    qsizetype headingStart_ = -1;
    bool headingDone_ = false;
};

// Asks whether the page is still wanted every so many of the parser's reports, which come
// every few hundred bytes: often enough to stop within moments, seldom enough to cost nothing.
constexpr int kReportsPerQuestion = 1024;

struct ParserState {
    PageReader* reader;
    const std::function<bool()>* wanted;
    int untilQuestion = kReportsPerQuestion;
};

PageReader& readerOf(void* context)
{
    auto* const parser = static_cast<htmlParserCtxtPtr>(context);
    auto* state = static_cast<ParserState*>(parser->_private);
    if (*state->wanted && --state->untilQuestion == 0) {
        state->untilQuestion = kReportsPerQuestion;
        if (!(*state->wanted)())
            xmlStopParser(parser);
    }
    return *state->reader;
}

}  // namespace

PageText readPageText(const QByteArray& html, bool* isPage, const std::function<bool()>& wanted)
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
    PageReader reader(input.bytes.size());
    htmlParserCtxtPtr parser = htmlNewParserCtxt();
    if (!parser) {
        PageText nothing;
        nothing.whole = false;
        return nothing;
    }
    // Only the parser's account of the page is wanted: no document, and its messages go to
    // noteError.
    htmlSAXHandler handlers = {};
    handlers.startElement = [](void* context, const xmlChar* name, const xmlChar** attributes) {
        readerOf(context).start(name, attributes);
    };
    handlers.endElement = [](void* context, const xmlChar* name) { readerOf(context).end(name); };
    handlers.characters = [](void* context, const xmlChar* content, int length) {
        readerOf(context).characters(content, length);
    };
    *parser->sax = handlers;
    ParserState state{&reader, &wanted};
    parser->_private = &state;
    // Without XML_PARSE_HUGE the parser would drop a run of text longer than 10 MB.
    htmlDocPtr doc
        = htmlCtxtReadMemory(parser, input.bytes.constData(), int(input.bytes.size()), nullptr,
                             input.encoding.constData(),
                             HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING
                                 | HTML_PARSE_NONET | HTML_PARSE_IGNORE_ENC | XML_PARSE_HUGE);
    if (doc)
        xmlFreeDoc(doc);
    htmlFreeParserCtxt(parser);
    return reader.take(!textLost);
}

}  // namespace platform
