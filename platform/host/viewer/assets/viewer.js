// The viewer's page: shows what the host publishes (state and the page
// view's drawing, pushed as Server-Sent Events) and sends what the person
// does to the host's input queue, one request at a time and in order.
'use strict';

const $ = (id) => document.getElementById(id);
const MOD_SHIFT = 8, MOD_CONTROL = 4;

const viewer = {
  state: null,       // {chrome, live}
  frame: null,       // the page view: image, size, outlines, rubber band
  frames: 0,         // frames drawn, for tests and the benchmark
  menuRequest: 0,    // the last menu opening asked for
  openMenu: null,    // name of the top menu shown open
  ended: false,
  // Hook: panels beside the page view (region_panel.js) follow each frame.
  frameListeners: [],
  // Hook: parts that follow the host's state (open_dialog.js).
  stateListeners: [],
};
window.vellora = viewer;

// ---- Input: one request in flight; moves and hovers fold into the newest.

const outbox = [];
let sending = false;

function send(fields) {
  const last = outbox[outbox.length - 1];
  if (last && (fields.kind === 'move' || fields.kind === 'hover') && last.kind === fields.kind) {
    outbox[outbox.length - 1] = fields;
  } else {
    outbox.push(fields);
  }
  if (!sending) pump();
}

async function pump() {
  sending = true;
  while (outbox.length > 0 && !viewer.ended) {
    const fields = outbox.shift();
    try {
      const res = await fetch('/input', {
        method: 'POST',
        headers: {'Content-Type': 'application/x-www-form-urlencoded'},
        body: new URLSearchParams(fields).toString(),
      });
      if (!res.ok) showMessage(await res.text());
    } catch (e) {
      showMessage('The viewer does not answer.');
    }
  }
  sending = false;
}

function showMessage(text) { $('message').textContent = text.trim(); }

// ---- Text with '&' marking an access key, as the person reads it.

function setAccessText(element, text) {
  element.textContent = '';
  for (let i = 0; i < text.length; i++) {
    const c = text[i];
    if (c === '&' && i + 1 < text.length) {
      i++;
      if (text[i] === '&') { element.append('&'); continue; }
      const u = document.createElement('u');
      u.textContent = text[i];
      element.append(u);
    } else {
      element.append(c);
    }
  }
}

const plain = (text) => text.replace(/&(.)/g, '$1');

// ---- Menus: each opening asks the host, which asks the items' own tests.

function closeMenus() {
  viewer.openMenu = null;
  viewer.openSubmenu = null;
  renderMenubar();
}

function openMenuNamed(name) {
  viewer.openMenu = name;
  viewer.menuRequest += 1;
  send({kind: 'menu-open', name, request: String(viewer.menuRequest)});
  renderMenubar();
}

function chooseItem(item) {
  closeMenus();
  if (item.name === 'SaveAs') return showSaveAs();
  if (item.name === 'Open') return showOpen();  // open_dialog.js
  send({kind: 'menu', name: item.name});
}

function menuPanel(menu, answered) {
  const panel = document.createElement('div');
  panel.className = 'menu-panel';
  panel.setAttribute('role', 'menu');
  for (const item of menu.items) {
    if (item.title === '-' || item.title === '') {
      const sep = document.createElement('div');
      sep.className = 'menu-separator';
      panel.append(sep);
      continue;
    }
    const row = document.createElement('div');
    row.className = 'menu-item';
    row.setAttribute('role', 'menuitem');
    row.title = plain(item.title);
    row.dataset.name = item.name;
    const label = document.createElement('span');
    setAccessText(label, item.title);
    if (item.icon) {
      const img = document.createElement('img');
      img.src = item.icon;
      img.alt = '';
      row.append(img);
    }
    row.append(label);
    if (item.submenu) {
      row.classList.add('has-submenu');
      const sub = menuPanel(item.submenu, answered);
      // A submenu stays open across the menu's redrawing while the mouse is on it.
      sub.hidden = viewer.openSubmenu !== item.name;
      row.append(sub);
      row.addEventListener('mouseenter', () => { sub.hidden = false; viewer.openSubmenu = item.name; });
      row.addEventListener('mouseleave', () => { sub.hidden = true; viewer.openSubmenu = null; });
    } else {
      if (!answered || item.enabled === null) row.classList.add('pending');
      else if (!item.enabled) row.classList.add('disabled');
      if (answered && item.marked) row.classList.add('marked');
      row.setAttribute('aria-disabled', String(!(answered && item.enabled)));
      if (item.shortcut) {
        const s = document.createElement('span');
        s.className = 'shortcut';
        s.textContent = item.shortcut;
        row.append(s);
      }
      row.addEventListener('click', (e) => {
        e.stopPropagation();
        if (answered && item.enabled) chooseItem(item);
      });
    }
    panel.append(row);
  }
  return panel;
}

