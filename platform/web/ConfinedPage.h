#pragma once

#include <QDeadlineTimer>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWebEnginePage>

#include <QUrl>

#include <memory>
#include <utility>

class QDialog;

namespace platform {

class FolderRequestFilter;

// A web page that treats what it shows as untrusted, like a file from the internet:
// - it reads and navigates only within one folder on disk (and the program's own resources);
//   every other file, and every request to the network, is refused;
// - a web or mail link the user clicks (same frame or new window) is handed to the user's
//   browser or mail program, once per click and at most once a second, and only the address
//   of the link clicked (a mail link without attachments); nothing else is;
// - new-window links within the folder open in this page;
// - its JavaScript dialogs block only the page, never the program, and after a few in quick
//   succession the rest of that page's are suppressed until the program ends (reloading
//   does not bring them back); their texts are shown as given and cut to a screenful;
// - what it writes to its console is logged, rate-limited and with control characters
//   escaped;
// - requests for the camera, microphone, location, notifications or full screen are refused,
//   and so are file choosers; WebRTC and the file-system pickers are not there at all.
// Every refusal is logged under the "da1011.page" category.
class ConfinedPage : public QWebEnginePage {
    Q_OBJECT
public:
    explicit ConfinedPage(QObject* parent = nullptr);
    ~ConfinedPage() override;

    // The folder whose files the page may show and read; empty allows no file at all.
    void confineTo(const QString& folder);
    bool allowsResource(const QUrl& url) const;

    // The view reports the user's clicks and key presses; one hand-off may follow each.
    void noteUserInput();
    // Whether a request of the page follows a click or key press of the user's that no other
    // request has used; uses it up. One request per click.
    bool takeUserInput();
    // Whether a page-initiated dialog (including a print request) may be shown now; counts it.
    bool admitPageDialog();
    // The user asked for another page (the side panel): the page may ask once whether to
    // leave it. A question of the page's still open is answered "leave", so that the page can
    // never hold the side panel's buttons back; returns whether one was.
    bool noteLeaveRequested();
    // Closes the page's open dialog, if any, as if cancelled (the window holding the page is
    // going away).
    void dismissDialog();
    bool dialogOpen() const { return !openDialog_.isNull(); }
    // While held, the page goes nowhere (a link, Back, its own script): the newest place
    // asked for is kept instead, for when the hold ends. The program's own loads still go.
    void holdNavigation(bool held);
    QUrl takeHeldNavigation() { return std::exchange(heldUrl_, QUrl()); }

signals:
    void fileChooserRefused();
    // The user chose to stay when the page asked whether to leave it: the page asked for
    // does not come.
    void leaveCancelled();

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                          const QString& defaultValue, QString* result) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                            const QStringList& acceptedMimeTypes) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int lineNumber, const QString& sourceID) override;

private:
    void onNewWindowRequested(class QWebEngineNewWindowRequest& request);
    void handOffIfClicked(const QUrl& url);
    int runDialog(QDialog& dialog);
    bool askToLeave(const QUrl& securityOrigin, const QString& msg);

    std::unique_ptr<FolderRequestFilter> filter_;
    QDeadlineTimer userInput_;  // running out after the user's last unused click; expired: none
    QPointer<QDialog> openDialog_;
    bool held_ = false;
    QUrl heldUrl_;
    bool mayAskToLeave_ = false;  // the user clicked or asked for another page since it last asked
    bool leavePromptOpen_ = false;
    QUrl shown_;  // the page whose load was reported last: the one being left while the next loads
};

}  // namespace platform
