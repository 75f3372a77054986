#pragma once

class QWebEnginePage;

namespace platform {

// Keeps count of the PDF requests a page has made and the engine has not answered yet.
//
// Qt WebEngine 6.4 aborts the whole process when a page is destroyed while the engine still
// owes it a PDF (a renderer stuck in the page's own script, or one that died meanwhile). Such
// a page is therefore never destroyed: retire() takes it away from its view and keeps it,
// unseen, until the answer comes; should the process end first, it ends without tearing down
// (Application::finish), so the page is never destroyed at all.
class PendingPdfPages {
public:
    // Around one printToPdf() request of the page: begin() before it, end() in its callback.
    static void begin(QWebEnginePage* page);
    static void end(QWebEnginePage* page);
    static bool owes(const QWebEnginePage* page);

    // The page is no longer wanted: deleted later when it is owed nothing, else kept until
    // it is (and then deleted). Its parent no longer owns it.
    static void retire(QWebEnginePage* page);
};

}  // namespace platform
