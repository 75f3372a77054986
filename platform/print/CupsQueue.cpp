#include "platform/print/CupsQueue.h"

#include <QPrintEngine>

#include <memory>

#include <cups/cups.h>

namespace platform {

namespace {

// A cups_option_t array that frees itself.
class CupsOptions {
public:
    CupsOptions() = default;
    CupsOptions(const CupsOptions&) = delete;
    CupsOptions& operator=(const CupsOptions&) = delete;
    ~CupsOptions() { cupsFreeOptions(count_, options_); }

    void set(const QString& name, const QString& value)
    {
        count_ = cupsAddOption(name.toUtf8().constData(), value.toUtf8().constData(), count_,
                               &options_);
    }
    int count() const { return count_; }
    cups_option_t* data() const { return options_; }

private:
    int count_ = 0;
    cups_option_t* options_ = nullptr;
};

struct DestDeleter {
    void operator()(cups_dest_t* dest) const { cupsFreeDests(1, dest); }
};
using Dest = std::unique_ptr<cups_dest_t, DestDeleter>;

QString cupsError()
{
    return QString::fromUtf8(cupsLastErrorString());
}

QString sidesFor(const QPrinter::DuplexMode duplex, const QPageLayout& layout)
{
    switch (duplex) {
    case QPrinter::DuplexNone:
        return QStringLiteral("one-sided");
    case QPrinter::DuplexLongSide:
        return QStringLiteral("two-sided-long-edge");
    case QPrinter::DuplexShortSide:
        return QStringLiteral("two-sided-short-edge");
    case QPrinter::DuplexAuto:
        break;
    }
    // Binding along the long edge of the sheet as it is read.
    return layout.orientation() == QPageLayout::Portrait ? QStringLiteral("two-sided-long-edge")
                                                         : QStringLiteral("two-sided-short-edge");
}

}  // namespace

QueueOrder QueueOrder::from(const QPrinter& printer)
{
    QueueOrder order;
    order.printerName = printer.printerName();
    order.copies = qMax(1, printer.copyCount());
    order.collate = printer.collateCopies();
    order.duplex = printer.duplex();
    order.colorMode = printer.colorMode();
    order.layout = printer.pageLayout();
    order.dialogOptions = CupsQueue::dialogJobOptions(printer);
    return order;
}

// The options a queue is given. The PDF has been cut to the chosen pages already, so
// "page-ranges" is never passed on: the queue would count pages in the cut document and
// print the wrong ones or none. The pages already have the chosen size and orientation, so
// only the paper is named, never a rotation. What the dialog set explicitly (copies,
// collation, sides) wins over the same setting among its job options.
std::vector<std::pair<QString, QString>> QueueOrder::options() const
{
    static const QStringList kOwnNames = {
        QStringLiteral("page-ranges"), QStringLiteral("copies"),
        QStringLiteral("collate"),     QStringLiteral("multiple-document-handling"),
        QStringLiteral("sides"),       QStringLiteral("Duplex"),
        QStringLiteral("landscape"),   QStringLiteral("orientation-requested"),
    };
    std::vector<std::pair<QString, QString>> options;
    for (qsizetype i = 0; i + 1 < dialogOptions.size(); i += 2) {
        if (!kOwnNames.contains(dialogOptions[i], Qt::CaseInsensitive))
            options.emplace_back(dialogOptions[i], dialogOptions[i + 1]);
    }
    options.emplace_back(QStringLiteral("copies"), QString::number(copies));
    options.emplace_back(QStringLiteral("multiple-document-handling"),
                         collate ? QStringLiteral("separate-documents-collated-copies")
                                 : QStringLiteral("separate-documents-uncollated-copies"));
    options.emplace_back(QStringLiteral("sides"), sidesFor(duplex, layout));
    if (layout.pageSize().id() != QPageSize::Custom)
        options.emplace_back(QStringLiteral("media"), layout.pageSize().key());
    if (colorMode == QPrinter::GrayScale)
        options.emplace_back(QStringLiteral("print-color-mode"), QStringLiteral("monochrome"));
    return options;
}

QStringList CupsQueue::dialogJobOptions(const QPrinter& printer)
{
    // Qt has no public API for the options its print dialog collects for a CUPS queue: the
    // dialog leaves them, as names and values, on the printer's engine under a private
    // property key of Qt's CUPS support. Only the Qt versions checked are trusted with it;
    // the print job tests run the real dialog and fails when the key no longer carries them.
    // With any other Qt none is passed on, and the queue uses its own defaults for them.
#if QT_VERSION >= QT_VERSION_CHECK(6, 4, 0) && QT_VERSION < QT_VERSION_CHECK(7, 0, 0)
    constexpr auto kDialogJobOptionsKey = QPrintEngine::PrintEnginePropertyKey(0xfe00);
    if (printer.printEngine())
        return printer.printEngine()->property(kDialogJobOptionsKey).toStringList();
#else
    Q_UNUSED(printer);
#endif
    return {};
}

QString CupsQueue::submit(const QueueOrder& order, const QString& title, const QByteArray& pdf,
                          const std::shared_ptr<const std::atomic_bool>& stop)
{
    const auto stopped = [&stop] { return stop && stop->load(); };
    if (stopped())
        return tr("Printing was stopped.");
    const QByteArray fullName = order.printerName.toUtf8();
    const qsizetype slash = fullName.indexOf('/');
    const QByteArray queueName = slash < 0 ? fullName : fullName.left(slash);
    const QByteArray instance = slash < 0 ? QByteArray() : fullName.mid(slash + 1);

    Dest dest(cupsGetNamedDest(CUPS_HTTP_DEFAULT,
                               queueName.isEmpty() ? nullptr : queueName.constData(),
                               instance.isEmpty() ? nullptr : instance.constData()));
    if (!dest) {
        const QString reason = cupsError();
        if (order.printerName.isEmpty())
            return tr("No printer is set up. (%1)").arg(reason);
        return tr("The printer \"%1\" is not available. (%2)").arg(order.printerName, reason);
    }
    const QString shownName = QString::fromUtf8(dest->name);

    // An instance's saved defaults first, then what was chosen for this job.
    CupsOptions options;
    for (int i = 0; i < dest->num_options; ++i)
        options.set(QString::fromUtf8(dest->options[i].name),
                    QString::fromUtf8(dest->options[i].value));
    for (const auto& [name, value] : order.options())
        options.set(name, value);

    const QByteArray jobTitle = title.toUtf8();
    const int jobId = cupsCreateJob(CUPS_HTTP_DEFAULT, dest->name, jobTitle.constData(),
                                    options.count(), options.data());
    if (jobId <= 0)
        return tr("The printer \"%1\" did not accept the job (%2).").arg(shownName, cupsError());

    const auto abandon = [&](const QString& reason) {
        cupsCancelJob2(CUPS_HTTP_DEFAULT, dest->name, jobId, 0);
        return tr("The document could not be sent to the printer \"%1\": %2")
            .arg(shownName, reason);
    };
    if (cupsStartDocument(CUPS_HTTP_DEFAULT, dest->name, jobId, jobTitle.constData(),
                          CUPS_FORMAT_PDF, 1)
        != HTTP_STATUS_CONTINUE)
        return abandon(cupsError());
    constexpr qsizetype kChunk = qsizetype{64} * 1024;
    for (qsizetype at = 0; at < pdf.size(); at += kChunk) {
        if (stopped()) {
            cupsFinishDocument(CUPS_HTTP_DEFAULT, dest->name);
            return abandon(tr("Printing was stopped."));
        }
        const qsizetype length = qMin(kChunk, pdf.size() - at);
        if (cupsWriteRequestData(CUPS_HTTP_DEFAULT, pdf.constData() + at,
                                 static_cast<size_t>(length))
            != HTTP_STATUS_CONTINUE) {
            const QString reason = cupsError();
            cupsFinishDocument(CUPS_HTTP_DEFAULT, dest->name);
            return abandon(reason);
        }
    }
    // Every status up to the last "successful-ok" one means the scheduler kept the job.
    if (cupsFinishDocument(CUPS_HTTP_DEFAULT, dest->name) > IPP_STATUS_OK_EVENTS_COMPLETE)
        return abandon(cupsError());
    // Stopped while the last bytes went: the job is in the queue, and leaves it again.
    if (stopped())
        return abandon(tr("Printing was stopped."));
    return {};
}

}  // namespace platform
