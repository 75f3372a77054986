#include "platform/print/PdfFinisher.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFNameTreeObjectHelper.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <QDir>
#include <QUrl>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <utility>

namespace platform {

namespace {

void readInto(QPDF& qpdf, const char* description, const QByteArray& pdf)
{
    qpdf.setSuppressWarnings(true);
    qpdf.processMemoryFile(description, pdf.constData(), static_cast<size_t>(pdf.size()));
}

QPDFObjectHandle text(const QString& value)
{
    return QPDFObjectHandle::newUnicodeString(value.toStdString());
}

// The furniture's sheets as forms of the finished document, placed beneath each page. Drawn
// first, they are covered by whatever the page paints, so they can never hide its content;
// the engine clips the page's backgrounds to the area inside the margins.
class Furniture {
public:
    Furniture(QPDF& target, const PageFurniture& furniture) : target_(target), furniture_(furniture)
    {
        readInto(source_, "page furniture", furniture.pdf);
        std::vector<QPDFPageObjectHelper> sheets = QPDFPageDocumentHelper(source_).getAllPages();
        if (sheets.size() < 1 + PageFurniture::kPieces)
            return;
        for (QPDFPageObjectHelper& sheet : sheets)
            forms_.push_back(target.copyForeignObject(sheet.getFormXObjectForPage()));
        box_ = forms_.front().getDict().getKey("/BBox").getArrayAsRectangle();
    }

    void placeBeneath(QPDFPageObjectHelper& page, int number, int total)
    {
        if (forms_.empty())
            return;
        // The sheets are the size of the page; should the page be of another size, they are
        // scaled to it as a whole.
        const QPDFObjectHandle::Rectangle fit = page.getMediaBox().getArrayAsRectangle();
        const double width = box_.urx - box_.llx;
        const double height = box_.ury - box_.lly;
        if (width <= 0 || height <= 0)
            return;
        const double scale = std::min((fit.urx - fit.llx) / width, (fit.ury - fit.lly) / height);
        const double left = fit.llx + ((fit.urx - fit.llx) - width * scale) / 2;
        const double bottom = fit.lly + ((fit.ury - fit.lly) - height * scale) / 2;

        QPDFObjectHandle forms = formsOf(page);
        QPDFObjectHandle resources = page.getAttribute("/Resources", false);
        std::string placements;
        int suffix = 0;
        const auto place = [&](size_t sheet, double shift) {
            const std::string name = resources.getUniqueResourceName("/Furniture", suffix);
            forms.replaceKey(name, forms_[sheet]);
            const double x = left + shift * scale;
            placements += page.placeFormXObject(
                forms_[sheet], name,
                QPDFObjectHandle::Rectangle(x, bottom, x + width * scale, bottom + height * scale));
        };
        place(0, 0);
        if (furniture_.numbered)
            placeLine(number, total, place);
        page.addPageContents(target_.newStream(placements), true);
    }

private:
    // "Page p of P", centred: each piece moved from where it stands on its sheet to its place
    // in the line.
    template <typename Place> void placeLine(int number, int total, Place place) const
    {
        std::vector<int> pieces{PageFurniture::kPage, -1};
        for (const QChar digit : QString::number(number))
            pieces.push_back(PageFurniture::kDigits + digit.digitValue());
        pieces.insert(pieces.end(), {-1, PageFurniture::kOf, -1});
        for (const QChar digit : QString::number(total))
            pieces.push_back(PageFurniture::kDigits + digit.digitValue());
        double lineWidth = 0;
        for (const int piece : pieces)
            lineWidth
                += piece < 0 ? furniture_.space : furniture_.width[static_cast<size_t>(piece)];
        double x = furniture_.centre - lineWidth / 2;
        for (const int piece : pieces) {
            if (piece < 0) {
                x += furniture_.space;
                continue;
            }
            const auto at = static_cast<size_t>(piece);
            place(at + 1, x - furniture_.left[at]);
            x += furniture_.width[at];
        }
    }

