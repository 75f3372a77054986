#include "platform/web/ConfinedPage.h"

#include "platform/runtime/FolderConfinement.h"
#include "platform/runtime/Handler.h"
#include "platform/runtime/Limits.h"
#include "platform/runtime/RateLimit.h"
#include "platform/runtime/Trace.h"
#include "platform/web/PageScripts.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QHash>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMutex>
#include <QScreen>
#include <QStringList>
#include <QUrlQuery>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include <utility>

namespace platform {

namespace {

// The dialogs of one page, for as long as the program runs: reloading a page, or coming back
// to it, does not give it new ones.
struct DialogBudget {
    RateLimit recent{Limits::current().pageDialogsInBurst, Limits::current().pageDialogBurstMs};
    bool suppressed = false;
};

// A page is its file: the query and the fragment are left out, as the page can change them
// at will (location.search = n + 1) to pass for a new one.
DialogBudget& dialogBudgetOf(const QUrl& page)
{
    static QHash<QString, DialogBudget> budgets;
    return budgets[page.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo)
                       .toString()];
}

// A page's text in a dialog: at most a screenful, so that the dialog's buttons stay on the
// screen.
QString dialogText(const QString& text)
{
    constexpr qsizetype kMaxLength = 2000;
    constexpr qsizetype kMaxLines = 20;
    constexpr qsizetype kMaxLineLength = 200;
    const QString ellipsis(QChar(0x2026));
    QStringList lines = text.left(kMaxLength).split(QLatin1Char('\n'));
    bool cut = text.size() > kMaxLength || lines.size() > kMaxLines;
    if (lines.size() > kMaxLines)
        lines.resize(kMaxLines);
    for (QString& line : lines) {
        if (line.size() > kMaxLineLength) {
            line = line.left(kMaxLineLength) + ellipsis;
        }
    }
    if (cut)
        lines.last() += ellipsis;
    return lines.join(QLatin1Char('\n'));
}

// Logs a line about a page (a refusal, or what it writes to its console); a page that keeps
// trying gets a few lines a second, not thousands, and a count of what was left out.
void logLimited(const QString& line)
{
    static QMutex mutex;
    static RateLimit lines(Limits::current().pageLogLines, Limits::current().pageLogWindowMs);
    const QMutexLocker lock(&mutex);
    if (!lines.admit())
        return;
    if (const int leftOut = lines.takeRefused(); leftOut > 0)
        qCInfo(lcPage, "%d more lines about pages were not logged", leftOut);
    qCInfo(lcPage).noquote() << line;
}

void logRefusal(const QString& what, const QUrl& url)
{
    logLimited(what + QLatin1Char(' ') + url.toDisplayString(QUrl::RemovePassword));
}

// What a page writes, made safe for a terminal: control characters (ESC starts terminal
// commands), line and paragraph separators and the invisible format characters (the bidi
// overrides among them) are written as escapes, and a long text is cut short.
QString escapedPageText(const QString& text)
{
    constexpr qsizetype kMaxLength = 500;
    QString escaped;
    for (const QChar c : QStringView(text).left(kMaxLength)) {
        const char16_t code = c.unicode();
        const QChar::Category category = c.category();
        if (code < 0x20 || (code >= 0x7f && code < 0xa0))
            escaped += QStringLiteral("\\x%1").arg(uint{code}, 2, 16, QLatin1Char('0'));
        else if (category == QChar::Other_Format || category == QChar::Separator_Line
                 || category == QChar::Separator_Paragraph || c.isSurrogate())
            escaped += QStringLiteral("\\u%1").arg(uint{code}, 4, 16, QLatin1Char('0'));
        else
            escaped += c;
    }
    if (text.size() > kMaxLength)
        escaped += QStringLiteral("...");
    return escaped;
}

bool isLocalScheme(const QString& scheme)
{
    // What a page may always use: the program's own resources and data made in the page.
    return scheme == QLatin1String("qrc") || scheme == QLatin1String("data")
        || scheme == QLatin1String("blob") || scheme == QLatin1String("about");
}

bool isHandOffScheme(const QString& scheme)
{
    return scheme == QLatin1String("http") || scheme == QLatin1String("https")
        || scheme == QLatin1String("mailto");
}

// Hands an address to the user's browser or mail program, at most once a second for the
// whole process, so that no page can flood the desktop with launches.
bool handOffToDesktop(const QUrl& url)
{
    static RateLimit handOffs(1, Limits::current().handOffIntervalMs);
    if (!handOffs.admit()) {
        logRefusal(QStringLiteral("refused a hand-off within a second of the last:"), url);
        return false;
    }
    qCInfo(lcPage) << "handing to the desktop:" << url;
    QDesktopServices::openUrl(url);
    return true;
}

// A mail link gets the user's mail program to write a message, nothing more: of its fields
// only the recipients, the subject and the text are handed on (no attachments).
QUrl forDesktop(const QUrl& url)
{
    if (url.scheme() != QLatin1String("mailto") || !url.hasQuery())
        return url;
    static const QStringList kept
        = {QStringLiteral("to"), QStringLiteral("cc"), QStringLiteral("bcc"),
           QStringLiteral("subject"), QStringLiteral("body")};
    QUrlQuery fields;
    for (const auto& [name, value] : QUrlQuery(url).queryItems(QUrl::FullyEncoded)) {
        if (kept.contains(name.toLower()))
            fields.addQueryItem(name, value);
        else
            logRefusal(QStringLiteral("left out the field %1 of a mail link:").arg(name), url);
    }
    QUrl clean = url;
    clean.setQuery(fields.isEmpty() ? QString() : fields.query(QUrl::FullyEncoded),
                   QUrl::StrictMode);
    return clean;
}

}  // namespace

