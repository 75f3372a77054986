// The link the user activated, seen from the program's world: a trusted click (Enter on a
// link is one as well) on an element inside a link with an address.
(() => {
    let activated = null;
    addEventListener('click', event => {
        if (!event.isTrusted)
            return;
        const link = event.composedPath().find(e => e instanceof Element && e.matches('a[href], area[href]'));
        activated = link ? {href: link.href, at: performance.now()} : null;
    }, true);
    // The program gives the click window, the time a click counts as the user's for.
    window.__da1011TakeActivatedLink = (url, withinMs) => {
        const link = activated;
        if (!link || performance.now() - link.at > withinMs)
            return false;
        let wanted = '';
        try { wanted = new URL(url).href; } catch (e) { return false; }
        if (link.href !== wanted)
            return false;
        activated = null;
        return true;
    };
})();