function renderMenubar() {
  const bar = $('menubar');
  bar.textContent = '';
  const chrome = viewer.state && viewer.state.chrome;
  if (!chrome) return;
  const answered = chrome.menuAnswered >= viewer.menuRequest;
  for (const menu of chrome.menus) {
    const title = document.createElement('div');
    title.className = 'menu-title';
    title.setAttribute('role', 'menuitem');
    title.title = plain(menu.title);
    title.dataset.name = menu.name;
    setAccessText(title, menu.title);
    title.addEventListener('click', (e) => {
      e.stopPropagation();
      if (viewer.openMenu === menu.name) closeMenus(); else openMenuNamed(menu.name);
    });
    title.addEventListener('mouseenter', () => {
      if (viewer.openMenu && viewer.openMenu !== menu.name) openMenuNamed(menu.name);
    });
    if (viewer.openMenu === menu.name) {
      title.classList.add('open');
      title.append(menuPanel(menu, answered));
    }
    bar.append(title);
  }
}

document.addEventListener('click', () => { if (viewer.openMenu) closeMenus(); });

// Shortcuts: a key with its modifiers chooses the item that shows it.
function findShortcut(menus, key, mods) {
  for (const menu of menus) {
    for (const item of menu.items) {
      if (item.submenu) {
        const found = findShortcut([item.submenu], key, mods);
        if (found) return found;
      } else if (item.key && item.key.toUpperCase() === key && item.modifiers === mods) {
        return item;
      }
    }
  }
  return null;
}

document.addEventListener('keydown', (e) => {
  const modal = viewer.state && viewer.state.live.modal;
  if (modal || !$('modal-layer').hidden) return modalKey(e);
  if (e.key === 'Escape' && viewer.openMenu) return closeMenus();
  const mods = (e.shiftKey ? MOD_SHIFT : 0) | (e.ctrlKey ? MOD_CONTROL : 0);
  if (mods === 0 || !viewer.state) return;
  const m = /^(?:Digit|Key)(.)$/.exec(e.code);
  if (!m) return;
  const item = findShortcut(viewer.state.chrome.menus, m[1], mods);
  if (item) {
    e.preventDefault();
    send({kind: 'menu', name: item.name});
  }
});

// ---- Toolbar, windows, navigation.

function renderToolbar(chrome) {
  const bar = $('toolbar');
  bar.textContent = '';
  for (const b of chrome.toolbar) {
    if (b.name === 'endToolsGroup') {
      const sep = document.createElement('span');
      sep.className = 'separator';
      bar.append(sep);
      continue;
    }
    const button = document.createElement('button');
    button.title = b.title;
    button.dataset.name = b.name;
    button.disabled = !b.enabled;
    button.setAttribute('aria-pressed', String(b.marked));
    if (b.marked) button.classList.add('marked');
    if (b.icon) {
      const img = document.createElement('img');
      img.src = b.icon;
      img.alt = b.title;
      button.append(img);
    } else {
      button.textContent = b.name;
    }
    button.addEventListener('click', () => {
      if (b.name === 'Open') return showOpen();  // open_dialog.js
      send({kind: 'button', name: b.name});
    });
    bar.append(button);
  }
}

function renderTabs(chrome) {
  const tabs = $('tabs');
  tabs.textContent = '';
  for (const w of chrome.windows) {
    const tab = document.createElement('button');
    tab.setAttribute('role', 'tab');
    tab.textContent = w.name + (w.modified ? ' *' : '');
    tab.title = w.name;
    if (w.name === chrome.active) tab.classList.add('active');
    tab.addEventListener('click', () => send({kind: 'activate', name: w.name}));
    tabs.append(tab);
  }
}

function gotoPage(n) {
  const f = viewer.frame;
  if (!f) return;
  const page = Math.min(Math.max(1, n), f.pages);
  if (page !== f.page) send({kind: 'goto', page: String(page)});
}

