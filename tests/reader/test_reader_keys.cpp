#include "platform/forms/FocusRing.h"
#include "platform/search/BookSearch.h"
#include "platform/web/BrowserView.h"
#include "platform/web/FindBar.h"
#include "reader/QV101m.h"
#include "support/AccessibleCheck.h"
#include "support/ReaderRig.h"
#include "support/TestMain.h"
#include "support/Waiting.h"

#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

const QByteArray kFindPage = "<html><head><title>find</title></head><body>"
                             "<p>A knot here.</p><p>Another KNOT there.</p><p>knots!</p>"
                             "</body></html>";
const QByteArray kMenuPage
    = "<html><head><title>menu</title></head><body style='font-size:40px;margin:0'>"
      "<p id=text>Plain words here</p><p><a id=link href='chapter01.html'>A link</a></p>"
      "</body></html>";

}  // namespace

// The reader window's keys, find bar, context menu and names for screen readers, on the real
// window and web view.
class ReaderKeysTest : public QObject {
    Q_OBJECT

    std::optional<ReaderRig> rig_;

    static platform::FindBar* findBar(QV101m& w) { return w.findChild<platform::FindBar*>(); }

private slots:
    void init() { rig_.emplace(); }
    void cleanup()
    {
        QAccessible::setActive(false);
        rig_.reset();
    }

    void historyAndReloadKeys()
    {
        QV101m& w = rig_->show();
        w.WebBrowser1->Navigate(rig_->folder.file("chapter01.html"));
        QVERIFY(waitForPage(w.WebBrowser1, QStringLiteral("chapter01.html")));
        pressKey(Qt::Key_Left, Qt::AltModifier);
        QVERIFY(waitForPage(w.WebBrowser1, QStringLiteral("start.html")));
        pressKey(Qt::Key_Right, Qt::AltModifier);
        QVERIFY(waitForPage(w.WebBrowser1, QStringLiteral("chapter01.html")));
        QSignalSpy started(w.WebBrowser1, &platform::BrowserView::loadStarted);
        pressKey(Qt::Key_F5);
        TRY_COMPARE(started.count(), 1);
        QVERIFY(waitForPage(w.WebBrowser1, QStringLiteral("chapter01.html")));
    }

    void scrollingKeysStillScroll()
    {
        QV101m& w = rig_->show(QStringLiteral("chapter02.html"));
        const auto scrollY
            = [&w] { return evaluate(w.WebBrowser1, QStringLiteral("window.scrollY")).toDouble(); };
        const struct {
            int key;
            bool down;
        } keys[] = {{Qt::Key_PageDown, true},
                    {Qt::Key_Space, true},
                    {Qt::Key_End, true},
                    {Qt::Key_PageUp, false},
                    {Qt::Key_Home, false}};
        for (const auto& key : keys) {
            const double before = scrollY();
            pressKey(key.key);
            TRY_VERIFY2(key.down ? scrollY() > before : scrollY() < before,
                        qPrintable(QKeySequence(key.key).toString()));
        }
        QCOMPARE(scrollY(), 0.0);
    }

