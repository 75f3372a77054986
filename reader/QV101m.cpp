#include "reader/QV101m.h"

#include "platform/forms/Accessibility.h"
#include "platform/forms/Controls.h"
#include "platform/forms/FocusRing.h"
#include "platform/forms/Fonts.h"
#include "platform/forms/PictureBox.h"
#include "platform/forms/Timer.h"
#include "platform/forms/Twips.h"
#include "platform/runtime/AppInfo.h"
#include "platform/runtime/Errors.h"
#include "platform/runtime/Handler.h"
#include "platform/runtime/MessageBox.h"
#include "platform/runtime/Trace.h"
#include "platform/web/BrowserView.h"
#include "platform/web/PageCommands.h"

#include <QLabel>
#include <QPushButton>

#include <cmath>

using platform::placeInTwips;

namespace {

using platform::BrowserCommand;
using platform::CommandOption;
using platform::CommandState;

QLabel* makeCreditLabel(QWidget* parent, const QString& text, int top)
{
    QLabel* label = platform::makeLabel(parent, text, Qt::AlignHCenter | Qt::AlignTop);
    placeInTwips(*label, 120, top, 1935, 255);
    label->setFont(
        platform::fittedFont(QStringLiteral("Small Fonts"), 6.75, 400, text, label->width()));
    return label;
}

// Single-precision subtraction that fails like the classic runtime does on overflow or an
// invalid operation, instead of handing infinity or NaN on to the view.
float checkedDifference(float value, float minus)
{
    const float result = value - minus;
    if (!std::isfinite(result))
        throw platform::PlatformError(platform::kErrOverflow, QStringLiteral("Overflow"));
    return result;
}

void tellPrintDisabled()
{
    platform::MsgBox(QStringLiteral("Sorry, the Print command is currently disabled."));
}

}  // namespace

QV101m& QV101m::instance()
{
    return platform::FormSlot<QV101m>::process().get();
}

QV101m* QV101m::loadedInstance()
{
    return platform::FormSlot<QV101m>::process().loaded();
}

QV101m::QV101m()
{
    setWindowTitle(QStringLiteral("Quorvel 101"));
    buildControls();
    setClientSizeTwips(5910, 6210);
}

