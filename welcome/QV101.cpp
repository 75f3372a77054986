#include "welcome/QV101.h"

#include "platform/forms/Controls.h"
#include "platform/forms/FocusRing.h"
#include "platform/forms/Fonts.h"
#include "platform/forms/PictureBox.h"
#include "platform/forms/Twips.h"
#include "platform/runtime/AppInfo.h"
#include "platform/runtime/Errors.h"
#include "platform/runtime/MessageBox.h"
#include "welcome/SkipFile.h"
#include "welcome/SubscriptionUrl.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include <utility>

using platform::makeCommandButton;
using platform::makeLabel;
using platform::placeInTwips;

namespace {

const QString kMessageTitle = QStringLiteral("Quorvel 101");

}  // namespace

const QString QV101::kLabel2Text = QStringLiteral(
    "As a free gift for downloading this eBook, I'd like to give you a free subscription to "
    "our weekly quorvel eZine called:");
const QString QV101::kLabel5Text = QStringLiteral(
    "To subscribe to Quorvel Weekly, packed with tons of tips and occasional great freebies, "
    "enter your first name and email address below.");

QV101& QV101::instance()
{
    return platform::FormSlot<QV101>::process().get();
}

QV101* QV101::loadedInstance()
{
    return platform::FormSlot<QV101>::process().loaded();
}

QV101::QV101()
{
    setWindowTitle(QStringLiteral("Get Our Quorvel Weekly ezine FREE!"));
    setClientSizeTwips(5850, 6315);
}

void QV101::buildControls()
{
    // The window's colours were chosen on a light dialog (the dark red of "Quorvel Weekly!"
    // above all): on a dark desktop it keeps the light palette of its style, which the
    // controls inherit.
    setPalette(style()->standardPalette());
    Label1 = makeLabel(this, QStringLiteral("Free Gift For You"), Qt::AlignLeft | Qt::AlignTop);
    placeInTwips(*Label1, 2760, 120, 2655, 375);
    Label1->setFont(platform::fittedFont(QStringLiteral("MS Sans Serif"), 15, 700, Label1->text(),
                                         Label1->width()));

    Picture1 = new platform::PictureBox(this);
    placeInTwips(*Picture1, 120, 120, 2175, 2760);
    Picture1->setPicture(QPixmap(QStringLiteral(":/welcome.gif")));

    Check1 = new QCheckBox(QStringLiteral("Don't Show This Screen Again."), this);
    placeInTwips(*Check1, 120, 6000, 2535, 255);
    Check1->setFont(platform::fittedFont(platform::dialogFont(), Check1->text(),
                                         platform::checkBoxCaptionWidth(*Check1)));

    Label2 = makeLabel(this, QString(), Qt::AlignHCenter | Qt::AlignTop);
    Label2->setWordWrap(true);
    placeInTwips(*Label2, 2520, 600, 3135, 615);

    Label3 = makeLabel(this, QStringLiteral("Quorvel Weekly!"), Qt::AlignHCenter | Qt::AlignTop);
    placeInTwips(*Label3, 2520, 1440, 3135, 375);
    Label3->setFont(platform::fittedFont(QStringLiteral("MS Sans Serif"), 12, 700, Label3->text(),
                                         Label3->width()));
    QPalette red = Label3->palette();
    red.setColor(QPalette::WindowText, QColor(192, 0, 0));
    Label3->setPalette(red);

    Label4 = makeLabel(this, QStringLiteral("($32.00 value yours free)"),
                       Qt::AlignHCenter | Qt::AlignTop);
    placeInTwips(*Label4, 2520, 1920, 3255, 255);

    Label5 = makeLabel(this, QString(), Qt::AlignHCenter | Qt::AlignTop);
    Label5->setWordWrap(true);
    placeInTwips(*Label5, 2400, 2400, 3285, 1035);

    Frame1 = new QGroupBox(this);
    placeInTwips(*Frame1, 120, 3480, 5655, 1935);

    Label6 = makeLabel(Frame1, QStringLiteral("First Name:"), Qt::AlignLeft | Qt::AlignTop);
    placeInTwips(*Label6, 720, 360, 855, 255);
    Label7 = makeLabel(Frame1, QStringLiteral("Email Address:"), Qt::AlignLeft | Qt::AlignTop);
    placeInTwips(*Label7, 720, 840, 1095, 255);

    Text1 = new QLineEdit(Frame1);
    placeInTwips(*Text1, 1920, 360, 2775, 285);
    Text2 = new QLineEdit(Frame1);
    placeInTwips(*Text2, 1920, 840, 2775, 285);
    for (QLineEdit* text : {Text1, Text2})
        text->setMaxLength(32767 * 1024);  // no practical limit on what can be typed

    Command1 = makeCommandButton(Frame1, QStringLiteral("Subscribe For Free"));
    placeInTwips(*Command1, 1920, 1320, 2775, 375);
    Command2 = makeCommandButton(this, QStringLiteral("Start Book"));
    placeInTwips(*Command2, 4680, 5880, 1095, 375);

    Frame1->setFocusPolicy(Qt::NoFocus);
    nameControls({{Label1, "Label1"},
                  {Picture1, "Picture1"},
                  {Check1, "Check1"},
                  {Label2, "Label2"},
                  {Label3, "Label3"},
                  {Label4, "Label4"},
                  {Label5, "Label5"},
                  {Frame1, "Frame1"},
                  {Label6, "Label6"},
                  {Label7, "Label7"},
                  {Text1, "Text1"},
                  {Text2, "Text2"},
                  {Command1, "Command1"},
                  {Command2, "Command2"}});
    setTabOrder(Picture1, Check1);
    setTabOrder(Check1, Text1);
    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Command1);
    setTabOrder(Command1, Command2);

    // Names for screen readers: the text boxes are named by their labels, the picture by what
    // it shows; buttons and the check box are read by their captions.
    Label6->setBuddy(Text1);
    Label7->setBuddy(Text2);
    Picture1->setAccessibleName(QStringLiteral("Cover of Quorvel 101, marked free"));
    // The picture has the first focus; its own dotted mark is lost on the dark cover.
    setFirstFocus(Picture1, "welcome window shown");
    new platform::FocusRing(Picture1);

    onClick(Command1, &QV101::Command1_Click);
    onClick(Command2, &QV101::Command2_Click);
}

