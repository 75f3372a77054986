#include "platform/print/PendingPdfPages.h"

#include "platform/runtime/AppInfo.h"
#include "platform/runtime/Trace.h"

#include <QVariant>
#include <QWebEnginePage>

namespace platform {

namespace {

constexpr char kOwed[] = "da1011PdfRequestsOwed";
constexpr char kRetired[] = "da1011Retired";

int owedTo(const QWebEnginePage* page)
{
    return page ? page->property(kOwed).toInt() : 0;
}

}  // namespace

void PendingPdfPages::begin(QWebEnginePage* page)
{
    page->setProperty(kOwed, owedTo(page) + 1);
}

void PendingPdfPages::end(QWebEnginePage* page)
{
    if (!page)
        return;
    const int owed = qMax(0, owedTo(page) - 1);
    page->setProperty(kOwed, owed);
    if (owed == 0 && page->property(kRetired).toBool()) {
        page->deleteLater();
        Application::releaseTeardown();
    }
}

bool PendingPdfPages::owes(const QWebEnginePage* page)
{
    return owedTo(page) > 0;
}

void PendingPdfPages::retire(QWebEnginePage* page)
{
    if (!page || page->property(kRetired).toBool())
        return;
    page->setParent(nullptr);
    if (!owes(page)) {
        page->deleteLater();
        return;
    }
    qCInfo(lcPage) << "kept a page that still waits for its PDF, so that it is not destroyed";
    page->setProperty(kRetired, true);
    Application::holdTeardown();
}

}  // namespace platform