// Refuses, before it is made, every request of the page for a file outside its folder and
// every request that would leave the machine.
class FolderRequestFilter : public QWebEngineUrlRequestInterceptor {
public:
    explicit FolderRequestFilter(QString folder) : folder_(std::move(folder)) { }

    bool allows(const QUrl& url) const
    {
        const QString scheme = url.scheme();
        if (isLocalScheme(scheme))
            return true;
        return isFileInsideFolder(folder_, url);
    }

    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        if (!allows(info.requestUrl())) {
            logRefusal(QStringLiteral("refused a request of the page:"), info.requestUrl());
            info.block(true);
        } else if (!isServable(info)) {
            logRefusal(QStringLiteral("refused a request for what is not a file:"),
                       info.requestUrl());
            info.block(true);
        }
    }

private:
    // Only regular files are read, as far as can be told without opening them: reading a
    // named pipe blocks until someone writes to it (the page would never finish loading,
    // and the program could not end), and a device may never end. A folder may only be
    // shown as a page of its own.
    static bool isServable(const QWebEngineUrlRequestInfo& info)
    {
        const QUrl url = info.requestUrl();
        if (url.scheme() != QLatin1String("file"))
            return true;
        const QFileInfo file(QDir::cleanPath(url.toLocalFile()));  // links followed
        if (!file.exists() || file.isFile())
            return true;  // what is missing the engine reports as missing
        return file.isDir()
            && info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeMainFrame;
    }

    const QString folder_;
};

ConfinedPage::ConfinedPage(QObject* parent)
    : QWebEnginePage(parent), filter_(std::make_unique<FolderRequestFilter>(QString()))
{
    setUrlRequestInterceptor(filter_.get());
    // Pages never reach the network on their own, nor read what the user copied.
    settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings()->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    settings()->setAttribute(QWebEngineSettings::JavascriptCanPaste, false);
    settings()->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    settings()->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings()->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);
    addPageScripts(scripts());

    connect(this, &QWebEnginePage::newWindowRequested, this, &ConfinedPage::onNewWindowRequested);
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl& origin, Feature feature) {
                qCInfo(lcPage) << "refused a permission to" << origin << feature;
                setFeaturePermission(origin, feature, PermissionDeniedByUser);
            });
    connect(this, &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo& info) { shown_ = info.url(); });
    connect(this, &QWebEnginePage::fullScreenRequested, this,
            [](QWebEngineFullScreenRequest request) { request.reject(); });
}

ConfinedPage::~ConfinedPage()
{
    setUrlRequestInterceptor(nullptr);
}

void ConfinedPage::confineTo(const QString& folder)
{
    filter_ = std::make_unique<FolderRequestFilter>(canonicalFolder(folder));
    setUrlRequestInterceptor(filter_.get());
}

bool ConfinedPage::allowsResource(const QUrl& url) const
{
    return filter_->allows(url);
}

void ConfinedPage::noteUserInput()
{
    userInput_.setRemainingTime(Limits::current().userInputValidMs);
    mayAskToLeave_ = true;
}

bool ConfinedPage::noteLeaveRequested()
{
    // Answered as the user's click on its OK would: a message box merely accepted returns no
    // button, which reads as "stay".
    const auto* box = qobject_cast<QMessageBox*>(openDialog_.data());
    if (QAbstractButton* leave = box ? box->button(QMessageBox::Ok) : nullptr;
        leave && leavePromptOpen_) {
        leave->click();
        return true;
    }
    mayAskToLeave_ = true;
    return false;
}

bool ConfinedPage::takeUserInput()
{
    return !std::exchange(userInput_, QDeadlineTimer()).hasExpired();
}

