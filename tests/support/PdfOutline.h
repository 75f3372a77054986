#pragma once

// Reading a PDF's bookmarks and internal links back with qpdf.

#include <QList>
#include <QString>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <map>

struct PdfBookmark {
    QString title;
    int page = 0;  // from 1; 0 when it points nowhere
    int children = 0;
};

struct PdfLink {
    int from = 0;  // the page the link is on, from 1
    int to = 0;  // the page it jumps to, 0 when it points nowhere
};

struct PdfNavigation {
    QList<PdfBookmark> bookmarks;  // the first level
    QList<PdfLink> links;  // links to places in the document
    QString error;

    static PdfNavigation read(const QString& path)
    {
        PdfNavigation navigation;
        try {
            QPDF pdf;
            pdf.processFile(path.toLocal8Bit().constData());
            std::map<QPDFObjGen, int> numbers;
            std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
            for (size_t i = 0; i < pages.size(); ++i)
                numbers[pages[i].getObjectHandle().getObjGen()] = static_cast<int>(i) + 1;
            const auto numberOf = [&numbers](QPDFObjectHandle page) {
                const auto found = numbers.find(page.getObjGen());
                return found == numbers.end() ? 0 : found->second;
            };
            QPDFOutlineDocumentHelper outlines(pdf);
            for (QPDFOutlineObjectHelper& item : outlines.getTopLevelOutlines())
                navigation.bookmarks.append({QString::fromStdString(item.getTitle()),
                                             numberOf(item.getDestPage()),
                                             static_cast<int>(item.getKids().size())});
            for (size_t i = 0; i < pages.size(); ++i) {
                for (QPDFAnnotationObjectHelper& link : pages[i].getAnnotations("/Link")) {
                    QPDFObjectHandle dest = link.getObjectHandle().getKey("/Dest");
                    if (dest.isNull())
                        continue;
                    if (dest.isName() || dest.isString())
                        dest = outlines.resolveNamedDest(dest);
                    if (dest.isDictionary())
                        dest = dest.getKey("/D");
                    const int to = dest.isArray() && dest.getArrayNItems() > 0
                        ? numberOf(dest.getArrayItem(0))
                        : 0;
                    navigation.links.append({static_cast<int>(i) + 1, to});
                }
            }
        } catch (const std::exception& error) {
            navigation.error = QString::fromLocal8Bit(error.what());
        }
        return navigation;
    }
};