    void findCountsAndStepsThroughMatches()
    {
        rig_->folder.write("find.html", kFindPage);
        QV101m& w = rig_->show(QStringLiteral("find.html"));
        const QRect viewBefore = w.WebBrowser1->geometry();
        // The top of the page, where the matches are, as the reader sees it.
        const auto pageLooks
            = [&w] { return w.WebBrowser1->webView()->grab(QRect(0, 0, 400, 150)).toImage(); };
        letEventsRun(300);
        const QImage plain = pageLooks();
        platform::FindBar* bar = findBar(w);
        QVERIFY(bar && !bar->isVisible());
        pressKey(Qt::Key_F, Qt::ControlModifier);
        QVERIFY(bar->isVisible());
        // Floating over the view's bottom edge; the view itself keeps its place and size.
        QCOMPARE(bar->parentWidget(), static_cast<QWidget*>(w.WebBrowser1));
        QCOMPARE(bar->geometry().bottom(), w.WebBrowser1->height() - 1);
        QCOMPARE(bar->width(), w.WebBrowser1->width());
        QCOMPARE(w.WebBrowser1->geometry(), viewBefore);
        auto* field = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(field && bar->isAncestorOf(field));
        QTest::keyClicks(field, QStringLiteral("knot"));
        TRY_COMPARE(bar->resultText(), QStringLiteral("1 of 3"));
        const struct {
            int key;
            Qt::KeyboardModifiers modifiers;
            const char* result;
        } steps[] = {
            {Qt::Key_Return, Qt::NoModifier, "2 of 3"},
            {Qt::Key_F3, Qt::NoModifier, "3 of 3"},
            {Qt::Key_Enter, Qt::KeypadModifier, "1 of 3"},
            {Qt::Key_Return, Qt::ShiftModifier, "3 of 3"},
            {Qt::Key_F3, Qt::ShiftModifier, "2 of 3"},
        };
        for (const auto& step : steps) {
            pressKey(step.key, step.modifiers);
            TRY_COMPARE(bar->resultText(), QString::fromLatin1(step.result));
        }
        QTest::mouseClick(bar->findChild<QPushButton*>(), Qt::LeftButton);  // "Previous"
        TRY_COMPARE(bar->resultText(), QStringLiteral("1 of 3"));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(field));
        QTest::keyClicks(field, QStringLiteral("zzz"));
        TRY_COMPARE(bar->resultText(), QStringLiteral("0 of 0"));
        field->selectAll();
        QTest::keyClicks(field, QStringLiteral("knot"));
        TRY_COMPARE(bar->resultText(), QStringLiteral("1 of 3"));
        TRY_VERIFY(pageLooks() != plain);  // the matches are highlighted
        pressKey(Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
        QVERIFY(w.WebBrowser1->isAncestorOf(QApplication::focusWidget()));
        TRY_VERIFY(pageLooks() == plain);  // and no longer
        QCOMPARE(w.WebBrowser1->geometry(), viewBefore);
    }

