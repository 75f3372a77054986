#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QPageLayout>
#include <QPrinter>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

namespace platform {

// What the print prompt chose for a printer queue, taken from its QPrinter when a job
// starts so that the printer may be reused or destroyed while the job runs.
struct QueueOrder {
    QString printerName;  // "queue" or "queue/instance"; empty for the default queue
    int copies = 1;
    bool collate = true;
    QPrinter::DuplexMode duplex = QPrinter::DuplexNone;
    QPrinter::ColorMode colorMode = QPrinter::Color;
    QPageLayout layout;
    QStringList dialogOptions;  // name, value, name, value, ...

    static QueueOrder from(const QPrinter& printer);
    // The job's options in CUPS's names.
    std::vector<std::pair<QString, QString>> options() const;
};

// The CUPS print system, as far as a print job needs it.
class CupsQueue {
    Q_DECLARE_TR_FUNCTIONS(CupsQueue)
public:
    // The job options a print dialog chose for a CUPS queue beyond what QPrinter says
    // (page set, pages per side, banners, the driver's own options), as names and values.
    static QStringList dialogJobOptions(const QPrinter& printer);

    // Hands the PDF to the queue as one job. Blocks until the scheduler has taken it, so it
    // runs on a worker thread; CUPS keeps its connection and last error per thread. Returns
    // why it failed in a user's words, or nothing once the scheduler has kept the job. Once
    // stop is set it sends no more and cancels the job in the queue, also one already sent.
    static QString submit(const QueueOrder& order, const QString& title, const QByteArray& pdf,
                          const std::shared_ptr<const std::atomic_bool>& stop = {});
};

}  // namespace platform
