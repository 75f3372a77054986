#include "platform/forms/FocusRing.h"
#include "platform/forms/PictureBox.h"
#include "platform/forms/Twips.h"
#include "support/AccessibleCheck.h"
#include "support/ModalWatcher.h"
#include "support/TempAppFolder.h"
#include "support/TestMain.h"
#include "support/TwipsPlaces.h"
#include "welcome/QV101.h"

#include <QAccessible>
#include <QCheckBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <cmath>

class WelcomeWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempAppFolder> folder_;

    QV101& shownWelcome()
    {
        QV101& window = QV101::instance();
        window.Show();
        QApplication::setActiveWindow(&window);
        [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(&window);
        return window;
    }

private slots:
    void init() { folder_ = std::make_unique<TempAppFolder>(); }
    void cleanup()
    {
        if (QV101* window = QV101::loadedInstance())
            window->Unload();
        QTest::qWait(0);
        folder_.reset();
    }

    void theWindowOpensAsDesigned()
    {
        QV101& window = shownWelcome();
        QCOMPARE(window.windowTitle(), QStringLiteral("Get Our Quorvel Weekly ezine FREE!"));
        QCOMPARE(window.size(), QSize(390, 421));  // 5850 x 6315 twips
        const QRect screen = window.screen()->availableGeometry();
        QVERIFY(qAbs(window.geometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(window.geometry().center().y() - screen.center().y()) <= 1);
        // The designed 16 x 16 icon, and larger renditions for task switchers.
        QCOMPARE(window.windowIcon().availableSizes(),
                 (QList<QSize>{{16, 16}, {32, 32}, {48, 48}, {64, 64}, {128, 128}, {256, 256}}));
        QCOMPARE(window.windowIcon()
                     .pixmap(QSize(16, 16))
                     .toImage()
                     .convertToFormat(QImage::Format_ARGB32),
                 QImage(QStringLiteral(":/icon16.png")).convertToFormat(QImage::Format_ARGB32));
        QCOMPARE(window.Label2->text(), QV101::kLabel2Text);
        QCOMPARE(window.Label5->text(), QV101::kLabel5Text);
        QVERIFY(window.Text1->text().isEmpty());
        QVERIFY(window.Text2->text().isEmpty());
        QCOMPARE(window.Check1->checkState(), Qt::Unchecked);
        QCOMPARE(window.Check1->text(), QStringLiteral("Don't Show This Screen Again."));
        QCOMPARE(window.Command1->text(), QStringLiteral("Subscribe For Free"));
        QCOMPARE(window.Command2->text(), QStringLiteral("Start Book"));
        QCOMPARE(window.Picture1->picture().size(), QSize(141, 180));
    }

    void theDesignedColoursStayReadableOnADarkDesktop()
    {
        // What a dark colour scheme hands the program (Qt's GTK theme, a dark Fusion palette).
        const QPalette desktop = QApplication::palette();
        const auto restore = qScopeGuard([&desktop] { QApplication::setPalette(desktop); });
        QPalette dark(QColor(60, 60, 60), QColor(36, 36, 36));
        dark.setColor(QPalette::WindowText, QColor(238, 238, 238));
        dark.setColor(QPalette::Text, QColor(238, 238, 238));
        dark.setColor(QPalette::Base, QColor(24, 24, 24));
        QApplication::setPalette(dark);
        QV101& w = shownWelcome();
        // WCAG's contrast ratio.
        const auto luminance = [](const QColor& c) {
            const auto channel = [](double v) {
                return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
            };
            return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF())
                + 0.0722 * channel(c.blueF());
        };
        const auto contrast = [&luminance](const QColor& a, const QColor& b) {
            const double x = luminance(a);
            const double y = luminance(b);
            return (qMax(x, y) + 0.05) / (qMin(x, y) + 0.05);
        };
        QCOMPARE(w.Label3->palette().color(QPalette::WindowText), QColor(192, 0, 0));
        for (const QWidget* text : std::initializer_list<const QWidget*>{
                 w.Label1, w.Label2, w.Label3, w.Label4, w.Label5, w.Label6, w.Label7, w.Check1}) {
            const QColor ink = text->palette().color(text->foregroundRole());
            const QColor ground = text->parentWidget()->palette().color(QPalette::Window);
            QVERIFY2(
                contrast(ink, ground) >= 4.5,
                qPrintable(text->objectName() + QStringLiteral(": %1").arg(contrast(ink, ground))));
        }
    }

    void everyControlSitsAtItsPlaceInTwips()
    {
        QV101& w = QV101::instance();
        const TwipsPlaces places = {
            {w.Label1, {2760, 120, 2655, 375}},    {w.Picture1, {120, 120, 2175, 2760}},
            {w.Check1, {120, 6000, 2535, 255}},    {w.Label2, {2520, 600, 3135, 615}},
            {w.Label3, {2520, 1440, 3135, 375}},   {w.Label4, {2520, 1920, 3255, 255}},
            {w.Label5, {2400, 2400, 3285, 1035}},  {w.Frame1, {120, 3480, 5655, 1935}},
            {w.Label6, {720, 360, 855, 255}},      {w.Label7, {720, 840, 1095, 255}},
            {w.Text1, {1920, 360, 2775, 285}},     {w.Text2, {1920, 840, 2775, 285}},
            {w.Command1, {1920, 1320, 2775, 375}}, {w.Command2, {4680, 5880, 1095, 375}},
        };
        const QString misplaced = misplacedControl(places);
        QVERIFY2(misplaced.isEmpty(), qPrintable(misplaced));
        for (QWidget* inFrame :
             std::initializer_list<QWidget*>{w.Label6, w.Label7, w.Text1, w.Text2, w.Command1})
            QCOMPARE(inFrame->parentWidget(), w.Frame1);
        QVERIFY(w.Frame1->title().isEmpty());
    }

    void fontsAndColourKeepEachTextInsideItsLabel()
    {
        QV101& w = QV101::instance();
        QCOMPARE(w.Label1->font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(w.Label1->font().weight(), QFont::Bold);
        QVERIFY(w.Label1->font().pointSizeF() <= 15 && w.Label1->font().pointSizeF() >= 12);
        QCOMPARE(w.Label3->font().weight(), QFont::Bold);
        QVERIFY(w.Label3->font().pointSizeF() <= 12 && w.Label3->font().pointSizeF() >= 10);
        QCOMPARE(w.Label3->palette().color(QPalette::WindowText), QColor(192, 0, 0));
        for (QLabel* label : {w.Label1, w.Label3, w.Label4, w.Label6, w.Label7}) {
            const int textWidth = QFontMetrics(label->font()).horizontalAdvance(label->text());
            QVERIFY2(textWidth <= label->width(), qPrintable(label->text()));
        }
        for (QLabel* label : {w.Label2, w.Label5}) {
            const QRect needed
                = QFontMetrics(label->font())
                      .boundingRect(QRect(0, 0, label->width(), 10000),
                                    Qt::TextWordWrap | Qt::AlignHCenter, label->text());
            QVERIFY2(needed.height() <= label->height(), qPrintable(label->text()));
            QVERIFY(label->alignment() & Qt::AlignHCenter);
        }
    }

    void tabOrderCyclesFromThePicture()
    {
        QV101& w = shownWelcome();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.Picture1));
        const QList<QWidget*> cycle
            = {w.Check1, w.Text1, w.Text2, w.Command1, w.Command2, w.Picture1};
        for (QWidget* next : cycle) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    void theFirstFocusIsRinged()
    {
        QV101& w = shownWelcome();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.Picture1));
        auto* ring = w.findChild<platform::FocusRing*>();
        QVERIFY(ring && ring->isVisible());
        QVERIFY(ring->geometry().contains(w.Picture1->geometry()));
        QTest::keyClick(w.Picture1, Qt::Key_Tab);
        QVERIFY(!ring->isVisible());
    }

    void enterOrEscapeInATextBoxPressesNoButton()
    {
        QV101& w = shownWelcome();
        QSignalSpy subscribe(w.Command1, &QPushButton::clicked);
        QSignalSpy start(w.Command2, &QPushButton::clicked);
        for (QLineEdit* text : {w.Text1, w.Text2}) {
            text->setFocus();
            QTest::keyClick(text, Qt::Key_Return);
            QTest::keyClick(text, Qt::Key_Enter);
            QTest::keyClick(text, Qt::Key_Escape);
        }
        QCOMPARE(subscribe.count() + start.count(), 0);
        QVERIFY(QV101::loadedInstance());
    }

    void returnOnAFocusedButtonClicksIt_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("Enter") << int(Qt::Key_Enter);
    }
    void returnOnAFocusedButtonClicksIt()
    {
        QFETCH(int, key);
        ModalWatcher watcher;
        QV101& w = shownWelcome();
        w.Command1->setFocus(Qt::TabFocusReason);
        QTest::keyClick(w.Command1, static_cast<Qt::Key>(key));
        QCOMPARE(watcher.texts(),
                 QStringList{QStringLiteral("You Forgot to enter your first name")});
    }

    void everyControlHasANameAndRole_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("name");
        QTest::newRow("window") << "" << int(QAccessible::Window)
                                << "Get Our Quorvel Weekly ezine FREE!";
        QTest::newRow("Picture1") << "Picture1" << int(QAccessible::Graphic)
                                  << "Cover of Quorvel 101, marked free";
        QTest::newRow("Check1") << "Check1" << int(QAccessible::CheckBox)
                                << "Don't Show This Screen Again.";
        QTest::newRow("Text1") << "Text1" << int(QAccessible::EditableText) << "First Name:";
        QTest::newRow("Text2") << "Text2" << int(QAccessible::EditableText) << "Email Address:";
        QTest::newRow("Command1") << "Command1" << int(QAccessible::Button) << "Subscribe For Free";
        QTest::newRow("Command2") << "Command2" << int(QAccessible::Button) << "Start Book";
        QTest::newRow("Label3") << "Label3" << int(QAccessible::StaticText) << "Quorvel Weekly!";
        QTest::newRow("Label5") << "Label5" << int(QAccessible::StaticText) << QV101::kLabel5Text;
    }
    void everyControlHasANameAndRole()
    {
        QFETCH(QString, control);
        QFETCH(int, role);
        QFETCH(QString, name);
        QV101& w = shownWelcome();
        verifyAccessible(&w, control, role, name);
    }

    void shrinkingHidesWhatFallsOutsideAndMaximizingIsAllowed()
    {
        QV101& w = shownWelcome();
        const QRect startBook = w.Command2->geometry();
        QCOMPARE(w.minimumSize(), QSize(0, 0));
        w.resize(200, 150);
        QCOMPARE(w.size(), QSize(200, 150));
        QCOMPARE(w.Command2->geometry(), startBook);  // still there, outside the client area
        QVERIFY(!w.rect().contains(startBook));
        QCOMPARE(w.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
        w.showMaximized();
        QTRY_VERIFY(w.isMaximized());
    }

    void enlargingTheWindowMovesNothing()
    {
        QV101& w = shownWelcome();
        const QRect before = w.Command2->geometry();
        w.resize(800, 700);
        QCOMPARE(w.Command2->geometry(), before);
    }
};

DA1011_TEST_MAIN(WelcomeWindowTest)
#include "test_welcome_window.moc"