    static QPDFObjectHandle formsOf(QPDFPageObjectHelper& page)
    {
        QPDFObjectHandle resources = page.getAttribute("/Resources", true);
        if (!resources.isDictionary()) {
            resources = QPDFObjectHandle::newDictionary();
            page.getObjectHandle().replaceKey("/Resources", resources);
        }
        QPDFObjectHandle forms = resources.getKey("/XObject");
        if (!forms.isDictionary()) {
            forms = QPDFObjectHandle::newDictionary();
            resources.replaceKey("/XObject", forms);
        }
        return forms;
    }

    QPDF& target_;
    const PageFurniture& furniture_;
    QPDF source_;  // read from while the result is written
    std::vector<QPDFObjectHandle> forms_;
    QPDFObjectHandle::Rectangle box_;
};

// The engine names a destination for every element that a link of the page points at, in
// the catalog's /Dests dictionary or (in other versions) its /Names tree.
class Destinations {
public:
    explicit Destinations(QPDF& qpdf) : qpdf_(qpdf)
    {
        QPDFObjectHandle root = qpdf.getRoot();
        dests_ = root.getKey("/Dests");
        QPDFObjectHandle names = root.getKey("/Names");
        if (names.isDictionary() && names.getKey("/Dests").isDictionary())
            tree_ = std::make_unique<QPDFNameTreeObjectHelper>(names.getKey("/Dests"), qpdf);
    }

    // The explicit destination ([page /XYZ left top zoom]) of a name, or null.
    QPDFObjectHandle find(const QString& name)
    {
        const std::string key = name.toStdString();
        QPDFObjectHandle dest;
        if (dests_.isDictionary())
            dest = dests_.getKey("/" + key);
        if ((!dest.isInitialized() || dest.isNull()) && tree_)
            tree_->findObject(key, dest);
        if (dest.isDictionary())
            dest = dest.getKey("/D");
        if (!dest.isArray() || dest.getArrayNItems() < 1 || !dest.getArrayItem(0).isDictionary())
            return QPDFObjectHandle::newNull();
        return dest;
    }

private:
    QPDF& qpdf_;
    QPDFObjectHandle dests_;
    std::unique_ptr<QPDFNameTreeObjectHelper> tree_;
};

// The links of the printed page to files on the disk (see PdfLinkBase): a link to a place
// the document holds jumps there (to its first page for the printed page's own file), a link
// to another file of the book names it relative to the book's folder, and a link to any other
// file is dropped.
class BookLinks {
public:
    BookLinks(QPDF& qpdf, const PdfLinkBase& base, Destinations& destinations)
        : base_(base), destinations_(destinations)
    {
        std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(qpdf).getAllPages();
        if (!pages.empty()) {
            top_ = QPDFObjectHandle::newArray();
            top_.appendItem(pages.front().getObjectHandle());
            top_.appendItem(QPDFObjectHandle::newName("/Fit"));
        }
        if (!base.folder.isEmpty())
            folder_.emplace(base.folder);
    }

    void keepIn(QPDFPageObjectHelper& page)
    {
        QPDFObjectHandle annotations = page.getObjectHandle().getKey("/Annots");
        if (!annotations.isArray())
            return;
        std::vector<QPDFObjectHandle> kept;
        bool dropped = false;
        for (QPDFObjectHandle& annotation : annotations.getArrayAsVector()) {
            if (keep(annotation))
                kept.push_back(annotation);
            else
                dropped = true;
        }
        if (dropped)
            page.getObjectHandle().replaceKey("/Annots", QPDFObjectHandle::newArray(kept));
    }

private:
    // False for a link to be dropped; a link to a file is changed in place.
    bool keep(QPDFObjectHandle& annotation)
    {
        if (!annotation.isDictionary())
            return true;
        QPDFObjectHandle action = annotation.getKey("/A");
        if (!action.isDictionary() || !action.getKey("/S").isNameAndEquals("/URI")
            || !action.getKey("/URI").isString())
            return true;
        const QUrl url(QString::fromStdString(action.getKey("/URI").getStringValue()));
        if (url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) != 0)
            return true;
        QPDFObjectHandle place = placeOf(url);
        if (!place.isNull()) {
            annotation.removeKey("/A");
            annotation.replaceKey("/Dest", place.shallowCopy());
            return true;
        }
        if (!folder_ || url.toLocalFile().isEmpty())
            return false;
        const QString relative = folder_->relativeFilePath(QDir::cleanPath(url.toLocalFile()));
        if (relative == QLatin1String("..") || relative.startsWith(QLatin1String("../"))
            || QDir::isAbsolutePath(relative))
            return false;
        QUrl named;
        // A colon before the first slash would make the rest read as an address of its own.
        const qsizetype colon = relative.indexOf(QLatin1Char(':'));
        const qsizetype slash = relative.indexOf(QLatin1Char('/'));
        named.setPath(colon >= 0 && (slash < 0 || colon < slash) ? QStringLiteral("./") + relative
                                                                 : relative);
        if (!url.fragment().isEmpty())
            named.setFragment(url.fragment());
        action.replaceKey("/URI", QPDFObjectHandle::newString(named.toEncoded().toStdString()));
        return true;
    }