function zoomTo(percent) {
  send({kind: 'zoom', percent: String(Math.round(Math.min(6400, Math.max(1, percent))))});
}

$('nav-first').addEventListener('click', () => gotoPage(1));
$('nav-prev').addEventListener('click', () => viewer.frame && gotoPage(viewer.frame.page - 1));
$('nav-next').addEventListener('click', () => viewer.frame && gotoPage(viewer.frame.page + 1));
$('nav-last').addEventListener('click', () => viewer.frame && gotoPage(viewer.frame.pages));
$('page-field').addEventListener('keydown', (e) => {
  if (e.key === 'Enter') gotoPage(parseInt($('page-field').value, 10) || 1);
});
$('zoom-in').addEventListener('click', () => viewer.frame && zoomTo(viewer.frame.zoom * 2));
$('zoom-out').addEventListener('click', () => viewer.frame && zoomTo(viewer.frame.zoom / 2));
$('zoom-fit').addEventListener('click', () => {
  const f = viewer.frame;
  if (!f) return;
  const room = $('viewport').clientWidth - 2 * f.margin - 2;
  zoomTo(Math.floor(room / f.pageWidth * 100));
});

// ---- The page view: the host's rendering, then its outlines, drawn as
// the host's own raster draws them (widths inward, repainted parts left out).

const canvas = $('page-view');
const ctx = canvas.getContext('2d', {alpha: false});
const pageImage = new Image();
let pageImageUrl = null;
pageImage.addEventListener('load', () => drawFrame());

function subtract(boxes, e) {
  const out = [];
  for (const b of boxes) {
    if (e[2] < b[0] || e[0] > b[2] || e[3] < b[1] || e[1] > b[3]) { out.push(b); continue; }
    if (b[1] < e[1]) out.push([b[0], b[1], b[2], e[1] - 1]);
    if (b[3] > e[3]) out.push([b[0], e[3] + 1, b[2], b[3]]);
    const y0 = Math.max(b[1], e[1]), y1 = Math.min(b[3], e[3]);
    if (b[0] < e[0]) out.push([b[0], y0, e[0] - 1, y1]);
    if (b[2] > e[2]) out.push([e[2] + 1, y0, b[2], y1]);
  }
  return out;
}

function strokeRect(rect, width, color, erased) {
  const x0 = Math.min(rect[0], rect[2]), x1 = Math.max(rect[0], rect[2]);
  const y0 = Math.min(rect[1], rect[3]), y1 = Math.max(rect[1], rect[3]);
  const w = Math.max(1, width);
  const ix0 = x0 + w, iy0 = y0 + w, ix1 = x1 - w, iy1 = y1 - w;
  let boxes;
  if (ix1 < ix0 || iy1 < iy0) {
    boxes = [[x0, y0, x1, y1]];
  } else {
    boxes = [[x0, y0, x1, iy0 - 1], [x0, iy1 + 1, x1, y1], [x0, iy0, ix0 - 1, iy1], [ix1 + 1, iy0, x1, iy1]];
  }
  for (const e of erased) boxes = subtract(boxes, e);
  ctx.fillStyle = color;
  for (const b of boxes) ctx.fillRect(b[0], b[1], b[2] - b[0] + 1, b[3] - b[1] + 1);
}

function drawFrame() {
  const f = viewer.frame;
  if (!f) return;
  if (canvas.width !== f.width || canvas.height !== f.height) {
    canvas.width = f.width;
    canvas.height = f.height;
  }
  if (f.image !== pageImageUrl) {
    pageImageUrl = f.image;
    if (f.image) pageImage.src = f.image;
  }
  if (pageImage.complete && pageImage.naturalWidth === f.width && pageImage.src.endsWith(f.image || '')) {
    ctx.drawImage(pageImage, 0, 0);
  } else {
    ctx.fillStyle = '#808080';
    ctx.fillRect(0, 0, f.width, f.height);
    if (pageImageUrl && !pageImage.complete) return;  // drawn again once the image is in
  }
  for (const op of f.ops) strokeRect(op.rect, op.width, op.color, op.erased);
  if (f.band) strokeRect(f.band, 1, f.bandColor, []);
  viewer.frames += 1;
  canvas.dataset.frames = String(viewer.frames);
}