void QV101m::buildControls()
{
    WebBrowser1 = new platform::BrowserView(this);
    WebBrowser1->confineTo(platform::Application::path());
    WebBrowser1->placeAt(2160, 120);
    WebBrowser1->setWidth(3495);
    WebBrowser1->setHeight(1455);

    Command1 = platform::makeCommandButton(this, QStringLiteral("Print Entire Book"));
    placeInTwips(*Command1, 360, 3840, 1455, 375);

    Picture1 = new platform::PictureBox(this);
    placeInTwips(*Picture1, 120, 120, 1920, 2160);
    Picture1->setPicture(QPixmap(QStringLiteral(":/reader.jpg")));

    Command2 = platform::makeCommandButton(this, QStringLiteral("Table Of Contents"));
    placeInTwips(*Command2, 360, 2880, 1455, 375);

    Label1 = makeCreditLabel(this, QStringLiteral("Copyright \u00A9 2026"), 4920);
    Label2 = makeCreditLabel(this, QStringLiteral("Quorvel Press"), 5160);
    Label3 = makeCreditLabel(this, QStringLiteral("By: Tamsin Hale"), 2520);
    Label4 = makeCreditLabel(this, QStringLiteral("www.quorvel.example"), 5400);

    Command3 = platform::makeCommandButton(this, QStringLiteral("Print Current Page"));
    placeInTwips(*Command3, 360, 3360, 1455, 375);

    Timer1 = new platform::Timer(this, 1000, true);
    Timer1->onExpiry([this] { Timer1_Timer(); });

    nameControls({{WebBrowser1, "WebBrowser1"},
                  {Command1, "Command1"},
                  {Picture1, "Picture1"},
                  {Command2, "Command2"},
                  {Label1, "Label1"},
                  {Label2, "Label2"},
                  {Label3, "Label3"},
                  {Label4, "Label4"},
                  {Command3, "Command3"}});
    setTabOrder(WebBrowser1, Command1);
    setTabOrder(Command1, Picture1);
    setTabOrder(Picture1, Command2);
    setTabOrder(Command2, Command3);

    // Names for screen readers; buttons and labels are read by their captions.
    platform::describeForScreenReaders(WebBrowser1, QStringLiteral("Book page"), QAccessible::Pane);
    Picture1->setAccessibleName(QStringLiteral("Cover of Quorvel 101"));
    // The page has the first focus. It draws no focus of its own, and the picture's is lost
    // on the dark cover: a ring shows where the keys go.
    setFirstFocus(WebBrowser1, "reader window shown");
    new platform::FocusRing(WebBrowser1);
    new platform::FocusRing(Picture1);
    // Back, forward, reload, zoom and find on the keys and in the context menu; Ctrl+P and the
    // menu's print entry are "Print Current Page".
    auto* commands = new platform::PageCommands(WebBrowser1);
    commands->onPrint([this] { Command3_Click(); });
    // Ctrl+Shift+F finds in every page; the whole-book page repeats the chapters.
    commands->searchBook(platform::Application::path(), startPageLocation(), {wholeBookLocation()});

    onClick(Command1, &QV101m::Command1_Click);
    onClick(Command2, &QV101m::Command2_Click);
    onClick(Command3, &QV101m::Command3_Click);
    // A page's own print button prints it like "Print Current Page", and is told so like it
    // when printing is not possible now.
    connect(WebBrowser1, &platform::BrowserView::printRequested, this,
            [this] { platform::Handler::run([this] { Command3_Click(); }); });
    connect(WebBrowser1, &platform::BrowserView::printRefused, this, [] {
        platform::Handler::run([] { platform::ErrorTrap().attempt(tellPrintDisabled); });
    });
    // A whole-book print cancelled while its book loads is not to be prompted for.
    connect(WebBrowser1, &platform::BrowserView::printJobEnded, this,
            [this] { Timer1->setEnabled(false); });
    connect(WebBrowser1, &platform::BrowserView::loadFinished, this, [](bool ok) {
        if (ok)
            platform::traceMilestone("page loaded");
    });
    // A renderer that dies would leave a blank pane: the page the reader was on comes back,
    // reloaded, at the place they were reading (the contents if no page was shown).
    WebBrowser1->onPageProcessDied([this] {
        if (!WebBrowser1->reloadWhereItWas())
            WebBrowser1->Navigate(startPageLocation());
    });
}

QString QV101m::startPageLocation()
{
    return platform::Application::path() + QStringLiteral("/start.html");
}

QString QV101m::wholeBookLocation()
{
    return platform::Application::path() + QStringLiteral("/Quorvel 101.HTM");
}

void QV101m::Form_Load()
{
    Timer1->setEnabled(false);
    WebBrowser1->Navigate(startPageLocation());
    SizeBrowser();
}

void QV101m::Form_Resize()
{
    SizeBrowser();
}

void QV101m::SizeBrowser()
{
    platform::ErrorTrap trap;
    trap.attempt([this] {
        const float picture = static_cast<float>(platform::pixelsToTwips(Picture1->width()));
        const float window = outerWidthTwips();
        WebBrowser1->setWidth(checkedDifference(checkedDifference(window, picture), 500.0f));
    });
    trap.attempt([this] { WebBrowser1->setHeight(checkedDifference(outerHeightTwips(), 700.0f)); });
}

void QV101m::Command2_Click()
{
    WebBrowser1->Navigate(startPageLocation());
}

void QV101m::Command3_Click()
{
    platform::ErrorTrap trap;
    platform::CommandStatus status;
    trap.attempt([&] { status = WebBrowser1->QueryStatusWB(BrowserCommand::Print); });
    if (trap.number() != 0)
        return;
    if (status.testFlag(CommandState::Enabled)) {
        trap.attempt(
            [this] { WebBrowser1->ExecWB(BrowserCommand::Print, CommandOption::PromptUser); });
        return;
    }
    trap.attempt([] { tellPrintDisabled(); });
}

void QV101m::Command1_Click()
{
    // The reader waits for the prompt from the click on: under the hourglass.
    setMousePointer(platform::MousePointer::Hourglass);
    WebBrowser1->Navigate(wholeBookLocation());
    WebBrowser1->printWhenLoaded();
    Timer1->setEnabled(true);
}

void QV101m::Timer1_Timer()
{
    // The prompt comes up under the normal pointer; a page still loading keeps the hourglass
    // while the print waits for it.
    setMousePointer(platform::MousePointer::Default);
    Command3_Click();
    Timer1->setEnabled(false);
}
