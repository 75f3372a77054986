// Reading the page aloud, run in the program's own world only: the page's scripts cannot see,
// call or change any of this. The program asks for the page's visible text a batch at a time
// in reading order, as blocks (a heading, a paragraph, a list item, a table cell; a long one
// in pieces), and shows the sentence being spoken as the selection, scrolled into view above
// the reading bar. Every step is bounded, so a page of any size or depth costs each step only
// a little work and keeps only the blocks still to be spoken.
(() => {
  if (window.__da1011Aloud) return;
  const kMaxBlockChars = 4096;
  const kMaxBatchBlocks = 32;
  const kMaxBatchChars = 16384;
  const kMaxVisits = 5000;  // nodes looked at per batch
  const kMaxDepth = 64;  // ancestors looked at for a text's block
  const notRead = new Set(['script', 'style', 'noscript', 'template', 'head', 'title',
                           'iframe', 'object', 'embed', 'svg', 'math', 'canvas', 'select',
                           'textarea', 'audio', 'video']);

  let walker = null;
  let node = null;  // the text node being handed out, from nodeOffset on
  let nodeOffset = 0;
  let nodeStart = -1;  // where in it reading starts, when not at its beginning
  let nodeBlock = null;
  let startPoint = null;  // a collapsed range where reading starts, or null
  let skipAboveView = false;
  let blocks = new Map();
  let nextId = 0;

  const filter = {
    acceptNode(n) {
      if (n.nodeType === Node.TEXT_NODE)
        return /\S/.test(n.data.slice(0, 256)) || /\S/.test(n.data) ? NodeFilter.FILTER_ACCEPT
                                                                      : NodeFilter.FILTER_SKIP;
      if (notRead.has(n.localName)) return NodeFilter.FILTER_REJECT;
      if (n.getAttribute('aria-hidden') === 'true') return NodeFilter.FILTER_REJECT;
      const style = getComputedStyle(n);
      if (style.display === 'none' || style.visibility === 'hidden' ||
          style.visibility === 'collapse')
        return NodeFilter.FILTER_REJECT;
      return NodeFilter.FILTER_SKIP;
    }
  };

  function blockOf(text) {
    let e = text.parentElement;
    for (let depth = 0; e && depth < kMaxDepth; ++depth, e = e.parentElement) {
      const display = getComputedStyle(e).display;
      if (!display.startsWith('inline') && display !== 'contents' && !display.startsWith('ruby'))
        return e;
    }
    return e || text.parentNode;
  }

  function caretAtTop() {
    if (window.scrollY <= 0) return null;
    for (let y = 2; y < innerHeight / 3; y += 12) {
      for (const x of [0.1, 0.3, 0.5]) {
        const r = document.caretRangeFromPoint(innerWidth * x, y);
        if (r && r.startContainer.nodeType === Node.TEXT_NODE) return r;
      }
    }
    return null;
  }

  function begin(fromSelection) {
    walker = document.createTreeWalker(document.body || document.documentElement,
                                       NodeFilter.SHOW_ELEMENT | NodeFilter.SHOW_TEXT, filter);
    node = null;
    nodeStart = -1;
    nodeBlock = null;
    blocks = new Map();
    nextId = 0;
    startPoint = null;
    skipAboveView = false;
    const selection = getSelection();
    if (fromSelection && selection.rangeCount > 0 && !selection.isCollapsed) {
      startPoint = selection.getRangeAt(0).cloneRange();
      startPoint.collapse(true);
    } else {
      startPoint = caretAtTop();
      skipAboveView = !startPoint && window.scrollY > 0;
    }
    return true;
  }

  // Where in the text node reading starts: -1 when all of it comes before the start.
  function startIn(text) {
    if (startPoint) {
      try {
        if (startPoint.startContainer === text) {
          const offset = startPoint.startOffset;
          startPoint = null;
          return Math.min(offset, text.length);
        }
        if (startPoint.comparePoint(text, text.length) < 0) return -1;
      } catch (e) {
        // another tree (a shadow root): not before the start
      }
      startPoint = null;
      return 0;
    }
    if (skipAboveView) {
      const range = document.createRange();
      range.selectNodeContents(text);
      if (range.getBoundingClientRect().bottom <= 0) return -1;
      skipAboveView = false;
    }
    return 0;
  }

  function take(keepFrom) {
    for (const id of blocks.keys()) {
      if (id >= keepFrom) break;
      blocks.delete(id);
    }
    const out = [];
    if (!walker) return {blocks: out, done: true};
    let chars = 0;
    let visits = kMaxVisits;
    let current = null;
    const flush = () => {
      if (current && current.text.length > 0) {
        blocks.set(current.id, current);
        out.push({id: current.id, text: current.text, start: current.start});
        chars += current.text.length;
      }
      current = null;
    };
    const full = () => out.length >= kMaxBatchBlocks || chars >= kMaxBatchChars;
    for (;;) {
      if (!node) {
        let found = null;
        while (visits-- > 0) {
          const n = walker.nextNode();
          if (!n) {
            flush();
            walker = null;
            return {blocks: out, done: true};
          }
          if (n.nodeType !== Node.TEXT_NODE) continue;
          const from = startIn(n);
          if (from < 0) continue;
          found = n;
          // A long text is read from a little before the start, not from its beginning.
          nodeOffset = Math.max(0, from - 1024);
          nodeStart = from > 0 ? from - nodeOffset : -1;
          break;
        }
        if (!found) {
          flush();
          return {blocks: out, done: false};
        }
        node = found;
        nodeBlock = blockOf(node);
      }
      if (current && current.key !== nodeBlock) {
        flush();
        if (full()) return {blocks: out, done: false};
      }
      if (!current)
        current = {id: nextId++, key: nodeBlock, text: '', start: 0, segments: []};
      if (nodeStart >= 0) {
        current.start = current.text.length + nodeStart;
        nodeStart = -1;
      }
      const room = kMaxBlockChars - current.text.length;
      const piece = node.data.slice(nodeOffset, nodeOffset + room);
      current.segments.push({node, from: nodeOffset, at: current.text.length, length: piece.length});
      current.text += piece;
      nodeOffset += piece.length;
      if (nodeOffset >= node.data.length) node = null;
      if (current.text.length >= kMaxBlockChars) {
        flush();
        if (full()) return {blocks: out, done: false};
      }
    }
  }

  // The place in the page of an offset into a block's text.
  function placeOf(block, offset) {
    let last = null;
    for (const s of block.segments) {
      if (offset <= s.at + s.length) {
        return [s.node, Math.min(s.from + Math.max(0, offset - s.at), s.node.length)];
      }
      last = s;
    }
    return last ? [last.node, Math.min(last.from + last.length, last.node.length)] : null;
  }

  function show(id, from, to, barHeight) {
    const block = blocks.get(id);
    if (!block) return false;
    const start = placeOf(block, from);
    const end = placeOf(block, to);
    if (!start || !end) return false;
    try {
      const range = document.createRange();
      range.setStart(start[0], start[1]);
      range.setEnd(end[0], end[1]);
      const selection = getSelection();
      selection.removeAllRanges();
      selection.addRange(range);
      const rect = range.getBoundingClientRect();
      const bottom = innerHeight - barHeight;
      if (rect.top < 0 || rect.bottom > bottom)
        window.scrollBy(0, rect.top - Math.max(0, (bottom - rect.height) / 3));
      return true;
    } catch (e) {
      return false;  // the page changed its text under the sentence
    }
  }

  function end() {
    walker = null;
    node = null;
    startPoint = null;
    blocks = new Map();
    getSelection().removeAllRanges();
    return true;
  }

  window.__da1011Aloud = {begin, take, show, end};
})();
