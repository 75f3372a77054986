// The engine's copy and cut hand the page a copy event to rewrite or cancel, and scripts can
// start them on their own (execCommand right after a click); the user's copy is the program's
// (see PageCopy). So every copy and cut of the engine is stopped before any listener of the
// page sees it, and cancelled: the engine then writes what this world put on it, nothing.
// Frames the page makes itself get no script of the program; they are guarded from the page's
// world as they load or are reached (guard-every-frame.js).
(() => {
    const refuse = event => {
        event.stopImmediatePropagation();
        if (event.type === 'copy' || event.type === 'cut')
            event.preventDefault();
    };
    for (const type of ['beforecopy', 'beforecut', 'copy', 'cut'])
        addEventListener(type, refuse, true);
})();
