// The smallest Qt program that shows a local page in a web view: the yardstick for how long
// the reader takes to show its first page and how much memory it needs while doing so.
// Usage: minimal_webview FILE
// Logs "shown" after the first show event and "loaded" after the first successful load, each
// from a zero-timer, like the reader's milestones.
#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>

#include <cstdio>

namespace {

void logLine(const char* line)
{
    std::fputs(line, stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

class View : public QWebEngineView {
protected:
    void showEvent(QShowEvent* event) override
    {
        QWebEngineView::showEvent(event);
        if (shownLogged_)
            return;
        shownLogged_ = true;
        QTimer::singleShot(0, this, [] { logLine("shown"); });
    }

private:
    bool shownLogged_ = false;
};

}  // namespace

int main(int argc, char* argv[])
{
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    if (argc < 2) {
        logLine("usage: minimal_webview FILE");
        return 2;
    }
    View view;
    bool loadedLogged = false;
    QObject::connect(&view, &QWebEngineView::loadFinished, &view, [&view, &loadedLogged](bool ok) {
        if (!ok || loadedLogged)
            return;
        loadedLogged = true;
        QTimer::singleShot(0, &view, [] { logLine("loaded"); });
    });
    view.setUrl(QUrl::fromLocalFile(QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath()));
    view.showMaximized();
    return QApplication::exec();
}