void ConfinedPage::handOffIfClicked(const QUrl& url)
{
    if (!isHandOffScheme(url.scheme())) {
        logRefusal(QStringLiteral("refused a link of an unknown kind:"), url);
        return;
    }
    if (userInput_.hasExpired()) {
        logRefusal(QStringLiteral("refused a hand-off that no click asked for:"), url);
        return;
    }
    // Only the page knows which link the user's click or Enter activated; the program's own
    // script world, which the page can neither see nor change, recorded it at that moment.
    runJavaScript(takeActivatedLinkScript(url.toString(QUrl::FullyEncoded)),
                  QWebEngineScript::ApplicationWorld,
                  [self = QPointer<ConfinedPage>(this), url](const QVariant& activated) {
                      if (!self)
                          return;
                      if (!activated.toBool()) {
                          logRefusal(QStringLiteral("refused a hand-off of an address that is not "
                                                    "the link the user activated:"),
                                     url);
                          return;
                      }
                      // One hand-off per click, whatever becomes of it.
                      if (!self->takeUserInput())
                          return;
                      handOffToDesktop(forDesktop(url));
                  });
}

bool ConfinedPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    if (allowsResource(url)) {
        // Only the program itself shows pages made of data in the main frame.
        if (isMainFrame && url.scheme() == QLatin1String("data") && type != NavigationTypeTyped) {
            logRefusal(QStringLiteral("refused a page made of data:"),
                       QUrl(url.toString().left(40)));
            return false;
        }
        if (held_ && isMainFrame && type != NavigationTypeTyped) {
            heldUrl_ = url;
            return false;
        }
        return true;
    }
    if (isMainFrame && type == NavigationTypeLinkClicked)
        handOffIfClicked(url);
    else
        logRefusal(QStringLiteral("refused a navigation of the page:"), url);
    return false;
}

void ConfinedPage::holdNavigation(bool held)
{
    held_ = held;
    heldUrl_.clear();
}

void ConfinedPage::onNewWindowRequested(QWebEngineNewWindowRequest& request)
{
    const QUrl url = request.requestedUrl();
    if (!request.isUserInitiated()) {
        logRefusal(QStringLiteral("refused a window the user did not ask for:"), url);
        return;
    }
    if (allowsResource(url) && url.scheme() == QLatin1String("file")) {
        if (held_) {
            heldUrl_ = url;
            return;
        }
        setUrl(url);  // the book's own pages open here
        return;
    }
    handOffIfClicked(url);
}

QStringList ConfinedPage::chooseFiles(FileSelectionMode, const QStringList&, const QStringList&)
{
    // A book has no use for the user's files: every file or folder chooser, and every picker
    // of the file-system API (which comes here too), is refused without a dialog.
    qCInfo(lcPage) << "refused a file chooser of the page";
    emit fileChooserRefused();
    return {};
}

namespace {

bool admitDialogOf(const QUrl& page)
{
    DialogBudget& budget = dialogBudgetOf(page);
    if (budget.suppressed)
        return false;
    if (!budget.recent.admit()) {
        logRefusal(QStringLiteral("the page asked for too many dialogs; the rest are suppressed:"),
                   page);
        budget.suppressed = true;
        return false;
    }
    return true;
}

// The engine asks whether to leave a page (its beforeunload handler) as a confirm box with a
// text of its own, which is how it can be told apart.
bool isLeavePrompt(const QString& msg)
{
    return msg
        == QCoreApplication::translate("QWebEnginePage",
                                       "Are you sure you want to leave this page? Changes that "
                                       "you made may not be saved.");
}

}  // namespace

bool ConfinedPage::admitPageDialog()
{
    return admitDialogOf(url());
}

void ConfinedPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                            const QString& message, int lineNumber,
                                            const QString& sourceID)
{
    Q_UNUSED(level);
    // Written as the page gives it, a flood of lines fills the disk and the terminal, and
    // control characters in them are commands to the terminal.
    logLimited(QStringLiteral("the page's console (%1:%2): %3")
                   .arg(escapedPageText(QUrl(sourceID).fileName()))
                   .arg(lineNumber)
                   .arg(escapedPageText(message)));
}

void ConfinedPage::dismissDialog()
{
    if (openDialog_)
        openDialog_->reject();
}

