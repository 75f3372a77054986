// WebRTC opens connections of its own (STUN over UDP, TURN over TCP and TLS, host name
// lookups) that no request filter sees; the file-system pickers open native dialogs. Both are
// removed from each frame's window before anything else runs in it.
// A frame the page makes itself (about:blank) gets no script of the program, and its window
// would hand the page fresh constructors and copy events the program's world never sees. So
// each such window is guarded the same way before the page holds it: as the frame's empty page
// loads, which happens at once as it is inserted (also into a shadow root, or into a document
// opened anew), and whenever the page asks a frame element for its window or document. Its
// engine copy and cut are refused as in the program's world.
// This runs in the page's own world, so it uses only what it took before the page ran: the
// page may change any built-in object afterwards.
(() => {
    const call = Function.prototype.call;
    const uncurry = method => call.bind(method);
    const apply = Reflect.apply;
    const describe = Object.getOwnPropertyDescriptor;
    const define = Object.defineProperty;
    const namesOf = Object.getOwnPropertyNames;
    const startsWith = uncurry(String.prototype.startsWith);
    const endsWith = uncurry(String.prototype.endsWith);
    const seen = uncurry(WeakSet.prototype.has);
    const remember = uncurry(WeakSet.prototype.add);
    const frameKinds = ['HTMLIFrameElement', 'HTMLFrameElement', 'HTMLObjectElement'];
    const copyEvents = ['beforecopy', 'beforecut', 'copy', 'cut'];
    const emptied = new WeakSet();  // by document: a frame that loads a new page is a new window
    const unwanted = name => startsWith(name, 'RTC') || startsWith(name, 'webkitRTC') ||
        (startsWith(name, 'show') && endsWith(name, 'Picker'));
    const getter = (owner, name) => {
        const own = owner && describe(owner, name);
        return own && own.get ? uncurry(own.get) : null;
    };

    const empty = win => {
        let doc;
        try {
            doc = win.document;
        } catch (e) {
            return;  // no window, or one of another origin, which the page cannot reach into
        }
        if (!doc || seen(emptied, doc))
            return;
        remember(emptied, doc);
        const names = namesOf(win);
        for (let i = 0; i < names.length; ++i)
            if (unwanted(names[i]))
                delete win[names[i]];

        const listen = uncurry(win.EventTarget.prototype.addEventListener);
        const targetOf = getter(win.Event.prototype, 'target');
        const frameWindows = [];  // the frame elements' own getters, as they were
        const wrapGetter = (kind, name) => {
            const proto = win[kind] && win[kind].prototype;
            const own = proto && describe(proto, name);
            if (!own || !own.get)
                return;
            const get = uncurry(own.get);
            const windowOf = name === 'contentWindow' ? value => value
                                                      : value => value && value.defaultView;
            if (name === 'contentWindow')
                define(frameWindows, frameWindows.length, {__proto__: null, value: get});
            define(proto, name, {
                __proto__: null,
                configurable: own.configurable,
                enumerable: own.enumerable,
                get: {[name]() {
                    const value = get(this);
                    empty(windowOf(value));
                    return value;
                }}[name],
            });
        };
        const wrapMethod = (owner, name, after) => {
            const own = owner && describe(owner, name);
            if (!own || typeof own.value !== 'function')
                return;
            const original = own.value;
            define(owner, name, {
                __proto__: null,
                configurable: own.configurable,
                enumerable: own.enumerable,
                writable: own.writable,
                value: {[name](...args) {
                    const result = apply(original, this, args);
                    after(this, result);
                    return result;
                }}[name],
            });
        };
        const frameWindowOf = element => {
            for (let i = 0; i < frameWindows.length; ++i) {
                try {
                    return frameWindows[i](element);
                } catch (e) {
                    // not that kind of element
                }
            }
            return null;
        };
        const onLoad = event => empty(frameWindowOf(targetOf(event)));
        const watch = target => listen(target, 'load', onLoad, true);
        // The engine's copy and cut are refused here too (as in the program's world, which does
        // not reach these frames): stopped before any listener of the page, and cancelled.
        const stop = uncurry(win.Event.prototype.stopImmediatePropagation);
        const cancel = uncurry(win.Event.prototype.preventDefault);
        const typeOf = getter(win.Event.prototype, 'type');
        const refuse = event => {
            stop(event);
            const type = typeOf(event);
            if (type === 'copy' || type === 'cut')
                cancel(event);
        };
        const guard = () => {
            watch(doc);
            for (let i = 0; i < copyEvents.length; ++i)
                listen(win, copyEvents[i], refuse, true);
        };

        for (let i = 0; i < frameKinds.length; ++i) {
            wrapGetter(frameKinds[i], 'contentWindow');
            wrapGetter(frameKinds[i], 'contentDocument');
        }
        wrapMethod(win.Element && win.Element.prototype, 'attachShadow',
                   (element, root) => watch(root));
        wrapMethod(win.Document && win.Document.prototype, 'open', (document, result) => {
            if (document === doc)
                guard();  // opening the document anew dropped every listener
        });
        guard();
    };
    empty(window);
})();
