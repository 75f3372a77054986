#pragma once

// Reading printed output back: poppler's command-line tools and the local CUPS test queue.

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

inline ToolRun runTool(const QString& program, const QStringList& arguments, int timeoutMs = 30000)
{
    QProcess process;
    process.start(program, arguments);
    ToolRun run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("%1 did not finish: %2").arg(program, process.errorString());
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// The PDF's text (one page, or all when page is 0).
inline QString pdfText(const QString& pdf, int page = 0)
{
    QStringList arguments;
    if (page > 0)
        arguments << "-f" << QString::number(page) << "-l" << QString::number(page);
    arguments << "-layout" << pdf << "-";
    return runTool("pdftotext", arguments).out;
}

inline QString pdfInfo(const QString& pdf, const QString& field)
{
    const ToolRun run = runTool("pdfinfo", {pdf});
    const QRegularExpression line(QStringLiteral("^%1:\\s*(.*)$").arg(field),
                                  QRegularExpression::MultilineOption);
    const auto match = line.match(run.out);
    return match.hasMatch() ? match.captured(1).trimmed() : QString();
}

inline int pdfPages(const QString& pdf)
{
    const QString pages = pdfInfo(pdf, "Pages");
    return pages.isEmpty() ? -1 : pages.toInt();
}

// The local queue whose jobs land in a file, set up once per test process by the project's
// script. problem is empty when the queue is ready.
struct TestQueue {
    QString name;
    QString output;
    QString problem;

    static const TestQueue& get()
    {
        static const TestQueue queue = [] {
            TestQueue q;
            const ToolRun run
                = runTool("bash", {QStringLiteral(DA1011_CUPS_TEST_QUEUE_SCRIPT)}, 60000);
            const QRegularExpression name(QStringLiteral("^queue=(.+)$"),
                                          QRegularExpression::MultilineOption);
            const QRegularExpression output(QStringLiteral("^output=(.+)$"),
                                            QRegularExpression::MultilineOption);
            if (run.exitCode == 0) {
                q.name = name.match(run.out).captured(1).trimmed();
                q.output = output.match(run.out).captured(1).trimmed();
            }
            if (q.name.isEmpty() || q.output.isEmpty())
                q.problem = QStringLiteral("the CUPS test queue could not be set up (%1): %2")
                                .arg(run.exitCode)
                                .arg(run.err.trimmed());
            return q;
        }();
        return queue;
    }

    bool idle() const
    {
        const ToolRun run = runTool("lpstat", {"-o", name});
        return run.exitCode == 0 && run.out.trimmed().isEmpty();
    }
};
