#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QAction;
class QMenu;
class QWebEngineView;

namespace platform {

class BrowserView;
class FindBar;
class PageReader;
class PageZoom;

// What a reader does with the page in a browser view, on the keys of the view's window and
// in the view's context menu: back and forward (Alt+Left, Alt+Right), reload (F5), zoom
// (Ctrl+plus, Ctrl+minus, Ctrl+0, Ctrl+wheel), find (Ctrl+F, F3, Shift+F3; Ctrl+Shift+F in
// the whole book), copying (Ctrl+C, see PageCopy) and printing
// (Ctrl+P), which is handed to the window, and reading aloud (Ctrl+Shift+U to start, pause
// and resume, Escape to stop; see PageReader). The context menu holds only what works here:
// no saving, no page source, no new windows.
class PageCommands : public QObject {
    Q_OBJECT
public:
    explicit PageCommands(BrowserView* browser);

    // What printing the page means to the window; run as an event handler.
    void onPrint(std::function<void()> print) { print_ = std::move(print); }
    // The book that Ctrl+Shift+F searches as a whole (see FindBar::searchBook), and whose
    // reading order reading aloud follows.
    void searchBook(const QString& folder, const QString& startPage, const QStringList& leftOut);

private:
    // The context menu for the place the engine last reported a right-click (or the menu key)
    // at; owned by the caller.
    QMenu* contextMenu(QWidget* parent) const;
    QAction* addCommand(const QString& text, const QList<QKeySequence>& keys,
                        std::function<void()> command);
    void enableHistory(bool followPage);
    void showContextMenu(const QPoint& position);
    void print();

    QPointer<QWebEngineView> view_;
    QWidget* window_;
    PageZoom* zoom_;
    FindBar* findBar_;
    PageReader* reader_;
    QAction* readAloud_;
    QAction* back_;
    QAction* forward_;
    QAction* reload_;
    QAction* find_;
    QAction* printAction_;
    std::function<void()> print_;
};

}  // namespace platform
