// The engine's copy and cut hand the page a copy event to rewrite or cancel, and scripts can
// start them on their own (execCommand right after a click); the user's copy is the program's
// (see PageCopy). So every copy and cut of the engine is stopped before any listener of the
// page sees it, and cancelled: the engine then writes what this world put on it, nothing.
// A frame the page makes itself (about:blank) exists before any script of the program runs in
// it, and the page could listen in it first: it is guarded from here when its empty page loads,
// which happens at once as it is inserted (by a script or by the parser), before the page's own
// code goes on. Not reached from here: a frame inside a shadow root, whose events stop there,
// and a document the page opens anew (document.open() drops every listener, this world's too);
// those are guarded from the page's world (guard-every-frame.js).
(() => {
    const refuse = event => {
        event.stopImmediatePropagation();
        if (event.type === 'copy' || event.type === 'cut')
            event.preventDefault();
    };
    const guard = target => {
        for (const type of ['beforecopy', 'beforecut', 'copy', 'cut'])
            target.addEventListener(type, refuse, true);
        if (target.document)
            target.document.addEventListener('load', guardFrame, true);
    };
    const guardFrame = event => {
        try {
            const frame = event.target.contentWindow;
            if (frame)
                guard(frame);
        } catch (e) {
            // a frame of another origin, which the page cannot reach either
        }
    };
    guard(window);
})();
