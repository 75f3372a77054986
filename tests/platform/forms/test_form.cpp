#include "platform/forms/Form.h"
#include "platform/forms/PictureBox.h"
#include "platform/forms/Timer.h"
#include "platform/runtime/AppInfo.h"
#include "platform/runtime/Errors.h"
#include "platform/runtime/Handler.h"
#include "platform/runtime/Plugins.h"
#include "support/ModalWatcher.h"
#include "support/TestMain.h"

#include <QEventLoop>
#include <QJsonObject>
#include <QOpenGLContext>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using platform::ErrorTrap;
using platform::Form;
using platform::FormSlot;
using platform::MousePointer;
using platform::PlatformError;

namespace {

// A form that records its life and can be told to unload itself while loading.
class ProbeForm : public Form {
public:
    static int loads;
    static bool unloadDuringLoad;
    bool shownAtLoad = true;

protected:
    void Form_Load() override
    {
        ++loads;
        shownAtLoad = isVisible();
        if (unloadDuringLoad)
            Unload();
    }
};
int ProbeForm::loads = 0;
bool ProbeForm::unloadDuringLoad = false;

class ButtonForm : public Form {
public:
    ButtonForm() : button(new QPushButton(this)) { onClick(button, &ButtonForm::Button_Click); }
    QPushButton* button;
    int clicks = 0;

private:
    void Button_Click() { ++clicks; }
};

class FailingForm : public Form {
protected:
    void Form_Load() override { throw PlatformError(platform::kErrFileNotFound, "File not found"); }
};

}  // namespace

class FormTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        ProbeForm::loads = 0;
        ProbeForm::unloadDuringLoad = false;
        platform::Application::resetExitRequest();
    }

    void aFormIsLoadedOnFirstReferenceAndAfreshAfterUnload()
    {
        FormSlot<ProbeForm> slot;
        QVERIFY(!slot.loaded());
        ProbeForm& first = slot.get();
        QCOMPARE(ProbeForm::loads, 1);
        QVERIFY(!first.shownAtLoad);
        QCOMPARE(&slot.get(), &first);
        QCOMPARE(ProbeForm::loads, 1);

        QPointer<ProbeForm> old(&first);
        first.Show();
        first.Unload();
        QVERIFY(!first.isVisible());
        QVERIFY(old);  // still valid until the running code returns to the event loop
        QVERIFY(!slot.loaded());
        ProbeForm& second = slot.get();
        QCOMPARE(ProbeForm::loads, 2);
        QVERIFY(&second != old.data() || !old);
        QTRY_VERIFY(!old);
        second.Unload();
        QTest::qWait(0);
    }

    void anUnloadedFormOutlivesModalLoopsOfTheRunningHandler()
    {
        FormSlot<ProbeForm> slot;
        QPointer<ProbeForm> form(&slot.get());
        bool aliveAfterLoop = false;
        platform::Handler::run([&] {
            // A nested handler (the close box, say) unloads the window while the outer
            // handler waits in a modal loop, as it does for a print job.
            platform::Handler::run([&] { form->Unload(); });
            QEventLoop loop;
            QTimer::singleShot(50, &loop, &QEventLoop::quit);
            loop.exec();
            aliveAfterLoop = !form.isNull();
        });
        QVERIFY(aliveAfterLoop);
        QTRY_VERIFY(form.isNull());
    }

    void aFormUnloadedDuringItsLoadIsNeverShown()
    {
        ProbeForm::unloadDuringLoad = true;
        FormSlot<ProbeForm> slot;
        ProbeForm& form = slot.get();
        QVERIFY(!form.isLoaded());
        form.Show();
        QVERIFY(!form.isVisible());
        QTest::qWait(0);
    }

    void theCloseBoxUnloads()
    {
        FormSlot<ProbeForm> slot;
        ProbeForm& form = slot.get();
        form.Show();
        form.close();
        QVERIFY(!slot.loaded());
        QVERIFY(!form.isVisible());
        QTest::qWait(0);
    }

    void anUnloadedWindowsButtonsHandleNothing()
    {
        FormSlot<ButtonForm> slot;
        ButtonForm& form = slot.get();
        form.button->click();
        QCOMPARE(form.clicks, 1);
        form.Unload();
        form.button->click();
        QCOMPARE(form.clicks, 1);
        QTest::qWait(0);
    }

    void noWindowLeftIsNoticedOnlyAfterTheHandlerReturns()
    {
        auto& registry = platform::FormRegistry::instance();
        QSignalSpy spy(&registry, &platform::FormRegistry::noWindowLoaded);
        FormSlot<ProbeForm> a;
        FormSlot<ProbeForm> b;
        platform::Handler::run([&] {
            a.get().Show();
            a.get().Unload();
            QCOMPARE(spy.count(), 0);  // never at the unload itself
            b.get().Show();  // the hand-off within one handler
        });
        QTest::qWait(10);
        QCOMPARE(spy.count(), 0);
        platform::Handler::run([&] { b.get().Unload(); });
        QCOMPARE(spy.count(), 0);
        QTRY_COMPARE(spy.count(), 1);
    }

    void anUntrappedErrorReachesTheHandlerOfLastResort()
    {
        QList<int> reported;
        QStringList descriptions;
        platform::LastResort::setReporter([&](int number, const QString& description) {
            reported << number;
            descriptions << description;
        });
        FormSlot<FailingForm> slot;
        platform::Handler::run([&] { slot.get().Show(); });
        platform::Handler::run([] { throw std::runtime_error("boom"); });
        platform::LastResort::setReporter({});
        QCOMPARE(reported, (QList<int>{platform::kErrFileNotFound, platform::kErrInternal}));
        QCOMPARE(descriptions.first(), QStringLiteral("File not found"));
        QVERIFY(!slot.loaded());
    }

    void theDefaultLastResortShowsTheErrorAndEndsTheProcess()
    {
        ModalWatcher watcher;
        platform::Handler::run(
            [] { throw PlatformError(platform::kErrPathFileAccess, "Path/File access error"); });
        QVERIFY(platform::Application::exitRequested());
        QCOMPARE(watcher.seen().size(), 1);
        QCOMPARE(watcher.seen().first().title, QStringLiteral("DA1011"));
        QVERIFY(watcher.seen().first().text.contains(QStringLiteral("Path/File access error")));
        QCOMPARE(watcher.seen().first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(watcher.seen().first().icon, QMessageBox::NoIcon);
        // Once the process is ending, no further handler runs.
        bool ran = false;
        platform::Handler::run([&] { ran = true; });
        QVERIFY(!ran);
    }

    void theErrorTrapSkipsFailingStatementsAndKeepsTheNumber()
    {
        ErrorTrap trap;
        QCOMPARE(trap.number(), 0);
        QStringList done;
        trap.attempt([&] { done << "a"; });
        trap.attempt([&] {
            throw PlatformError(platform::kErrInvalidPropertyValue, "Invalid property value");
        });
        trap.attempt([&] { done << "c"; });
        QCOMPARE(done, (QStringList{"a", "c"}));
        QCOMPARE(trap.number(), platform::kErrInvalidPropertyValue);
        ErrorTrap rearmed;
        QCOMPARE(rearmed.number(), 0);
    }

    void aTimerExpiryIsNotDeliveredAgainWhileItsHandlerRuns()
    {
        QObject owner;
        platform::Timer timer(&owner, 20, false);
        int entered = 0;
        int nestedEntries = 0;
        bool inside = false;
        timer.onExpiry([&] {
            if (inside)
                ++nestedEntries;
            inside = true;
            ++entered;
            QTest::qWait(200);  // a modal prompt spins its own event loop like this
            inside = false;
        });
        QCOMPARE(timer.interval(), 20);
        QVERIFY(!timer.enabled());
        timer.setEnabled(true);
        QTRY_VERIFY(entered >= 2);
        timer.setEnabled(false);
        QCOMPARE(nestedEntries, 0);
    }

    void theMousePointerShowsTheHourglassAndComesBack()
    {
        FormSlot<ProbeForm> slot;
        Form& form = slot.get();
        form.setMousePointer(MousePointer::Hourglass);
        QCOMPARE(form.mousePointer(), MousePointer::Hourglass);
        QVERIFY(QGuiApplication::overrideCursor());
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        form.setMousePointer(MousePointer::Default);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        form.setMousePointer(MousePointer::Hourglass);
        form.Unload();  // an unloaded window leaves no hourglass behind
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QTest::qWait(0);
    }

    void aPictureIsEnlargedSmoothlyOnAHighDensityScreen()
    {
        // Black and white columns, drawn on a screen with two device pixels to each of its
        // pixels: enlarged in blocks, every device pixel would be black or white.
        QImage stripes(8, 8, QImage::Format_RGB32);
        for (int x = 0; x < 8; ++x)
            for (int y = 0; y < 8; ++y)
                stripes.setPixel(x, y, x % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        platform::PictureBox box(nullptr);
        box.setPicture(QPixmap::fromImage(stripes));
        box.resize(40, 40);
        QPixmap shown(box.size() * 2);
        shown.setDevicePixelRatio(2);
        box.render(&shown);
        const QImage drawn = shown.toImage();
        const QPoint inside = box.contentsRect().topLeft() * 2 + QPoint(4, 4);
        bool between = false;
        for (int x = 0; x < 8; ++x) {
            const int grey = qGray(drawn.pixel(inside + QPoint(x, 0)));
            between = between || (grey > 20 && grey < 235);
        }
        QVERIFY(between);
    }

    void aPluginThatCannotBeLoadedRaisesAClearError()
    {
        try {
            platform::loadPluginObject(QStringLiteral("no-such-plugin"), "example.none/1.0");
            QFAIL("no error raised");
        } catch (const PlatformError& error) {
            QCOMPARE(error.number(), platform::kErrFileNotFound);
            QVERIFY(error.description().startsWith(
                QStringLiteral("no-such-plugin could not be loaded: ")));
        }
    }

    // The web engine needs the application-wide shared graphics context; the program sets it
    // up through Qt's own (private) function, which must keep taking effect.
    void theWebEngineGetsItsSharedGraphicsContext()
    {
        platform::prepareWebEngine();
        QOpenGLContext* shared = QOpenGLContext::globalShareContext();
        QVERIFY2(shared, "qt_gl_set_global_share_context no longer sets the shared context");
        platform::prepareWebEngine();
        QCOMPARE(QOpenGLContext::globalShareContext(), shared);
    }

    void theApplicationFolderHasNoTrailingSeparator()
    {
        platform::Application::setPathOverride(QStringLiteral("/some/folder/"));
        QCOMPARE(platform::Application::path(), QStringLiteral("/some/folder"));
        platform::Application::setPathOverride(QStringLiteral("/"));
        QCOMPARE(platform::Application::path(), QStringLiteral("/"));
        platform::Application::setPathOverride(QString());
        QCOMPARE(platform::Application::path(), QCoreApplication::applicationDirPath());
        QCOMPARE(platform::Application::title(), QStringLiteral("DA1011"));
    }
};

DA1011_TEST_MAIN(FormTest)
#include "test_form.moc"