void QV101::Form_Load()
{
    const QString skip = skipfile::read(platform::Application::path());
    if (skip == QStringLiteral("1")) {
        ShowBook();
        return;
    }
    // Only a window that will be shown gets its controls: going straight to the book must
    // not pay for fonts, the picture and text boxes nobody sees.
    buildControls();
    Label2->setText(kLabel2Text);
    Label5->setText(kLabel5Text);
}

namespace {
std::function<void()>& bookOpener()
{
    static std::function<void()> open;
    return open;
}
}  // namespace

void QV101::setBookOpener(std::function<void()> open)
{
    bookOpener() = std::move(open);
}

void QV101::ShowBook()
{
    instance().Unload();
    if (bookOpener())
        bookOpener()();
}

void QV101::StartBook()
{
    if (Check1->checkState() == Qt::Checked) {
        try {
            skipfile::write(platform::Application::path());
        } catch (const platform::PlatformError& error) {
            platform::MsgBox(QStringLiteral("Your choice could not be saved (%1). The welcome "
                                            "window will be shown again next time.")
                                 .arg(error.description()),
                             kMessageTitle);
        }
    }
    ShowBook();
}

void QV101::Command1_Click()
{
    if (Text1->text().isEmpty()) {
        platform::MsgBox(QStringLiteral("You Forgot to enter your first name"), kMessageTitle);
        return;
    }
    if (Text2->text().isEmpty()) {
        platform::MsgBox(QStringLiteral("You Forgot to enter your email address"), kMessageTitle);
        return;
    }
    try {
        withHourglass([this] {
            Inet1.OpenURL(subscriptionUrl(subscriptionBase(), Text2->text(), Text1->text()));
        });
    } catch (const platform::PlatformError& error) {
        platform::MsgBox(QStringLiteral("Sorry, your subscription could not be sent (%1). Please "
                                        "check your Internet connection and try again.")
                             .arg(error.description()),
                         kMessageTitle);
        return;
    }
    StartBook();
}

void QV101::Command2_Click()
{
    StartBook();
}
