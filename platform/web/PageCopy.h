#pragma once

#include <QObject>

class QWebEngineView;

namespace platform {

// The user's Copy (Ctrl+C, Ctrl+Insert) and Cut (Ctrl+X, Shift+Delete) in the page, done by
// the program: the text of the selection, as the engine shows it, goes to the clipboard. The
// page sees neither these keys nor a copy event, so it can neither rewrite nor cancel what
// the user copies; the engine's own copy, which page scripts could start, is refused in every
// frame (see addPageScripts()).
class PageCopy : public QObject {
    Q_OBJECT
public:
    explicit PageCopy(QWebEngineView* view);

    // The page's selected text onto the clipboard; with nothing selected the clipboard stays.
    static void copySelection(const QWebEngineView* view);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWebEngineView* view_;
};

}  // namespace platform