function applyFrame(f) {
  viewer.frame = f;
  if (!f) {
    canvas.width = 1;
    canvas.height = 1;
    for (const listen of viewer.frameListeners) listen(null);
    return;
  }
  if (document.activeElement !== $('page-field')) $('page-field').value = String(f.page);
  $('page-count').textContent = 'of ' + f.pages;
  $('zoom-text').textContent = Math.round(f.zoom) + '%';
  drawFrame();
  for (const listen of viewer.frameListeners) listen(f);
}

// ---- Mouse on the page view, in its device pixels.

let pressed = false;
let panning = null;

function modifiers(e) { return (e.shiftKey ? MOD_SHIFT : 0) | (e.ctrlKey ? MOD_CONTROL : 0); }

function pointFields(kind, e) {
  return {kind, x: String(Math.floor(e.offsetX)), y: String(Math.floor(e.offsetY)), mods: String(modifiers(e))};
}

function handTool() { return viewer.state && viewer.state.chrome.tool === 'Hand'; }

canvas.addEventListener('pointerdown', (e) => {
  if (e.button !== 0) return;
  canvas.setPointerCapture(e.pointerId);
  if (handTool()) {
    const v = $('viewport');
    panning = {x: e.clientX, y: e.clientY, left: v.scrollLeft, top: v.scrollTop};
    return;
  }
  pressed = true;
  send(pointFields('press', e));
});

canvas.addEventListener('pointermove', (e) => {
  if (panning) {
    const v = $('viewport');
    v.scrollLeft = panning.left - (e.clientX - panning.x);
    v.scrollTop = panning.top - (e.clientY - panning.y);
    return;
  }
  send(pointFields(pressed ? 'move' : 'hover', e));
});

function release(e) {
  if (panning) { panning = null; return; }
  if (!pressed) return;
  pressed = false;
  send(pointFields('release', e));
}
canvas.addEventListener('pointerup', release);
canvas.addEventListener('pointercancel', release);

function applyCursor(live) {
  if (handTool()) { canvas.style.cursor = panning ? 'grabbing' : 'grab'; return; }
  const c = live.cursor;
  canvas.style.cursor = c ? `url("${c.url}") ${c.x} ${c.y}, auto` : 'default';
}

// ---- Modals: the host's and the plug-in's questions, the dialog, progress,
// Save As. While one is up the layer takes every click and key.

let modalShown = '';

function layer() {
  const l = $('modal-layer');
  l.textContent = '';
  l.hidden = false;
  return l;
}

function hideModal() {
  $('modal-layer').hidden = true;
  $('modal-layer').textContent = '';
  modalShown = '';
}

function alertBox(text) {
  const box = document.createElement('div');
  box.className = 'alert';
  box.setAttribute('role', 'alertdialog');
  const t = document.createElement('div');
  t.className = 'text';
  t.textContent = text;
  box.append(t);
  return box;
}

function buttonRow(box) {
  const row = document.createElement('div');
  row.className = 'buttons';
  box.append(row);
  return row;
}

function textButton(text, onClick) {
  const b = document.createElement('button');
  setAccessText(b, text);
  b.addEventListener('click', onClick);
  return b;
}

function showQuestion(modal) {
  const box = alertBox(modal.text);
  const row = buttonRow(box);
  modal.buttons.forEach((text, i) => {
    row.append(textButton(text, () => send({kind: 'answer', modal: String(modal.serial), number: String(i + 1)})));
  });
  layer().append(box);
  row.firstChild && row.firstChild.focus();
}

function showDialog(modal) {
  const d = modal.dialog;
  const win = document.createElement('div');
  win.className = 'window';
  win.setAttribute('role', 'dialog');
  win.style.width = d.width + 'px';
  win.style.height = d.height + 'px';
  const caption = document.createElement('div');
  caption.className = 'caption';
  caption.textContent = d.title;
  const close = document.createElement('button');
  close.className = 'close-box';
  close.title = 'Close';
  close.textContent = '\u00D7';
  close.addEventListener('click', () => send({kind: 'dialog-key', modal: String(modal.serial), key: 'close'}));
  caption.append(close);
  win.append(caption);
  const click = (id) => send({kind: 'dialog-click', modal: String(modal.serial), number: String(id)});
  for (const c of d.controls) {
    let el;
    if (c.radio) {
      el = document.createElement('label');
      const input = document.createElement('input');
      input.type = 'radio';
      input.name = 'dialog-' + modal.serial;
      input.checked = c.checked;
      input.addEventListener('click', () => click(c.id));
      const text = document.createElement('span');
      setAccessText(text, c.text);
      el.append(input, text);
    } else if (c.class === 'BUTTON') {
      el = document.createElement('button');
      setAccessText(el, c.text);
      el.addEventListener('click', () => click(c.id));
    } else {
      el = document.createElement('div');
      setAccessText(el, c.text);
    }
    el.classList.add('control');
    el.dataset.id = String(c.id);
    el.style.left = (c.rect[0] - 3) + 'px';   // the frame is the window's border
    el.style.top = (c.rect[1] - 3) + 'px';
    el.style.width = c.rect[2] + 'px';
    el.style.height = c.rect[3] + 'px';
    win.append(el);
  }
  layer().append(win);
}

