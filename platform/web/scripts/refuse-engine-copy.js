// The engine's copy and cut hand the page a copy event to rewrite or cancel, and scripts can
// start them on their own (execCommand right after a click); the user's copy is the program's
// (see PageCopy). So every copy and cut of the engine is stopped before any listener of the
// page sees it, and cancelled: the engine then writes what this world put on it, nothing.
// One rule for both worlds: the program's world applies it to every frame it runs in, and the
// page's world to the frames the page makes itself, which get no script of the program
// (guard-every-frame.js; see PageScripts). There the page may change any built-in afterwards,
// so the built-ins are taken as this is read, and a window's own as it is first guarded; the
// refusal put back later (on a document opened anew) uses those.
// Given a window, this gives what puts the refusal on it.
(() => {
    const call = Function.prototype.call;
    const bind = Function.prototype.bind;
    const apply = Reflect.apply;
    const describe = Object.getOwnPropertyDescriptor;
    const uncurry = method => apply(bind, call, [method]);
    const copyEvents = ['beforecopy', 'beforecut', 'copy', 'cut'];
    return win => {
        const listen = uncurry(win.EventTarget.prototype.addEventListener);
        const stop = uncurry(win.Event.prototype.stopImmediatePropagation);
        const cancel = uncurry(win.Event.prototype.preventDefault);
        const typeOf = uncurry(describe(win.Event.prototype, 'type').get);
        const refuse = event => {
            stop(event);
            const type = typeOf(event);
            if (type === 'copy' || type === 'cut')
                cancel(event);
        };
        return () => {
            for (let i = 0; i < copyEvents.length; ++i)
                listen(win, copyEvents[i], refuse, true);
        };
    };
})()
