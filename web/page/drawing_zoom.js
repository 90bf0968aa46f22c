// A drawing the user can zoom and pan: the command's SVG at its own size in a scrolling view
// (a sheet thousands of pixels wide keeps its 11 px text readable, where fitting it to the page
// would shrink it), dragged to pan, zoomed by buttons, Ctrl + wheel about the pointer, or the
// + and - keys. The scale outlives a recomputation, so a user looking closely at one span keeps
// looking at it while they change an input.
'use strict';

(function () {
  const STEPS = [0.25, 0.35, 0.5, 0.7, 1, 1.4, 2, 2.8, 4];

  function sizeOf(svg) {
    const w = Number(svg.getAttribute('width'));
    const h = Number(svg.getAttribute('height'));
    if (w > 0 && h > 0) return [w, h];
    const vb = svg.viewBox && svg.viewBox.baseVal;
    return vb && vb.width > 0 ? [vb.width, vb.height] : [800, 400];
  }

  // `box` holds the view; `text(key)` gives the page's words for the buttons.
  function attach(box, text) {
    let state = box.zoomState;
    if (!state) {
      state = { scale: 1 };
      box.zoomState = state;
    }
    const svg = box.querySelector('svg');
    if (!svg) return null;
    const [w, h] = sizeOf(svg);
    const bar = document.createElement('div');
    bar.className = 'zoom-bar';
    const button = (cls, label, title, act) => {
      const b = document.createElement('button');
      b.type = 'button';
      b.className = cls;
      b.textContent = label;
      b.title = title;
      b.setAttribute('aria-label', title);
      b.addEventListener('click', act);
      bar.appendChild(b);
      return b;
    };
    const view = document.createElement('div');
    view.className = 'zoom-view';
    view.tabIndex = 0;
    view.setAttribute('aria-label', text('zoomHint'));
    view.title = text('zoomHint');
    svg.parentNode.insertBefore(view, svg);
    view.appendChild(svg);
    box.insertBefore(bar, view);
    const shown = document.createElement('output');
    shown.className = 'zoom-scale';

    function apply(scale, cx, cy) {
      // Keeps the drawing's point under (cx, cy) of the view where it was.
      const px = cx === undefined ? view.clientWidth / 2 : cx;
      const py = cy === undefined ? view.clientHeight / 2 : cy;
      const fx = (view.scrollLeft + px) / state.scale;
      const fy = (view.scrollTop + py) / state.scale;
      state.scale = Math.min(STEPS[STEPS.length - 1], Math.max(fitScale() / 2, scale));
      svg.style.width = w * state.scale + 'px';
      svg.style.height = h * state.scale + 'px';
      view.scrollLeft = fx * state.scale - px;
      view.scrollTop = fy * state.scale - py;
      shown.textContent = Math.round(state.scale * 100) + '%';
      box.dataset.scale = String(state.scale);
    }
    const fitScale = () => Math.min(1, (view.clientWidth || w) / w);
    const step = (dir) => {
      const s = state.scale;
      const next = dir > 0 ? STEPS.find((x) => x > s * 1.001) : [...STEPS].reverse().find((x) => x < s / 1.001);
      return next === undefined ? s : next;
    };
    button('zoom-out', '−', text('zoomOut'), () => apply(step(-1)));
    button('zoom-in', '+', text('zoomIn'), () => apply(step(1)));
    button('zoom-fit', '↔', text('zoomFit'), () => apply(fitScale()));
    button('zoom-actual', '1:1', text('zoomActual'), () => apply(1));
    bar.appendChild(shown);
    const hint = document.createElement('span');
    hint.className = 'note';
    hint.textContent = text('zoomHint');
    bar.appendChild(hint);

    view.addEventListener('wheel', (e) => {
      if (!e.ctrlKey) return;
      e.preventDefault();
      const r = view.getBoundingClientRect();
      apply(state.scale * Math.exp(-e.deltaY / 300), e.clientX - r.left, e.clientY - r.top);
    }, { passive: false });
    view.addEventListener('keydown', (e) => {
      if (e.key === '+' || e.key === '=') { e.preventDefault(); apply(step(1)); }
      if (e.key === '-') { e.preventDefault(); apply(step(-1)); }
    });
    let drag = null;
    view.addEventListener('pointerdown', (e) => {
      if (e.button !== 0) return;
      drag = { x: e.clientX, y: e.clientY, left: view.scrollLeft, top: view.scrollTop };
      view.setPointerCapture(e.pointerId);
      view.classList.add('dragging');
    });
    view.addEventListener('pointermove', (e) => {
      if (!drag) return;
      view.scrollLeft = drag.left - (e.clientX - drag.x);
      view.scrollTop = drag.top - (e.clientY - drag.y);
    });
    const stop = () => { drag = null; view.classList.remove('dragging'); };
    view.addEventListener('pointerup', stop);
    view.addEventListener('pointercancel', stop);
    const { scrollLeft, scrollTop } = state;
    apply(state.scale);
    if (scrollLeft !== undefined) { view.scrollLeft = scrollLeft; view.scrollTop = scrollTop; }
    view.addEventListener('scroll', () => { state.scrollLeft = view.scrollLeft; state.scrollTop = view.scrollTop; },
      { passive: true });
    return view;
  }

  window.VarnelZoom = { attach };
}());
