// Finding in the page, from the program's world: the page's text as the program's own search
// reads it, and the match it chose selected and brought into the part of the view the find
// bar leaves free. The program folds and matches the text itself, the same way in every
// locale; the engine's find would fold by the locale and cannot see curly quotes as straight.
(() => {
    // As the whole-book search reads a page's file: these hold no text a reader sees.
    const leftOut = new Set(['script', 'style', 'noscript', 'template', 'head', 'title',
                             'iframe', 'object']);
    const blocks = new Set([
        'address', 'article', 'aside', 'blockquote', 'body', 'br', 'caption', 'center', 'dd',
        'details', 'dialog', 'dir', 'div', 'dl', 'dt', 'fieldset', 'figcaption', 'figure',
        'footer', 'form', 'h1', 'h2', 'h3', 'h4', 'h5', 'h6', 'header', 'hgroup', 'hr', 'html',
        'legend', 'li', 'main', 'menu', 'nav', 'ol', 'option', 'p', 'pre', 'section', 'summary',
        'table', 'tbody', 'td', 'textarea', 'tfoot', 'th', 'thead', 'tr', 'ul']);
    const isBlock = node => blocks.has(node.localName);
    const skipped = node => leftOut.has(node.localName) || node.hasAttribute('hidden');
    // The text nodes read last and where each starts in the text handed out.
    let nodes = [];
    let starts = [];
    let room = null;  // the space added below the page to lift its last lines above the bar
    // The mark over the match: a selection in a page without the focus (the focus is in the
    // find bar) is drawn in a pale grey, too faint to be seen at a glance.
    let mark = null;

    const text = () => {
        nodes = [];
        starts = [];
        const parts = [];
        let length = 0;
        const push = (part) => {
            parts.push(part);
            length += part.length;
        };
        let node = document.documentElement;
        while (node) {
            let entered = false;
            if (node.nodeType === Node.ELEMENT_NODE) {
                if (node !== room && node !== mark && !skipped(node)) {
                    entered = true;
                    if (isBlock(node))
                        push('\n');
                }
            } else if (node.nodeType === Node.TEXT_NODE && node.data.length) {
                nodes.push(node);
                starts.push(length);
                // Line breaks in the text are white space; only blocks part it.
                push(node.data.replace(/[\n\r\t\f]/g, ' '));
            }
            if (entered && node.firstChild) {
                node = node.firstChild;
                continue;
            }
            if (entered && isBlock(node))
                push('\n');
            while (node && !node.nextSibling) {
                node = node.parentNode;
                if (node && node.nodeType === Node.ELEMENT_NODE && isBlock(node))
                    push('\n');
            }
            if (node)
                node = node.nextSibling;
        }
        return parts.join('');
    };

    // The text node holding the character at offset (after it, for an end).
    const place = (offset, end) => {
        let low = 0;
        let high = starts.length - 1;
        while (low < high) {
            const middle = (low + high + 1) >> 1;
            if (end ? starts[middle] < offset : starts[middle] <= offset)
                low = middle;
            else
                high = middle - 1;
        }
        const node = nodes[low];
        if (!node || !node.isConnected)
            return null;
        return [node, Math.min(Math.max(offset - starts[low], 0), node.data.length)];
    };

    const removeAdded = () => {
        if (room)
            room.remove();
        room = null;
        if (mark)
            mark.remove();
        mark = null;
    };

    const drawMark = range => {
        if (!mark) {
            mark = document.createElement('div');
            mark.setAttribute('aria-hidden', 'true');
        }
        mark.replaceChildren();
        mark.style.cssText = 'position:absolute;left:0;top:0;width:0;height:0;margin:0;'
            + 'pointer-events:none;z-index:2147483647';
        for (const box of range.getClientRects()) {
            const piece = document.createElement('div');
            piece.style.cssText = `position:absolute;left:${box.left + scrollX}px;`
                + `top:${box.top + scrollY}px;width:${box.width}px;height:${box.height}px;`
                + 'background:rgba(255,150,50,0.6);margin:0;padding:0;border:0';
            mark.appendChild(piece);
        }
        document.documentElement.appendChild(mark);
    };

    // Selects text[start, end) and scrolls it to the middle of the view's top freeHeight CSS
    // pixels, adding room below the page where it ends too soon for that.
    const select = (start, end, freeHeight) => {
        const from = place(start, false);
        const to = place(end, true);
        if (!from || !to)
            return false;
        const range = document.createRange();
        range.setStart(from[0], from[1]);
        range.setEnd(to[0], to[1]);
        const selection = getSelection();
        selection.removeAllRanges();
        selection.addRange(range);
        const holder = range.startContainer.parentElement;
        if (holder)
            holder.scrollIntoView({block: 'nearest', inline: 'nearest', behavior: 'instant'});
        const free = Math.max(1, Math.min(freeHeight, innerHeight));
        const box = range.getBoundingClientRect();
        const margin = Math.min(40, free / 4);
        if (box.top >= margin && box.bottom <= free - margin && box.left >= 0
            && box.right <= innerWidth) {
            drawMark(range);
            return true;
        }
        const down = box.top - (free - box.height) / 2;
        const scroller = document.scrollingElement || document.documentElement;
        const short = scrollY + down - (scroller.scrollHeight - innerHeight);
        if (short > 0) {
            if (!room) {
                room = document.createElement('div');
                room.setAttribute('aria-hidden', 'true');
            }
            room.style.cssText = `display:block;height:${Math.ceil(short + (room.offsetHeight || 0))}px`;
            document.documentElement.appendChild(room);
        }
        const across = box.left < 0 || box.right > innerWidth ? box.left - innerWidth / 4 : 0;
        scrollBy({top: down, left: across, behavior: 'instant'});
        drawMark(range);
        return true;
    };

    // Takes the selection off the page when it is still the one find made.
    const clear = (start, end) => {
        removeAdded();
        const from = place(start, false);
        const to = place(end, true);
        const selection = getSelection();
        if (!from || !to || selection.rangeCount !== 1)
            return;
        const range = selection.getRangeAt(0);
        if (range.startContainer === from[0] && range.startOffset === from[1]
            && range.endContainer === to[0] && range.endOffset === to[1])
            selection.removeAllRanges();
    };

    window.__da1011Find = {text, select, clear};
})();