    // Where in this document a link leads, or null when it leads out of it.
    QPDFObjectHandle placeOf(const QUrl& url)
    {
        const auto named = base_.places.find(PdfLinkBase::keyOf(url));
        if (named != base_.places.end()) {
            QPDFObjectHandle dest = destinations_.find(named->second);
            if (!dest.isNull())
                return dest;
        }
        // The engine links a place of the page itself within the document already: what is
        // left is the page as a whole, or a place it does not have.
        if (!base_.page.isEmpty()
            && QDir::cleanPath(url.toLocalFile()) == QDir::cleanPath(base_.page)
            && top_.isInitialized())
            return top_;
        return QPDFObjectHandle::newNull();
    }

    const PdfLinkBase& base_;
    Destinations& destinations_;
    std::optional<QDir> folder_;
    QPDFObjectHandle top_;  // the first page, whole
};

void keepLinksInTheBook(QPDF& qpdf, const PdfLinkBase& base)
{
    Destinations destinations(qpdf);
    BookLinks links(qpdf, base, destinations);
    for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(qpdf).getAllPages())
        links.keepIn(page);
}

struct OutlineNode {
    QString title;
    QPDFObjectHandle dest;
    int level = 1;
    std::vector<OutlineNode> children;
};

// Headings nest by level: a heading belongs under the nearest heading before it with a
// smaller level. Headings without a destination (on pages that were not printed, or not
// laid out at all) are left out.
std::vector<OutlineNode> outlineTree(const std::vector<PdfHeading>& headings,
                                     Destinations& destinations)
{
    std::vector<OutlineNode> top;
    std::vector<std::vector<OutlineNode>*> path{&top};
    std::vector<int> levels{0};
    for (const PdfHeading& heading : headings) {
        QPDFObjectHandle dest = destinations.find(heading.destination);
        if (dest.isNull() || heading.title.isEmpty())
            continue;
        while (levels.size() > 1 && levels.back() >= heading.level) {
            levels.pop_back();
            path.pop_back();
        }
        path.back()->push_back({heading.title, dest, heading.level, {}});
        path.push_back(&path.back()->back().children);
        levels.push_back(heading.level);
    }
    return top;
}

// Links the items of one level under parent and returns how many items there are in all
// below parent. Items with children start closed, so the first level reads as a list of
// chapters.
int addItems(QPDF& qpdf, QPDFObjectHandle parent, const std::vector<OutlineNode>& nodes)
{
    QPDFObjectHandle previous;
    int total = 0;
    for (const OutlineNode& node : nodes) {
        QPDFObjectHandle item = qpdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
        item.replaceKey("/Title", text(node.title));
        item.replaceKey("/Parent", parent);
        QPDFObjectHandle dest = node.dest;
        item.replaceKey("/Dest", dest.shallowCopy());
        if (previous.isInitialized()) {
            previous.replaceKey("/Next", item);
            item.replaceKey("/Prev", previous);
        } else {
            parent.replaceKey("/First", item);
        }
        parent.replaceKey("/Last", item);
        const int below = addItems(qpdf, item, node.children);
        if (below > 0)
            item.replaceKey("/Count", QPDFObjectHandle::newInteger(-below));
        total += 1 + below;
        previous = item;
    }
    return total;
}

