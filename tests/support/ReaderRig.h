#pragma once

// What the reader-window tests share: a fresh application folder with the book, and the
// real reader window shown on a page of it.

#include "platform/web/BrowserView.h"
#include "platform/web/PageAnswer.h"
#include "reader/QV101m.h"
#include "support/ModalWatcher.h"
#include "support/TempAppFolder.h"
#include "support/Waiting.h"

#include <QApplication>
#include <QFile>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>
#include <optional>

// The view holds the page, loaded, within 20 seconds.
inline bool waitForPage(platform::BrowserView* view, const QString& fileName)
{
    return waitUntil([&] { return view->url().fileName() == fileName && !view->isLoading(); },
                     20000);
}

// The result of a script in the page (awaiting it when it is a promise); invalid when the
// page gave none within ten seconds. An answer that comes later lands in state this call
// shares with the page's callback, never on a stack that is gone.
inline QVariant evaluate(platform::BrowserView* view, const QString& script, bool await = false)
{
    struct Answer {
        QVariant value;
        bool done = false;
    };
    const auto answer = std::make_shared<Answer>();
    if (await) {
        // runJavaScript does not wait for promises: park the value on the page.
        view->page()->runJavaScript(
            QStringLiteral("(async () => await (%1))().then(v => window.__result = v)")
                .arg(script));
        const auto ask = [&] {
            view->page()->runJavaScript(QStringLiteral("window.__result"),
                                        [answer](const QVariant& v) {
                                            answer->value = v;
                                            answer->done = v.isValid();
                                        });
            letEventsRun(50);
            return answer->done;
        };
        [[maybe_unused]] const bool answered = waitUntil(ask, 10000);
        return answer->value;
    }
    view->page()->runJavaScript(script, [answer](const QVariant& v) {
        answer->value = v;
        answer->done = true;
    });
    [[maybe_unused]] const bool answered = waitUntil([&] { return answer->done; }, 10000);
    return answer->value;
}

// Whether the page answers within `withinMs`, asked in the program's own script world (a page
// busy in an endless script does not).
inline bool answersWithin(platform::BrowserView* view, int withinMs)
{
    std::optional<bool> answered;
    platform::askPage(
        view->page(), QStringLiteral("1"), withinMs, view,
        [&answered](const std::optional<QVariant>& answer) { answered = answer.has_value(); });
    // The wait's own end comes within withinMs; the margin only guards against a lost call.
    [[maybe_unused]] const bool settled
        = waitUntil([&answered] { return answered.has_value(); }, withinMs + 1000);
    return answered.value_or(false);
}

// Presses a key where the keyboard's focus is, as a user would.
inline void pressKey(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* target = QApplication::focusWidget();
    QVERIFY(target);
    QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
}

// Clicks the first element that matches the selector with the mouse, as a user would.
inline void clickElement(platform::BrowserView* view, const QString& selector,
                         Qt::MouseButton button = Qt::LeftButton)
{
    const QVariantList centre
        = evaluate(view,
                   QStringLiteral("(() => { const r = document.querySelector(\"%1\")"
                                  ".getBoundingClientRect();"
                                  " return [r.x + r.width / 2, r.y + r.height / 2]; })()")
                       .arg(selector))
              .toList();
    QVERIFY2(centre.size() == 2, qPrintable(selector));
    QWidget* surface = view->webView()->focusProxy();
    QTest::mouseClick(surface, button, {}, QPoint(centre[0].toInt(), centre[1].toInt()));
}

// One test's application folder; going, it unloads the reader window before the folder goes.
class ReaderRig {
public:
    ~ReaderRig()
    {
        if (QV101m* w = QV101m::loadedInstance())
            w->Unload();
        letEventsRun(0);
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
