#pragma once

// Waiting in tests for what the program does in its event loop. QTest's own waits (qWait,
// qWaitFor and the QTRY_ macros built on them) sleep 10 ms between rounds of events; the web
// engine takes one event for each step of a page's load, so under them a page that loads in
// 50 ms takes a second and a half. These wait in an event loop of their own instead, which
// wakes for each event as it comes.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <algorithm>

// Runs the event loop until the condition holds or timeoutMs have passed; whether it holds.
// The condition is checked between rounds of events, never from inside one, so it may wait
// itself (ask the page for an answer, say).
template <typename Condition> bool waitUntil(Condition condition, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs, Qt::PreciseTimer);
    while (!condition()) {
        const qint64 remaining = deadline.remainingTime();
        if (remaining <= 0)
            return false;
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(std::min<qint64>(5, remaining)), Qt::PreciseTimer,
                           &loop, &QEventLoop::quit);
        loop.exec();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

// Lets the event loop run for ms milliseconds; for 0, one round of the events waiting.
inline void letEventsRun(int ms)
{
    const QDeadlineTimer deadline(ms, Qt::PreciseTimer);
    do {
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(std::clamp<qint64>(deadline.remainingTime(), 0, 5)),
                           Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    } while (!deadline.hasExpired());
}

// QTRY_VERIFY and QTRY_COMPARE, waiting as above; five seconds unless a timeout is given. The
// expression is evaluated once more, for the failure's message, only when the wait failed:
// a condition that held (a page's answer, say) may not hold a moment later.
// Waits for the expression to hold (or the test to have failed already); whether it did.
#define DA1011_WAIT_FOR(expr, timeout)                                                             \
    waitUntil([&] { return QTest::currentTestFailed() || bool(expr); }, (timeout))
#define TRY_VERIFY_WITH_TIMEOUT(expr, timeout)                                                     \
    do {                                                                                           \
        if (!DA1011_WAIT_FOR(expr, timeout))                                                       \
            QVERIFY(expr);                                                                         \
    } while (false)
#define TRY_VERIFY(expr) TRY_VERIFY_WITH_TIMEOUT(expr, 5000)
#define TRY_VERIFY2(expr, message)                                                                 \
    do {                                                                                           \
        if (!DA1011_WAIT_FOR(expr, 5000))                                                          \
            QVERIFY2(expr, message);                                                               \
    } while (false)
#define TRY_COMPARE_WITH_TIMEOUT(expr, expected, timeout)                                          \
    do {                                                                                           \
        if (!DA1011_WAIT_FOR((expr) == (expected), timeout))                                       \
            QCOMPARE(expr, expected);                                                              \
    } while (false)
#define TRY_COMPARE(expr, expected) TRY_COMPARE_WITH_TIMEOUT(expr, expected, 5000)