namespace {

// Keeps a shown dialog, its buttons included, on the screen's free area.
void fitToScreen(QDialog& dialog)
{
    const QScreen* screen = dialog.screen();
    if (!screen)
        return;
    const QRect free = screen->availableGeometry();
    const QSize frame = dialog.frameGeometry().size() - dialog.size();
    const QSize most = free.size() - frame;
    if (dialog.width() > most.width() || dialog.height() > most.height())
        dialog.setFixedSize(dialog.size().boundedTo(most));
    QRect placed = dialog.frameGeometry();
    placed.moveRight(qMin(placed.right(), free.right()));
    placed.moveBottom(qMin(placed.bottom(), free.bottom()));
    placed.moveLeft(qMax(placed.left(), free.left()));
    placed.moveTop(qMax(placed.top(), free.top()));
    if (placed.topLeft() != dialog.frameGeometry().topLeft())
        dialog.move(placed.topLeft());
}

}  // namespace

int ConfinedPage::runDialog(QDialog& dialog)
{
    // The dialog belongs to the page only: the rest of the program stays usable (closing the
    // window included) and the view takes no input until the dialog is answered.
    QWebEngineView* view = QWebEngineView::forPage(this);
    QPointer<QWidget> blocked = view;
    if (blocked)
        blocked->setEnabled(false);
    openDialog_ = &dialog;
    int result = QDialog::Rejected;
    // Entered like an event handler, so that a window unloaded meanwhile stays valid until
    // the dialog has returned.
    Handler::run([&] {
        QEventLoop loop;
        connect(&dialog, &QDialog::finished, &loop, [&](int code) {
            result = code;
            loop.quit();
        });
        dialog.setWindowModality(Qt::NonModal);
        dialog.show();
        fitToScreen(dialog);
        loop.exec();
    });
    openDialog_ = nullptr;
    if (blocked)
        blocked->setEnabled(true);
    return result;
}

namespace {

QWidget* dialogParent(const QWebEnginePage* page)
{
    QWebEngineView* view = QWebEngineView::forPage(page);
    return view ? view->window() : nullptr;
}

QString dialogTitle(const QUrl& origin)
{
    const QString host = origin.host();
    return host.isEmpty() ? QObject::tr("Page") : host;
}

}  // namespace

void ConfinedPage::javaScriptAlert(const QUrl& securityOrigin, const QString& msg)
{
    if (!admitPageDialog())
        return;
    QMessageBox box(QMessageBox::NoIcon, dialogTitle(securityOrigin), dialogText(msg),
                    QMessageBox::Ok, dialogParent(this), Qt::Dialog);
    box.setTextFormat(Qt::PlainText);
    runDialog(box);
}

bool ConfinedPage::askToLeave(const QUrl& securityOrigin, const QString& msg)
{
    // Asked at most once for each click or request of the user's, and counted against the
    // dialogs of the page being left: while the next page is asked for, url() already names
    // that one. A question that may not be asked is answered "leave", so that no page can keep
    // the reader on it.
    const QUrl page = shown_.isEmpty() ? url() : shown_;
    if (!std::exchange(mayAskToLeave_, false)) {
        logRefusal(QStringLiteral("left without asking; the page asked again whether to leave:"),
                   page);
        return true;
    }
    if (!admitDialogOf(page))
        return true;
    QMessageBox box(QMessageBox::NoIcon, dialogTitle(securityOrigin), msg,
                    QMessageBox::Ok | QMessageBox::Cancel, dialogParent(this), Qt::Dialog);
    box.setTextFormat(Qt::PlainText);
    leavePromptOpen_ = true;
    const bool leave = runDialog(box) == QMessageBox::Ok;
    leavePromptOpen_ = false;
    if (!leave)
        emit leaveCancelled();
    return leave;
}

bool ConfinedPage::javaScriptConfirm(const QUrl& securityOrigin, const QString& msg)
{
    if (isLeavePrompt(msg))
        return askToLeave(securityOrigin, msg);
    if (!admitPageDialog())
        return false;
    QMessageBox box(QMessageBox::NoIcon, dialogTitle(securityOrigin), dialogText(msg),
                    QMessageBox::Ok | QMessageBox::Cancel, dialogParent(this), Qt::Dialog);
    box.setTextFormat(Qt::PlainText);
    return runDialog(box) == QMessageBox::Ok;
}

bool ConfinedPage::javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                                    const QString& defaultValue, QString* result)
{
    if (!admitPageDialog())
        return false;
    QInputDialog input(dialogParent(this), Qt::Dialog);
    input.setWindowTitle(dialogTitle(securityOrigin));
    // The label takes "&" for an access key ("Tom & Jerry" would show as "Tom  Jerry"); the
    // text is shown as the page gives it.
    input.setLabelText(dialogText(msg).replace(QLatin1Char('&'), QStringLiteral("&&")));
    if (auto* label = input.findChild<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    input.setTextValue(defaultValue);
    if (runDialog(input) != QDialog::Accepted)
        return false;
    if (result)
        *result = input.textValue();
    return true;
}

}  // namespace platform
