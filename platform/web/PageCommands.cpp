#include "platform/web/PageCommands.h"

#include "platform/runtime/Handler.h"
#include "platform/web/BrowserView.h"
#include "platform/web/FindBar.h"
#include "platform/web/PageCopy.h"
#include "platform/web/PageReader.h"
#include "platform/web/PageZoom.h"
#include "platform/web/ReadAloudBar.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace platform {

PageCommands::PageCommands(BrowserView* browser)
    : QObject(browser),
      view_(browser->webView()),
      window_(browser->window()),
      zoom_(new PageZoom(browser->webView())),
      findBar_(new FindBar(browser->webView(), browser)),
      reader_(new PageReader(browser))
{
    new PageCopy(browser->webView());
    new ReadAloudBar(reader_, browser);
    using Key = QKeySequence;
    back_ = addCommand(QStringLiteral("Back"), {Key(Qt::ALT | Qt::Key_Left), Key(Qt::Key_Back)},
                       [this] { view_->back(); });
    forward_ = addCommand(QStringLiteral("Forward"),
                          {Key(Qt::ALT | Qt::Key_Right), Key(Qt::Key_Forward)},
                          [this] { view_->forward(); });
    reload_ = addCommand(QStringLiteral("Reload"), {Key(Qt::Key_F5), Key(Qt::Key_Refresh)},
                         [this] { view_->reload(); });
    addCommand(QStringLiteral("Zoom In"),
               {Key(Qt::CTRL | Qt::Key_Plus), Key(Qt::CTRL | Qt::Key_Equal)},
               [this] { zoom_->zoomIn(); });
    addCommand(QStringLiteral("Zoom Out"), {Key(Qt::CTRL | Qt::Key_Minus)},
               [this] { zoom_->zoomOut(); });
    addCommand(QStringLiteral("Actual Size"), {Key(Qt::CTRL | Qt::Key_0)},
               [this] { zoom_->reset(); });
    find_ = addCommand(QStringLiteral("Find\u2026"), {Key(Qt::CTRL | Qt::Key_F)},
                       [this] { findBar_->open(); });
    addCommand(QStringLiteral("Find in Book\u2026"), {Key(Qt::CTRL | Qt::SHIFT | Qt::Key_F)},
               [this] { findBar_->openWholeBook(); });
    addCommand(QStringLiteral("Find Next"), {Key(Qt::Key_F3)}, [this] { findBar_->findNext(); });
    addCommand(QStringLiteral("Find Previous"), {Key(Qt::SHIFT | Qt::Key_F3)},
               [this] { findBar_->findPrevious(); });
    readAloud_ = addCommand(QStringLiteral("Read Aloud"), {Key(Qt::CTRL | Qt::SHIFT | Qt::Key_U)},
                            [this] { reader_->toggle(); });
    // Escape belongs to the page (and to the find bar) except while the page is read; then it
    // still closes the find bar first when that has the focus.
    QAction* stopReading
        = addCommand(QStringLiteral("Stop Reading"), {Key(Qt::Key_Escape)}, [this] {
              if (findBar_->isVisible() && findBar_->isAncestorOf(QApplication::focusWidget()))
                  findBar_->close();
              else
                  reader_->stop();
          });
    stopReading->setEnabled(false);
    connect(reader_, &PageReader::stateChanged, stopReading,
            [stopReading](PageReader::State state) {
                stopReading->setEnabled(state != PageReader::State::Stopped);
            });
    printAction_ = addCommand(QStringLiteral("Print Current Page\u2026"),
                              {Key(Qt::CTRL | Qt::Key_P)}, [this] { print(); });

    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view_, &QWidget::customContextMenuRequested, this, &PageCommands::showContextMenu);
}

QAction* PageCommands::addCommand(const QString& text, const QList<QKeySequence>& keys,
                                  std::function<void()> command)
{
    auto* action = new QAction(text, window_);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, [this, command = std::move(command)] {
        if (view_)
            command();
    });
    window_->addAction(action);
    return action;
}

void PageCommands::searchBook(const QString& folder, const QString& startPage,
                              const QStringList& leftOut)
{
    findBar_->searchBook(folder, startPage, leftOut);
    reader_->readBook(folder, startPage, leftOut);
}

void PageCommands::enableHistory(bool followPage)
{
    // The menu shows whether there is a page to go back or forward to; the keys always work,
    // and do nothing where there is none.
    back_->setEnabled(!followPage || (view_ && view_->history()->canGoBack()));
    forward_->setEnabled(!followPage || (view_ && view_->history()->canGoForward()));
}

void PageCommands::print()
{
    if (print_)
        Handler::run(print_);
}

QMenu* PageCommands::contextMenu(QWidget* parent) const
{
    auto* menu = new QMenu(parent);
    if (!view_)
        return menu;
    const QWebEngineContextMenuRequest* request = view_->lastContextMenuRequest();
    QPointer<QWebEngineView> view = view_;
    menu->addAction(back_);
    menu->addAction(forward_);
    menu->addAction(reload_);
    menu->addSeparator();
    QAction* copy = menu->addAction(QStringLiteral("Copy"), menu, [view] {
        if (view)
            PageCopy::copySelection(view);
    });
    copy->setEnabled(request && (request->editFlags() & QWebEngineContextMenuRequest::CanCopy)
                     && !request->selectedText().isEmpty());
    if (request && request->linkUrl().isValid()) {
        menu->addAction(QStringLiteral("Copy Link Address"), menu, [view] {
            if (view)
                view->page()->triggerAction(QWebEnginePage::CopyLinkToClipboard);
        });
    }
    menu->addAction(QStringLiteral("Select All"), menu, [view] {
        if (view)
            view->page()->triggerAction(QWebEnginePage::SelectAll);
    });
    menu->addSeparator();
    menu->addAction(find_);
    menu->addAction(readAloud_);
    menu->addAction(printAction_);
    return menu;
}

void PageCommands::showContextMenu(const QPoint& position)
{
    if (!view_)
        return;
    enableHistory(true);
    QMenu* menu = contextMenu(view_);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    connect(menu, &QMenu::aboutToHide, this, [this] { enableHistory(false); });
    menu->popup(view_->mapToGlobal(position));
}

}  // namespace platform