void addOutline(QPDF& qpdf, const std::vector<PdfHeading>& headings)
{
    Destinations destinations(qpdf);
    const std::vector<OutlineNode> tree = outlineTree(headings, destinations);
    if (tree.empty())
        return;
    QPDFObjectHandle outlines = qpdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
    outlines.replaceKey("/Type", QPDFObjectHandle::newName("/Outlines"));
    addItems(qpdf, outlines, tree);
    outlines.replaceKey("/Count",
                        QPDFObjectHandle::newInteger(static_cast<long long>(tree.size())));
    QPDFObjectHandle root = qpdf.getRoot();
    root.replaceKey("/Outlines", outlines);
    root.replaceKey("/PageMode", QPDFObjectHandle::newName("/UseOutlines"));
}

void setInfo(QPDF& qpdf, const PdfDocumentInfo& info)
{
    QPDFObjectHandle trailer = qpdf.getTrailer();
    QPDFObjectHandle dictionary = trailer.getKey("/Info");
    if (!dictionary.isDictionary()) {
        dictionary = qpdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
        trailer.replaceKey("/Info", dictionary);
    }
    dictionary.replaceKey("/Title", text(info.title));
    if (info.author.isEmpty())
        dictionary.removeKey("/Author");
    else
        dictionary.replaceKey("/Author", text(info.author));
    dictionary.replaceKey("/Creator", text(info.creator));
    // Viewers show the title rather than the file name.
    QPDFObjectHandle preferences = QPDFObjectHandle::newDictionary();
    preferences.replaceKey("/DisplayDocTitle", QPDFObjectHandle::newBool(true));
    qpdf.getRoot().replaceKey("/ViewerPreferences", preferences);
}

}  // namespace

QString PdfLinkBase::keyOf(const QUrl& url)
{
    const QString path = QDir::cleanPath(url.toLocalFile());
    return url.hasFragment() && !url.fragment().isEmpty()
        ? path + QLatin1Char('#') + url.fragment(QUrl::FullyDecoded)
        : path;
}

PdfFinisher::PdfFinisher(QByteArray pdf) : pdf_(std::move(pdf)), qpdf_(std::make_unique<QPDF>())
{
    readInto(*qpdf_, "printed page", pdf_);
}

PdfFinisher::~PdfFinisher() = default;

QSizeF PdfFinisher::firstPageSize() const
{
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(*qpdf_).getAllPages();
    if (pages.empty())
        return {};
    const QPDFObjectHandle::Rectangle box = pages.front().getMediaBox().getArrayAsRectangle();
    return {box.urx - box.llx, box.ury - box.lly};
}

QByteArray PdfFinisher::finish(const PageFurniture& furniture,
                               const std::vector<PdfHeading>& headings, const PdfDocumentInfo& info,
                               const PdfLinkBase& links)
{
    QPDF& qpdf = *qpdf_;
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(qpdf).getAllPages();
    std::unique_ptr<Furniture> sheets;
    if (!furniture.pdf.isEmpty()) {
        sheets = std::make_unique<Furniture>(qpdf, furniture);
        const int total = static_cast<int>(pages.size());
        for (int i = 0; i < total; ++i)
            sheets->placeBeneath(pages[static_cast<size_t>(i)], i + 1, total);
    }
    addOutline(qpdf, headings);
    keepLinksInTheBook(qpdf, links);
    setInfo(qpdf, info);

    QPDFWriter writer(qpdf);
    writer.setOutputMemory();
    // The engine's compressed streams are copied as they are; only new ones are compressed.
    writer.setDecodeLevel(qpdf_dl_none);
    writer.setCompressStreams(true);
    // Packing the many small objects of a long document into compressed object streams makes
    // the file markedly smaller.
    writer.setObjectStreamMode(qpdf_o_generate);
    writer.write();
    const std::unique_ptr<Buffer> buffer(writer.getBuffer());
    return QByteArray(reinterpret_cast<const char*>(buffer->getBuffer()),
                      static_cast<qsizetype>(buffer->getSize()));
}

}  // namespace platform