const progressText = (p) => 'Working\u2026 ' + p.value + (p.duration ? ' of ' + p.duration : '');

function showProgress(p) {
  const box = alertBox(progressText(p));
  box.id = 'progress-box';
  const bar = document.createElement('progress');
  box.append(bar);
  buttonRow(box).append(textButton('Stop', () => send({kind: 'stop'})));
  layer().append(box);
  updateProgress(p);
}

// The bar moves in place: its Stop button stays the one the person aims at.
function updateProgress(p) {
  const box = $('progress-box');
  box.querySelector('.text').textContent = progressText(p);
  const bar = box.querySelector('progress');
  bar.max = Math.max(1, p.duration);
  bar.value = p.value;
}

function showSaveAs() {
  const box = alertBox('Save a copy beside the opened file, as:');
  const field = document.createElement('input');
  field.type = 'text';
  field.id = 'save-as-name';
  field.value = viewer.state && viewer.state.chrome.active ? viewer.state.chrome.active : '';
  box.append(field);
  const row = buttonRow(box);
  const done = (ok) => {
    hideModal();
    if (ok) send({kind: 'save-as', name: field.value});
  };
  row.append(textButton('OK', () => done(true)), textButton('Cancel', () => done(false)));
  field.addEventListener('keydown', (e) => {
    if (e.key === 'Enter') done(true);
    if (e.key === 'Escape') done(false);
    e.stopPropagation();
  });
  layer().append(box);
  modalShown = 'save-as';
  field.focus();
  field.select();
}

function modalKey(e) {
  const modal = viewer.state && viewer.state.live.modal;
  if (!modal) return;
  if (e.key === 'Escape' || e.key === 'Enter') {
    e.preventDefault();
    send({kind: 'dialog-key', modal: String(modal.serial), key: e.key === 'Escape' ? 'escape' : 'enter'});
  }
}

function renderModal(live) {
  if (viewer.ended) return;
  // A question stands still while the bar behind it moves.
  const what = JSON.stringify(live.modal ? live.modal : ['progress', live.progress && live.progress.value]);
  if (what === modalShown) return;
  if (!live.modal && !live.progress) {
    if (modalShown !== 'save-as' && modalShown !== 'open') hideModal();  // the page's own
    return;
  }
  if (!live.modal && live.progress && $('progress-box')) {
    modalShown = what;
    return updateProgress(live.progress);
  }
  modalShown = what;
  if (live.modal && live.modal.dialog) showDialog(live.modal);
  else if (live.modal) showQuestion(live.modal);
  else showProgress(live.progress);
}

function showEnded() {
  viewer.ended = true;
  const l = layer();
  const box = alertBox('The viewer has ended. You can close this page.');
  box.classList.add('ended');
  l.append(box);
}

// ---- State from the host.

function applyState(s) {
  if (!s) return;
  viewer.state = s;
  const chrome = s.chrome;
  renderMenubar();
  renderToolbar(chrome);
  renderTabs(chrome);
  applyCursor(s.live);
  if (s.live.message) showMessage(s.live.message);
  renderModal(s.live);
  if (s.live.quit) showEnded();
  for (const listen of viewer.stateListeners) listen(s);
}

async function start() {
  try {
    const res = await fetch('/state');
    const doc = await res.json();
    applyState(doc.state);
    applyFrame(doc.frame);
  } catch (e) {
    showMessage('The viewer does not answer.');
  }
  const events = new EventSource('/events');
  events.addEventListener('state', (e) => applyState(JSON.parse(e.data)));
  events.addEventListener('frame', (e) => applyFrame(JSON.parse(e.data)));
  events.addEventListener('bye', () => { events.close(); showEnded(); });
}

start();