    void findsInTheWholeBookAndOpensAMatch()
    {
        QV101m& w = rig_->show();
        const QRect viewBefore = w.WebBrowser1->geometry();
        platform::FindBar* bar = findBar(w);
        pressKey(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(bar->isVisible() && bar->searchesWholeBook());
        QVERIFY(bar->findChild<QCheckBox*>()->isChecked());
        auto* list = bar->findChild<QListWidget*>();
        QVERIFY(list && list->isVisible());
        QCOMPARE(list->accessibleName(), QStringLiteral("Matches in the book"));
        QCOMPARE(bar->geometry().bottom(), w.WebBrowser1->height() - 1);
        QVERIFY(bar->height() >= w.WebBrowser1->height() / 3);  // over the lower part
        auto* field = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(field && bar->isAncestorOf(field));
        QTest::keyClicks(field, QStringLiteral("TALLY"));
        TRY_COMPARE_WITH_TIMEOUT(bar->resultText(), QStringLiteral("104 matches in 11 pages"),
                                 10000);
        QCOMPARE(bar->accessibleDescription(), bar->resultText());
        QCOMPARE(list->count(), 104);
        // In reading order: the contents first, then the chapters.
        QCOMPARE(list->item(0)->text(),
                 QStringLiteral("Quorvel 101 \u2014 Chapter 3: Cord, Tally and Board"));
        QVERIFY(list->item(1)->text().startsWith(
            QStringLiteral("Chapter 1: What Is Quorvel? \u2014 ")));
        QVERIFY(list->item(1)->text().contains(QStringLiteral("call the tally.")));
        // The last match of the third chapter: far down its page.
        int row = 0;
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->text().startsWith(QStringLiteral("Chapter 3:")))
                row = i;
        for (int i = 0; i < row; ++i)
            pressKey(Qt::Key_Down);
        QCOMPARE(list->currentRow(), row);
        pressKey(Qt::Key_Return);
        QVERIFY(waitForPage(w.WebBrowser1, QStringLiteral("chapter03.html")));
        // The view shows that very match, highlighted: the page search's active match is
        // the current selection's neighbour; its place is on screen.
        const QString wanted = QStringLiteral(R"((() => {
            const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
            const found = [];
            for (let node; (node = walker.nextNode());)
                for (const m of node.data.matchAll(/tally/gi)) {
                    const r = document.createRange();
                    r.setStart(node, m.index);
                    r.setEnd(node, m.index + 5);
                    found.push(r.getBoundingClientRect().top);
                }
            const top = found[found.length - 1];
            return top >= 0 && top < window.innerHeight && window.scrollY > 1000;
        })())");
        TRY_VERIFY_WITH_TIMEOUT(evaluate(w.WebBrowser1, wanted).toBool(), 10000);
        QVERIFY(bar->isVisible() && list->count() == 104);  // the list stays
        QCOMPARE(w.WebBrowser1->geometry(), viewBefore);
        pressKey(Qt::Key_Left, Qt::AltModifier);
        QVERIFY(waitForPage(w.WebBrowser1, QStringLiteral("start.html")));
        pressKey(Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
        // Ctrl+F finds in the page again.
        pressKey(Qt::Key_F, Qt::ControlModifier);
        QVERIFY(bar->isVisible() && !bar->searchesWholeBook() && !list->isVisible());
    }

    void aChosenMatchOpensInSightAboveTheBar_data()
    {
        QTest::addColumn<QString>("shown");  // the page shown when the search starts
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("page");  // the chapter of the match chosen
        QTest::addColumn<QString>("near");  // its first row with these words, else its last
        QTest::addColumn<QString>("selected");
        QTest::addColumn<bool>("turkish");
        QTest::newRow("far down a long chapter") << "start.html"
                                                 << "cord"
                                                 << "chapter01.html"
                                                 << ""
                                                 << "cord" << false;
        QTest::newRow("on the page already shown") << "chapter03.html"
                                                   << "cord"
                                                   << "chapter03.html"
                                                   << ""
                                                   << "cord" << false;
        QTest::newRow("Turkish: If, not dif") << "start.html"
                                              << "if"
                                              << "chapter02.html"
                                              << "If the knot held"
                                              << "If" << true;
        QTest::newRow("Turkish: WHEELING") << "start.html"
                                           << "WHEELING"
                                           << "chapter01.html"
                                           << ""
                                           << "wheeling" << true;
        QTest::newRow("curly apostrophe") << "start.html"
                                          << "user's"
                                          << "chapter10.html"
                                          << ""
                                          << "user\u2019s" << false;
    }
    void aChosenMatchOpensInSightAboveTheBar()
    {
        QFETCH(QString, shown);
        QFETCH(QString, query);
        QFETCH(QString, page);
        QFETCH(QString, near);
        QFETCH(QString, selected);
        QFETCH(bool, turkish);
        const QLocale before;
        const auto restore = qScopeGuard([&before] { QLocale::setDefault(before); });
        if (turkish)
            QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
        // A book set with curly quotes.
        QFile chapter(rig_->folder.file("chapter10.html"));
        QVERIFY(chapter.open(QIODevice::ReadOnly));
        rig_->folder.write(
            "chapter10.html",
            chapter.readAll().replace("</body>",
                                      "<p>Every user\xE2\x80\x99s cord is their own.</p></body>"));
        chapter.close();
        QV101m& w = rig_->show(shown);
        platform::FindBar* bar = findBar(w);
        pressKey(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::keyClicks(QApplication::focusWidget(), query);
        auto* list = bar->findChild<QListWidget*>();
        TRY_VERIFY_WITH_TIMEOUT(!bar->findChild<platform::BookSearch*>()->isRunning(), 10000);
        QListWidgetItem* chosen = nullptr;
        for (int i = 0; i < list->count(); ++i) {
            const QString text = list->item(i)->text();
            const QString path = list->item(i)->data(Qt::UserRole).toString();
            if (!path.endsWith(QLatin1Char('/') + page) || (chosen && !near.isEmpty()))
                continue;
            if (near.isEmpty() || text.contains(near))
                chosen = list->item(i);
        }
        QVERIFY(chosen);
        list->setCurrentItem(chosen);
        pressKey(Qt::Key_Return);
        QVERIFY(waitForPage(w.WebBrowser1, page));
        // The chosen match, selected, in the part of the view above the bar, in the very
        // block its row quotes.
        QString context = chosen->text().section(QStringLiteral(" \u2014 "), 1);
        context.remove(QChar(0x2026));
        const double zoom = w.WebBrowser1->webView()->zoomFactor();
        const int barTop
            = w.WebBrowser1->webView()->mapFrom(w.WebBrowser1, bar->geometry().topLeft()).y();
        const QString where = QStringLiteral(R"((() => {
            const s = getSelection();
            if (s.rangeCount !== 1)
                return [];
            const r = s.getRangeAt(0).getBoundingClientRect();
            const block = s.anchorNode.parentElement.closest('p, li, h1, h2, h3, td, div');
            return [s.toString(), r.top, r.bottom, block.textContent.replace(/\s+/g, ' ')];
        })())");
        QVariantList found;
        TRY_VERIFY_WITH_TIMEOUT((found = evaluate(w.WebBrowser1, where).toList()).size() == 4
                                    && found[0].toString().compare(selected, Qt::CaseInsensitive)
                                        == 0,
                                10000);
        QVERIFY2(found[1].toDouble() >= 0 && found[2].toDouble() * zoom <= barTop,
                 qPrintable(QStringLiteral("%1..%2 above %3")
                                .arg(found[1].toDouble())
                                .arg(found[2].toDouble())
                                .arg(barTop / zoom)));
        QVERIFY2(found[3].toString().contains(context.simplified()),
                 qPrintable(context + QStringLiteral(" / ") + found[3].toString()));
    }

    void theFindBarFitsANarrowWindow_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("pages");  // added to the book, linked from its start page
        QTest::newRow("half a 1366-pixel screen") << 683 << 0;
        QTest::newRow("the designed size") << 394 << 0;
        QTest::newRow("the designed size, reading a long book") << 394 << 4000;
    }
    void theFindBarFitsANarrowWindow()
    {
        QFETCH(int, width);
        QFETCH(int, pages);
        if (pages > 0) {
            QByteArray links;
            for (int i = 0; i < pages; ++i) {
                const QByteArray name = "more" + QByteArray::number(i) + ".html";
                links += "<a href='" + name + "'>.</a>";
                rig_->folder.write(
                    QString::fromLatin1(name),
                    "<p>" + QByteArray("Plain words, nothing to find. ").repeated(150));
            }
            rig_->folder.write(
                "start.html",
                rig_->folder.read("start.html").replace("</body>", links + "</body>"));
        }
        QV101m& w = rig_->show();
        w.showNormal();
        w.resize(width, 414);
        TRY_COMPARE(w.width(), width);
        platform::FindBar* bar = findBar(w);
        pressKey(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        auto* field = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(field);
        QTest::keyClicks(field, QStringLiteral("cord"));
        auto* search = bar->findChild<platform::BookSearch*>();
        if (pages > 0) {
            // The first search of a long book says how far it has read.
            TRY_VERIFY_WITH_TIMEOUT(bar->resultText().startsWith(QStringLiteral("Reading")), 10000);
            QVERIFY2(QRegularExpression(QStringLiteral("^Reading the book\u2026 \\d\\S* pages$"))
                         .match(bar->resultText())
                         .hasMatch(),
                     qPrintable(bar->resultText()));
        } else {
            TRY_VERIFY_WITH_TIMEOUT(!search->isRunning(), 10000);
        }
        TRY_COMPARE(bar->width(), w.WebBrowser1->width());
        QVERIFY2(field->width() >= 15 * field->fontMetrics().averageCharWidth(),
                 qPrintable(QString::number(field->width())));
        // The count whole, on one line or two.
        auto* count = bar->findChild<QLabel*>(QStringLiteral("FindResult"));
        const QRect needed = count->fontMetrics().boundingRect(
            count->contentsRect(), Qt::TextWordWrap | int(count->alignment()), count->text());
        QVERIFY2(
            count->contentsRect().contains(needed) || needed.width() <= count->width(),
            qPrintable(QStringLiteral("%1 wide for %2").arg(count->width()).arg(count->text())));
        QVERIFY(needed.height() <= count->height());
        // Every control whole inside the bar, none over another; a button shows its caption
        // whole or its icon, named by its tooltip.
        QList<QRect> taken;
        for (QWidget* control : bar->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!control->isVisible())
                continue;
            QVERIFY2(bar->rect().contains(control->geometry()), qPrintable(control->objectName()));
            for (const QRect& other : std::as_const(taken))
                QVERIFY(!other.intersects(control->geometry()));
            taken.append(control->geometry());
            if (auto* box = qobject_cast<QCheckBox*>(control))
                QVERIFY(box->width() >= box->sizeHint().width());
            if (auto* button = qobject_cast<QPushButton*>(control)) {
                QVERIFY(button->text().isEmpty()
                            ? !button->icon().isNull() && !button->toolTip().isEmpty()
                            : button->width() >= button->sizeHint().width());
            }
        }
        auto* list = bar->findChild<QListWidget*>();
        QVERIFY(!list->horizontalScrollBar()->isVisible());
        QVERIFY(list->height() >= 3 * list->sizeHintForRow(0));
        if (pages > 0) {
            // Escape stops the reading with the search: no page is opened after the one under
            // way.
            QVERIFY(search->isRunning());
            pressKey(Qt::Key_Escape);
            const quint64 read = search->index().pagesRead();
            TRY_VERIFY_WITH_TIMEOUT(!search->isRunning(), 20000);
            QVERIFY2(search->index().pagesRead() <= read + 1,
                     qPrintable(QStringLiteral("%1 pages read after Escape")
                                    .arg(search->index().pagesRead() - read)));
        }
    }

    void zoomStepsAndStaysForTheSession()
    {
        QV101m& w = rig_->show();
        QWebEngineView* view = w.WebBrowser1->webView();
        const auto wheel = [view](int notches) {
            QWidget* page = view->focusProxy();
            const QPoint at = page->rect().center();
            QWheelEvent event(at, page->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches),
                              Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(page, &event);
        };
        // Ctrl with: + = - 0 keys, u d the wheel up and down, in this order.
        const struct {
            QString presses;
            double factor;
        } steps[] = {
            {"+", 1.1},
            {"=", 1.25},
            {"-", 1.1},
            {"0", 1.0},
            {"d", 0.9},
            {"u", 1.0},
            {QString(20, QLatin1Char('-')), 0.25},
            {QString(20, QLatin1Char('+')), 5.0},
            {"0dd", 0.8},
        };
        for (const auto& step : steps) {
            for (const QChar press : step.presses) {
                if (press == QLatin1Char('u') || press == QLatin1Char('d')) {
                    wheel(press == QLatin1Char('u') ? 1 : -1);
                    continue;
                }
                const int key = press == QLatin1Char('+') ? Qt::Key_Plus
                    : press == QLatin1Char('=')           ? Qt::Key_Equal
                    : press == QLatin1Char('-')           ? Qt::Key_Minus
                                                          : Qt::Key_0;
                pressKey(key, Qt::ControlModifier);
            }
            TRY_COMPARE(view->zoomFactor(), step.factor);
        }
        w.WebBrowser1->Navigate(rig_->folder.file("chapter04.html"));
        QVERIFY(waitForPage(w.WebBrowser1, QStringLiteral("chapter04.html")));
        letEventsRun(100);
        QCOMPARE(view->zoomFactor(), 0.8);  // kept for the session
    }

    void contextMenuOffersOnlyWhatWorks_data()
    {
        QTest::addColumn<QString>("element");
        QTest::addColumn<QStringList>("entries");
        const QStringList first = {"Back", "Forward", "Reload", "Copy"};
        const QStringList last
            = {"Select All", "Find\u2026", "Read Aloud", "Print Current Page\u2026"};
        QTest::newRow("on text") << "text" << first + last;
        QTest::newRow("on a link") << "link" << first + QStringList{"Copy Link Address"} + last;
        QTest::newRow("menu key") << "" << first + last;
    }
    void contextMenuOffersOnlyWhatWorks()
    {
        QFETCH(QString, element);
        QFETCH(QStringList, entries);
        rig_->folder.write("menu.html", kMenuPage);
        QV101m& w = rig_->show(QStringLiteral("menu.html"));
        letEventsRun(200);  // the page's first frame, so that clicks land on it
        if (element.isEmpty()) {
            pressKey(Qt::Key_Menu);
        } else {
            const QJsonObject box
                = QJsonDocument::fromJson(
                      evaluate(w.WebBrowser1,
                               QStringLiteral("JSON.stringify(document.getElementById('%1')"
                                              ".getBoundingClientRect())")
                                   .arg(element))
                          .toString()
                          .toUtf8())
                      .object();
            const QPoint at(box[QStringLiteral("left")].toInt() + 10,
                            box[QStringLiteral("top")].toInt() + 10);
            QTest::mouseClick(w.WebBrowser1->webView()->focusProxy(), Qt::RightButton,
                              Qt::NoModifier, at);
        }
        TRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QStringList shown;
        QHash<QString, QAction*> byText;
        for (QAction* action : menu->actions()) {
            if (action->isSeparator())
                continue;
            shown << action->text();
            byText.insert(action->text(), action);
        }
        QCOMPARE(shown, entries);
        QVERIFY(byText[QStringLiteral("Back")]->isEnabled());  // the start page came first
        QVERIFY(!byText[QStringLiteral("Forward")]->isEnabled());
        QVERIFY(!byText[QStringLiteral("Copy")]->isEnabled());  // nothing selected
        QCOMPARE(byText[QStringLiteral("Print Current Page\u2026")]->shortcut(),
                 QKeySequence(Qt::CTRL | Qt::Key_P));
        QCOMPARE(byText[QStringLiteral("Read Aloud")]->shortcut(),
                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_U));
        if (QAction* link = byText.value(QStringLiteral("Copy Link Address"))) {
            QApplication::clipboard()->clear();
            link->trigger();
            TRY_COMPARE(QUrl(QApplication::clipboard()->text()),
                        QUrl::fromLocalFile(rig_->folder.file("chapter01.html")));
        }
        menu->close();
        byText.clear();
    }

    void returnOnAFocusedButtonClicksIt()
    {
        QV101m& w = rig_->show();
        QSignalSpy started(w.WebBrowser1, &platform::BrowserView::loadStarted);
        w.Command2->setFocus(Qt::TabFocusReason);
        pressKey(Qt::Key_Return);
        TRY_COMPARE(started.count(), 1);  // "Table Of Contents" loads the start page again
        QVERIFY(waitForPage(w.WebBrowser1, QStringLiteral("start.html")));
        pressKey(Qt::Key_Enter, Qt::KeypadModifier);
        TRY_COMPARE(started.count(), 2);
        QVERIFY(!w.Command2->isDefault() && !w.Command2->autoDefault());
    }

    void theFocusedPageIsRinged()
    {
        QV101m& w = rig_->show();
        platform::FocusRing* ring = nullptr;
        for (platform::FocusRing* each : w.findChildren<platform::FocusRing*>())
            if (each->widget() == w.WebBrowser1)
                ring = each;
        QVERIFY(ring);
        TRY_VERIFY(ring->isVisible());
        QVERIFY(ring->geometry().contains(w.WebBrowser1->geometry()));
        QVERIFY(ring->geometry() != w.WebBrowser1->geometry());
        w.Command1->setFocus(Qt::TabFocusReason);
        QVERIFY(!ring->isVisible());
    }

    void everyControlHasANameAndRole_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("name");
        QTest::newRow("window") << "" << int(QAccessible::Window) << "Quorvel 101";
        QTest::newRow("WebBrowser1") << "WebBrowser1" << int(QAccessible::Pane) << "Book page";
        QTest::newRow("Picture1") << "Picture1" << int(QAccessible::Graphic)
                                  << "Cover of Quorvel 101";
        QTest::newRow("Command1") << "Command1" << int(QAccessible::Button) << "Print Entire Book";
        QTest::newRow("Command2") << "Command2" << int(QAccessible::Button) << "Table Of Contents";
        QTest::newRow("Command3") << "Command3" << int(QAccessible::Button) << "Print Current Page";
        QTest::newRow("Label3") << "Label3" << int(QAccessible::StaticText) << "By: Tamsin Hale";
        QTest::newRow("Label4") << "Label4" << int(QAccessible::StaticText)
                                << "www.quorvel.example";
    }
    void everyControlHasANameAndRole()
    {
        QFETCH(QString, control);
        QFETCH(int, role);
        QFETCH(QString, name);
        QV101m& w = QV101m::instance();
        w.ShowMaximized();
        verifyAccessible(&w, control, role, name);
    }

    void thePagesTextReachesScreenReaders()
    {
        QV101m& w = rig_->show();
        // As when a screen reader starts listening (without one, Qt says nobody listens).
        QAccessible::setActive(true);
        QAccessibleInterface* root = QAccessible::queryAccessibleInterface(w.WebBrowser1);
        QVERIFY(root);
        const std::function<bool(QAccessibleInterface*, int)> holdsText
            = [&](QAccessibleInterface* node, int depth) {
                  if (!node || depth > 40)
                      return false;
                  if (node->text(QAccessible::Name).contains(QStringLiteral("What Is Quorvel?")))
                      return true;
                  for (int i = 0; i < node->childCount(); ++i)
                      if (holdsText(node->child(i), depth + 1))
                          return true;
                  return false;
              };
        TRY_VERIFY_WITH_TIMEOUT(holdsText(root, 0), 15000);
    }
};

DA1011_TEST_MAIN(ReaderKeysTest)
#include "test_reader_keys.moc"
