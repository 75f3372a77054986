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

// The lines of a text that hold more than white space, each with its spaces folded.
inline QStringList linesOf(const QString& text)
{
    QStringList lines;
    for (const QString& line : text.split(QLatin1Char('\n')))
        if (!line.simplified().isEmpty())
            lines << line.simplified();
    return lines;
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

// The local queue whose jobs land in a file, which CTest sets up for the tests that ask for
// it and names in the environment. problem is empty when the queue is ready.
struct TestQueue {
    QString name;
    QString output;
    QString problem;

    static const TestQueue& get()
    {
        static const TestQueue queue = [] {
            TestQueue q;
            q.name = qEnvironmentVariable("DA1011_TEST_QUEUE");
            q.output = qEnvironmentVariable("DA1011_TEST_QUEUE_DIR") + QLatin1Char('/') + q.name
                + QStringLiteral(".pdf");
            if (q.name.isEmpty())
                q.problem = QStringLiteral("no test queue named; run this test through ctest");
            else if (!runTool("lpstat", {"-v", q.name}).out.contains(q.output))
                q.problem = QStringLiteral("the print queue %1 is not set up (it needs root)")
                                .arg(q.name);
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
