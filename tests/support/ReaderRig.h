#pragma once

// What the reader-window tests share: a fresh application folder with the book, and the
// real reader window shown on a page of it.

#include "platform/web/BrowserView.h"
#include "reader/QV101m.h"
#include "support/ModalWatcher.h"
#include "support/TempAppFolder.h"

#include <QApplication>
#include <QFile>
#include <QTest>
#include <QWebEnginePage>

#include <optional>

// The view holds the page, loaded, within 20 seconds.
inline bool waitForPage(platform::BrowserView* view, const QString& fileName)
{
    return QTest::qWaitFor([&] { return view->url().fileName() == fileName && !view->isLoading(); },
                           20000);
}

// The result of a script in the page (awaiting it when it is a promise).
inline QVariant evaluate(platform::BrowserView* view, const QString& script, bool await = false)
{
    QVariant result;
    bool done = false;
    if (await) {
        // runJavaScript does not wait for promises: park the value on the page.
        view->page()->runJavaScript(
            QStringLiteral("(async () => await (%1))().then(v => window.__result = v)")
                .arg(script));
        const auto ask = [&] {
            view->page()->runJavaScript(QStringLiteral("window.__result"), [&](const QVariant& v) {
                result = v;
                done = v.isValid();
            });
            QTest::qWait(50);
            return done;
        };
        [[maybe_unused]] const bool answered = QTest::qWaitFor(ask, 10000);
        return result;
    }
    view->page()->runJavaScript(script, [&](const QVariant& v) {
        result = v;
        done = true;
    });
    [[maybe_unused]] const bool answered = QTest::qWaitFor([&] { return done; }, 10000);
    return result;
}

// One test's application folder; going, it unloads the reader window before the folder goes.
class ReaderRig {
public:
    ~ReaderRig()
    {
        if (QV101m* w = QV101m::loadedInstance())
            w->Unload();
        QTest::qWait(0);
    }

    TempAppFolder folder;
    std::optional<ModalWatcher> watcher;  // for a test that answers message boxes and prompts

    // The reader window maximized and active, with the start page and then the given page of
    // the book loaded, and the focus in the page. A page that does not load fails the test.
    QV101m& show(const QString& fileName = QStringLiteral("start.html"))
    {
        QV101m& w = QV101m::instance();
        w.ShowMaximized();
        QApplication::setActiveWindow(&w);
        [[maybe_unused]] const bool active = QTest::qWaitForWindowActive(&w);
        bool loaded = waitForPage(w.WebBrowser1, QStringLiteral("start.html"));
        if (loaded && fileName != QLatin1String("start.html")) {
            w.WebBrowser1->Navigate(folder.file(fileName));
            loaded = waitForPage(w.WebBrowser1, fileName);
        }
        QTest::qVerify(loaded, "waitForPage", qPrintable(fileName + " did not load"), __FILE__,
                       __LINE__);
        w.WebBrowser1->setFocus();
        return w;
    }

    // Copies one of the hostile test pages into the book.
    void addHostilePage(const char* name) const
    {
        QVERIFY(QFile::copy(QStringLiteral(DA1011_HOSTILE_PAGES_DIR "/") + QLatin1String(name),
                            folder.file(QLatin1String(name))));
    }
};
