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
    const guardOf = uncurry(WeakMap.prototype.get);
    const remember = uncurry(WeakMap.prototype.set);
    const frameKinds = ['HTMLIFrameElement', 'HTMLFrameElement', 'HTMLObjectElement'];
    const copyEvents = ['beforecopy', 'beforecut', 'copy', 'cut'];
    // Each guarded document's guard, to be put back when the document is opened anew (which
    // drops every listener of its own and its window's) by whichever realm's open or write:
    // by document, since a frame that loads a new page has a new window.
    const guards = new WeakMap();
    const guardAgain = document => {
        const again = guardOf(guards, document);
        if (again)
            again();
    };
    const unwanted = name => startsWith(name, 'RTC') || startsWith(name, 'webkitRTC') ||
        (startsWith(name, 'show') && endsWith(name, 'Picker'));
    const getter = (owner, name) => {
        const own = owner && describe(owner, name);
        return own && own.get ? uncurry(own.get) : null;
    };
    // Puts a new getter or function in place of an own property, keeping how it is defined.
    const redefine = (owner, name, own, key, value) => {
        const descriptor = {__proto__: null, configurable: own.configurable};
        descriptor.enumerable = own.enumerable;
        if (key === 'value')
            descriptor.writable = own.writable;
        descriptor[key] = value;
        define(owner, name, descriptor);
    };

    const empty = win => {
        let doc;
        try {
            doc = win.document;
        } catch (e) {
            return;  // no window, or one of another origin, which the page cannot reach into
        }
        if (!doc || guardOf(guards, doc))
            return;
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
            redefine(proto, name, own, 'get', {[name]() {
                const value = get(this);
                empty(windowOf(value));
                return value;
            }}[name]);
        };
        const wrapMethod = (owner, name, before, after) => {
            const own = owner && describe(owner, name);
            if (!own || typeof own.value !== 'function')
                return;
            const original = own.value;
            redefine(owner, name, own, 'value', {[name](...args) {
                before(this);
                const result = apply(original, this, args);
                after(this, result);
                return result;
            }}[name]);
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
        const nothing = () => {};
        wrapMethod(win.Element && win.Element.prototype, 'attachShadow', nothing,
                   (element, root) => watch(root));
        const documentProto = win.Document && win.Document.prototype;
        const openDocument = documentProto && describe(documentProto, 'open');
        const readyStateOf = getter(documentProto, 'readyState');
        wrapMethod(documentProto, 'open', nothing, guardAgain);
        // Writing to a document that has finished loading opens it anew first, and what is
        // written (frames, scripts) is parsed before the write returns: so the document is
        // opened here, and guarded again, before the engine writes.
        const openBeforeWriting = document => {
            if (openDocument && readyStateOf && readyStateOf(document) !== 'loading') {
                apply(openDocument.value, document, []);
                guardAgain(document);
            }
        };
        wrapMethod(documentProto, 'write', openBeforeWriting, nothing);
        wrapMethod(documentProto, 'writeln', openBeforeWriting, nothing);
        guard();
        remember(guards, doc, guard);  // only once it is all in place
    };
    empty(window);
})();
