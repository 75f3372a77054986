// WebRTC opens connections of its own (STUN over UDP, TURN over TCP and TLS, host name
// lookups) that no request filter sees; the file-system pickers open native dialogs. Both are
// removed from each frame's window before anything else runs in it.
// A frame the page makes itself (about:blank, of an iframe, frame, object or embed) gets no
// script of the program, nor does any frame while it shows its first, empty document before
// its address loads; such a window would hand the page fresh constructors and copy events the
// program's world never sees. A page reaches frames without their elements too, by number
// (window[0]) or name, so every frame below the page's window is guarded, by number, before
// the page can hold it: whenever a frame's document loads (an iframe's empty one at once as it
// is inserted, an embed's as it is laid out), whenever the page inserts or writes anything,
// once the parser has added to a document, and whenever the page asks for its window's frames
// or a frame element for its window or document. Its engine copy and cut are refused by the
// program's one rule for that (refuse-engine-copy.js, given to this as refuseEngineCopyIn).
// This runs in the page's own world, so it uses only what it took before the page ran: the
// page may change any built-in object afterwards.
(refuseEngineCopyIn => {
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
    // What the page inserts with, by the prototype that has it; what it inserts is parsed and
    // its frames made before the call returns.
    const inserting = [
        ['Node', ['appendChild', 'insertBefore', 'replaceChild']],
        ['Element', ['append', 'prepend', 'after', 'before', 'replaceWith', 'replaceChildren',
                     'insertAdjacentElement', 'insertAdjacentHTML']],
        ['CharacterData', ['after', 'before', 'replaceWith']],
        ['DocumentType', ['after', 'before', 'replaceWith']],
        ['Document', ['append', 'prepend', 'replaceChildren', 'execCommand']],
        ['Range', ['insertNode', 'surroundContents']]];
    const insertingMarkup = [['Element', 'innerHTML'], ['Element', 'outerHTML'],
                             ['ShadowRoot', 'innerHTML']];
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

    const windowLength = getter(window, 'length');
    const frameCount = win => {
        try {
            return windowLength(win);
        } catch (e) {
            return 0;  // a window of another origin, whose frames the page cannot reach into
        }
    };
    // The window and every frame below it, by number, to any depth a page can nest frames.
    const guardAll = (win, depth) => {
        empty(win);
        const count = frameCount(win);
        for (let i = 0; i < count && depth < 64; ++i) {
            let frame = null;
            try {
                frame = win[i];
            } catch (e) {
                // gone meanwhile
            }
            if (frame)
                guardAll(frame, depth + 1);
        }
    };
    const guardEveryFrame = () => guardAll(window, 0);

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
        // A frame in a shadow root has no number: it is guarded as its element gives it out.
        const wrapFrameGetter = (kind, name) => {
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
                guardEveryFrame();
                return value;
            }}[name]);
        };
        const Observer = win.MutationObserver;
        const observe = Observer && uncurry(Observer.prototype.observe);
        const parsed = Observer && new Observer(guardEveryFrame);
        // Every frame is guarded before a getter of what the page asked for returns, and after
        // a setter has inserted what it was given.
        const wrapAccessor = (owner, name, key) => {
            const own = owner && describe(owner, name);
            if (!own || !own[key])
                return;
            const original = uncurry(own[key]);
            const wrapped = describe({get [name]() {
                guardEveryFrame();
                return original(this);
            }, set [name](value) {
                original(this, value);
                guardEveryFrame();
            }}, name);
            redefine(owner, name, own, key, wrapped[key]);
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
        const onLoad = event => {
            empty(frameWindowOf(targetOf(event)));
            guardEveryFrame();
        };
        const watch = target => listen(target, 'load', onLoad, true);
        // The engine's copy and cut are refused here too, as in the program's world, which does
        // not reach these frames.
        const refuseCopy = refuseEngineCopyIn(win);
        const guard = () => {
            watch(doc);
            watch(win);
            if (parsed)
                observe(parsed, doc, {__proto__: null, childList: true, subtree: true});
            refuseCopy();
        };

        for (let i = 0; i < frameKinds.length; ++i) {
            wrapFrameGetter(frameKinds[i], 'contentWindow');
            wrapFrameGetter(frameKinds[i], 'contentDocument');
        }
        wrapAccessor(win, 'frames', 'get');
        wrapAccessor(win, 'self', 'get');
        wrapAccessor(win, 'length', 'get');
        const nothing = () => {};
        for (let i = 0; i < inserting.length; ++i) {
            const proto = win[inserting[i][0]] && win[inserting[i][0]].prototype;
            const names = inserting[i][1];
            for (let j = 0; j < names.length; ++j)
                wrapMethod(proto, names[j], nothing, guardEveryFrame);
        }
        for (let i = 0; i < insertingMarkup.length; ++i) {
            const proto = win[insertingMarkup[i][0]] && win[insertingMarkup[i][0]].prototype;
            wrapAccessor(proto, insertingMarkup[i][1], 'set');
        }
        // window.open('', name) gives a frame by its name, also one in a shadow root.
        wrapMethod(win, 'open', nothing, (self, opened) => {
            empty(opened);
            guardEveryFrame();
        });
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
        wrapMethod(documentProto, 'write', openBeforeWriting, guardEveryFrame);
        wrapMethod(documentProto, 'writeln', openBeforeWriting, guardEveryFrame);
        guard();
        remember(guards, doc, guard);  // only once it is all in place
    };
    empty(window);
})
