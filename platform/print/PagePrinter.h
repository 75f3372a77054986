#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class QPrinter;
class QWebEngineView;

namespace platform {

// Prints the page a web view shows, using the settings a print dialog left in a QPrinter.
//
// Every job goes through the page's own PDF output, so the result is vector text whatever
// the destination: a PDF file is written beside its target and renamed into place, so it
// appears whole or not at all; a printer queue gets the same PDF in one job. Rendering
// through the view's own print() instead makes bitmaps of every page, which for a long
// page takes minutes and hundreds of megabytes; it is used only where the program was
// built without a print system to hand PDF to.
//
// A job runs asynchronously and ends with exactly one finished() signal.
class PagePrinter : public QObject {
    Q_OBJECT
public:
    explicit PagePrinter(QWebEngineView* view, QObject* parent = nullptr);
    ~PagePrinter() override;

    // Starts printing the view's current page with the given printer's settings and returns
    // at once. The settings are copied, so the printer may go away as soon as this returns.
    // Pages are selected as a print dialog leaves them: pageRanges() when printRange() is
    // PageRange, every page otherwise.
    // Raises PlatformError (kErrPrintFailed) while another job of this printer is running.
    void print(const QPrinter& settings);

    // The job options a print dialog chose for a CUPS queue beyond what QPrinter says
    // (page set, pages per side, banners, the driver's own options), as names and values.
    static QStringList dialogJobOptions(const QPrinter& printer);

    // Ends the running job at once as failed; whatever the page answers later is dropped.
    void abandon();

    // True from print() until finished() has been emitted.
    bool busy() const { return busy_; }

    // A job that has not finished after this long fails and is abandoned, so that a page
    // that never answers cannot keep printing unavailable.
    void setTimeLimit(int milliseconds) { timeLimitMs_ = milliseconds; }

signals:
    // ok is false when nothing (or, for a printer queue, no job) was produced; the
    // description then says why in words a user understands.
    void finished(bool ok, const QString& errorDescription);

private:
    struct Job;
    void printToFile(const Job& job);
    void printOnQueue(const Job& job);
    void makePdf(const Job& job, std::function<void(const QByteArray&)> use);
    void requestPdf(const Job& job, std::function<void(const QByteArray&)> use);
    void complete(bool ok, const QString& errorDescription);
    void failLater(const QString& errorDescription);

    bool isCurrent(quint64 job) const { return busy_ && job == jobNumber_; }

    QPointer<QWebEngineView> view_;
    bool busy_ = false;
    quint64 jobNumber_ = 0;
    quint64 answeredJob_ = 0;  // the newest job whose page answered before its PDF was asked for
    int timeLimitMs_ = 120'000;
    QTimer* deadline_;
    QMetaObject::Connection rendererWatch_;
};

}  // namespace platform
