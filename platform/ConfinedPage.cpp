#include "platform/ConfinedPage.h"

#include "platform/Errors.h"
#include "platform/FolderConfinement.h"
#include "platform/PageScripts.h"
#include "platform/Trace.h"

#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QMutex>
#include <QUrlQuery>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include <utility>

namespace platform {

namespace {

// How long after a click or key press a link may still be handed on as the user's.
constexpr int kUserInputValidMs = 2000;
// The least time between two hand-offs to the desktop, whatever the pages do.
constexpr qint64 kHandOffIntervalMs = 1000;
// Page dialogs in quick succession that are shown before the rest are suppressed.
constexpr int kDialogsBeforeSuppression = 3;
constexpr int kDialogBurstMs = 30'000;

// Logs a refusal; a page that keeps trying gets a few lines a second, not thousands, and a
// count of what was left out.
void logRefusal(const QString& what, const QUrl& url)
{
    constexpr int kLinesPerWindow = 20;
    constexpr qint64 kWindowMs = 10'000;
    static QMutex mutex;
    static QElapsedTimer window;
    static int logged = 0;
    static int leftOut = 0;
    const QMutexLocker lock(&mutex);
    if (!window.isValid() || window.elapsed() > kWindowMs) {
        if (leftOut > 0)
            qCInfo(lcPage, "%d more refusals were not logged", leftOut);
        window.start();
        logged = 0;
        leftOut = 0;
    }
    if (logged >= kLinesPerWindow) {
        ++leftOut;
        return;
    }
    ++logged;
    qCInfo(lcPage).noquote() << what << url.toDisplayString(QUrl::RemovePassword);
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
    static QElapsedTimer last;
    if (last.isValid() && last.elapsed() < kHandOffIntervalMs) {
        logRefusal(QStringLiteral("refused a hand-off within a second of the last:"), url);
        return false;
    }
    last.start();
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
        if (allows(info.requestUrl()))
            return;
        logRefusal(QStringLiteral("refused a request of the page:"), info.requestUrl());
        info.block(true);
    }

private:
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
    connect(this, &QWebEnginePage::fullScreenRequested, this,
            [](QWebEngineFullScreenRequest request) { request.reject(); });
    connect(this, &QWebEnginePage::loadStarted, this, [this] {
        // A new page starts with a clean slate of dialogs.
        recentDialogs_.clear();
        dialogsSuppressed_ = false;
    });
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
    userInput_.setRemainingTime(kUserInputValidMs);
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
                      if (std::exchange(self->userInput_, QDeadlineTimer()).hasExpired())
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
        return true;
    }
    if (isMainFrame && type == NavigationTypeLinkClicked)
        handOffIfClicked(url);
    else
        logRefusal(QStringLiteral("refused a navigation of the page:"), url);
    return false;
}

void ConfinedPage::onNewWindowRequested(QWebEngineNewWindowRequest& request)
{
    const QUrl url = request.requestedUrl();
    if (!request.isUserInitiated()) {
        logRefusal(QStringLiteral("refused a window the user did not ask for:"), url);
        return;
    }
    if (allowsResource(url) && url.scheme() == QLatin1String("file")) {
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

bool ConfinedPage::admitPageDialog()
{
    if (dialogsSuppressed_)
        return false;
    recentDialogs_.removeIf([](const QDeadlineTimer& shown) { return shown.hasExpired(); });
    if (recentDialogs_.size() >= kDialogsBeforeSuppression) {
        qCInfo(lcPage) << "the page asked for too many dialogs; the rest are suppressed";
        dialogsSuppressed_ = true;
        return false;
    }
    recentDialogs_.append(QDeadlineTimer(kDialogBurstMs));
    return true;
}

void ConfinedPage::dismissDialog()
{
    if (openDialog_)
        openDialog_->reject();
}

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
    QMessageBox box(QMessageBox::NoIcon, dialogTitle(securityOrigin), msg, QMessageBox::Ok,
                    dialogParent(this), Qt::Dialog);
    box.setTextFormat(Qt::PlainText);
    runDialog(box);
}

bool ConfinedPage::javaScriptConfirm(const QUrl& securityOrigin, const QString& msg)
{
    if (!admitPageDialog())
        return false;
    QMessageBox box(QMessageBox::NoIcon, dialogTitle(securityOrigin), msg,
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
    input.setLabelText(msg.toHtmlEscaped());
    input.setTextValue(defaultValue);
    if (runDialog(input) != QDialog::Accepted)
        return false;
    if (result)
        *result = input.textValue();
    return true;
}

}  // namespace platform
