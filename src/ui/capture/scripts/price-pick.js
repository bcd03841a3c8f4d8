// The price pick, run in the program's own script world: the page's scripts
// neither see it nor stop it. Listeners sit in the capture phase, so the
// page's own handlers and links never see a click while picking; they stay
// for the page's life, so the user can pick again. Same-origin frames get the
// same listeners; a frame of another origin is only named when the mouse is
// over it.
//
// What the window reads (poll below): `hover`, the text under the mouse;
// `note`, "cross" over a frame of another origin; `pointed`, set by a click or
// a selection: { chain: texts as shown of the element and its ancestors,
// innermost first; selection: the selected text as shown; serial }. The window
// decides which element of the chain is the price and asks describe(level,
// serial) for it.
(function () {
  if (window.__corvixPick) return { crossFrames: window.__corvixPick.crossFrames };
  var kinds = ['span', 'div', 'input', 'textarea'];
  // A block that says more than a price has long stopped being one.
  var longestChainText = 160, chainLevels = 8;
  var st = window.__corvixPick = {
    hover: '', note: '', pointed: null, serial: 0, crossFrames: 0,
    boxes: [], chain: [], chainDoc: null
  };

  function text(v) { return v === undefined || v === null ? '' : String(v); }
  function squeeze(t) { return text(t).replace(/\s+/g, ' ').trim(); }

  // Shown on the screen: a copy for screen readers (clipped to a pixel), a
  // hidden or transparent element is not.
  function visible(el) {
    var style = el.ownerDocument.defaultView.getComputedStyle(el);
    if (!style || style.display === 'none' || style.visibility === 'hidden' || style.opacity === '0') return false;
    var r = el.getBoundingClientRect();
    return r.width > 1 && r.height > 1;
  }
  function hiddenWithin(node, top) {
    for (var e = node.parentElement; e; e = e.parentElement) {
      if (!visible(e)) return true;
      if (e === top) break;
    }
    return false;
  }
  // The text a person sees in el (a field's value for inputs), or, with a
  // range, the part of it inside the range.
  function shownText(el, range) {
    if (el.tagName === 'INPUT' || el.tagName === 'TEXTAREA') return squeeze(el.value);
    var out = '', walker = el.ownerDocument.createTreeWalker(el, NodeFilter.SHOW_TEXT);
    for (var n = walker.nextNode(); n; n = walker.nextNode()) {
      if (range && !range.intersectsNode(n)) continue;
      if (hiddenWithin(n, el)) continue;
      var t = n.nodeValue;
      if (range) {
        if (n === range.endContainer) t = t.slice(0, range.endOffset);
        if (n === range.startContainer) t = t.slice(range.startOffset);
      }
      out += t;
      if (out.length > longestChainText * 4) break;
    }
    return squeeze(out);
  }

  function point(el, doc, selection) {
    if (!el || el.nodeType !== 1) return;
    var chain = [], texts = [];
    for (var e = el; e && e !== doc.documentElement && chain.length < chainLevels; e = e.parentElement) {
      if (text(e.textContent).length > longestChainText * 4) break;
      var t = shownText(e);
      if (t.length > longestChainText) break;
      chain.push(e);
      texts.push(t);
    }
    st.chain = chain;
    st.chainDoc = doc;
    st.pointed = { chain: texts, selection: text(selection), serial: ++st.serial };
  }

  // The element at level of the last pointing, as the window's proposals read
  // it: its tag and place among the elements of its kind, and the page source
  // with the element marked.
  st.describe = function (level, serial) {
    var el = st.chain[level], doc = st.chainDoc;
    if (serial !== st.serial || !el || !doc.documentElement.contains(el)) return null;
    var res = { inFrame: doc !== document, text: shownText(el), tag: -1, index: -1, elements: [] };
    var kindEl = el;
    while (kindEl && kinds.indexOf(kindEl.tagName.toLowerCase()) === -1) kindEl = kindEl.parentElement;
    if (kindEl && doc.body && doc.body.contains(kindEl)) {
      var tag = kindEl.tagName.toLowerCase(), list = doc.body.getElementsByTagName(tag);
      res.tag = kinds.indexOf(tag);
      // The names the proposals try (and positions, which are numbers). An
      // element's shown text can only equal one of them when its raw text holds
      // it, so only those pay for innerText (a layout) on a page of thousands.
      var names = [kindEl.className, kindEl.getAttribute('name'), kindEl.id, kindEl.title]
                    .map(function (n) { return text(n).toLowerCase(); }).filter(function (n) { return n; });
      var mayShow = function (e) {
        var raw = text(e.textContent).replace(/\s+/g, ' ').toLowerCase();
        return /^[\d.\s]+$/.test(raw) || names.some(function (n) { return raw.indexOf(n) !== -1; });
      };
      // The elements after it never decide what the finder returns first, and
      // only its own value is ever read.
      for (var i = 0; i < list.length; i++) {
        var e = list[i], own = e === kindEl;
        res.elements.push({
          className: text(e.className),
          shown: tag === 'textarea' ? text(e.value) : own || mayShow(e) ? text(e.innerText) : '',
          name: text(e.getAttribute('name')), id: text(e.id), title: text(e.title), type: text(e.type),
          value: !own ? '' : tag === 'span' || tag === 'div' ? text(e.innerHTML) : text(e.value)
        });
        if (own) { res.index = i; break; }
      }
    }
    // The outline boxes are no part of the page: out while it is serialised.
    st.boxes.forEach(function (b) { if (b.parentNode) b.parentNode.removeChild(b); });
    el.setAttribute('data-corvix-pick', '');
    res.outer = el.outerHTML;
    res.source = doc.documentElement.outerHTML;
    el.removeAttribute('data-corvix-pick');
    st.boxes.forEach(function (b) { b.ownerDocument.documentElement.appendChild(b); });
    return res;
  };

  // What happened since the last poll; a pointing is handed over once.
  st.poll = function () {
    var r = { hover: st.hover, note: st.note, pointed: st.pointed };
    st.pointed = null;
    return r;
  };

  function install(win) {
    var doc = win.document;
    var box = doc.createElement('div');
    box.style.cssText = 'position:fixed;pointer-events:none;z-index:2147483647;display:none;' +
                        'outline:2px solid #d00;background:rgba(220,0,0,0.08);';
    doc.documentElement.appendChild(box);
    st.boxes.push(box);
    doc.addEventListener('mousemove', function (ev) {
      var el = ev.target;
      if (!el || el.nodeType !== 1) return;
      var r = el.getBoundingClientRect();
      box.style.left = r.left + 'px'; box.style.top = r.top + 'px';
      box.style.width = r.width + 'px'; box.style.height = r.height + 'px'; box.style.display = 'block';
      st.hover = shownText(el).slice(0, 120);
      st.note = '';
      if (el.tagName === 'IFRAME' || el.tagName === 'FRAME') {
        try { if (!el.contentDocument) throw 0; } catch (e) { st.note = 'cross'; }
      }
    }, true);
    ['click', 'auxclick', 'dblclick', 'submit'].forEach(function (type) {
      doc.addEventListener(type, function (ev) {
        ev.preventDefault(); ev.stopPropagation(); ev.stopImmediatePropagation();
        var sel = win.getSelection();
        // A click that ends a selection is the selection's.
        if (type === 'click' && (!sel || sel.isCollapsed)) point(ev.target, doc, '');
      }, true);
    });
    doc.addEventListener('mouseup', function () {
      var sel = win.getSelection();
      if (!sel || sel.isCollapsed || !sel.rangeCount) return;
      var range = sel.getRangeAt(0), node = range.commonAncestorContainer;
      var el = node.nodeType === 1 ? node : node.parentElement;
      point(el, doc, shownText(el, range));
    }, true);
    for (var f = 0; f < win.frames.length; f++) {
      var inner = null;
      try { inner = win.frames[f].document; } catch (e) { /* another origin */ }
      if (inner) install(win.frames[f]); else st.crossFrames++;
    }
  }
  install(window);
  return { crossFrames: st.crossFrames };
})()
