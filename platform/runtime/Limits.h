#pragma once

namespace platform {

// Every time limit of the program, in milliseconds unless said otherwise, read where the
// program waits. One set for the process: a test may change one for a while and put the
// defaults back (Limits::current() = Limits()).
struct Limits {
    // A page being left that has not answered for this long is stuck (an endless script), and
    // its renderer is ended so that the next page can come. A page that is merely busy
    // (saving what the reader typed as it is left, say) answers within it and is left to
    // finish. Browsers wait longer before they offer to end a page, but they leave the user on
    // the page meanwhile; here the user has asked to go on and waits.
    int unansweredPageMs = 5000;
    // How often the page being left is asked for an answer.
    int askLeavingPageEveryMs = 250;
    // The hourglass shows once the page being left has kept the next one waiting this long.
    int busyPointerMs = 500;
    // The next page's load has started by now when the page being left answers.
    int leaveStartMs = 1000;

    // How long a print request waits for a page that is still loading before it prints what
    // the view shows; a load that never ends must not hold the prompt back for ever.
    int printLoadWaitMs = 60'000;
    // How often the document is asked whether it has loaded meanwhile.
    int askDocumentEveryMs = 250;
    // A print job that has not finished after this long fails and is abandoned, so that a
    // page that never answers cannot keep printing unavailable.
    int printTimeLimitMs = 120'000;
    // How long a page may take to show that its renderer is answering at all when printed.
    int printAnswerMs = 10'000;
    // The "Printing" window shows once a job has run this long, so that a quick job shows none.
    int printProgressAfterMs = 500;
    // A print job still running this long after its window was closed is given up, so that
    // closing the window always ends the program within seconds.
    int closedPrintJobMs = 5000;

    // A page whose renderer keeps dying is shown again this many times in this long, no more.
    int rendererRestarts = 3;
    int rendererRestartWindowMs = 60'000;

    // The click window: how long after a click or key press of the user's a request of the
    // page (a link handed on, a print) still counts as the user's, in the program and in the
    // page scripts it gives it to.
    int userInputValidMs = 2000;
    // The least time between two hand-offs to the desktop, whatever the pages do.
    int handOffIntervalMs = 1000;
    // Page dialogs in quick succession that are shown before the rest are suppressed.
    int pageDialogsInBurst = 3;
    int pageDialogBurstMs = 30'000;
    // Lines logged about pages, at most this many in this long.
    int pageLogLines = 20;
    int pageLogWindowMs = 10'000;

    static Limits& current();
};

}  // namespace platform
