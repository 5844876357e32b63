// SPDX-License-Identifier: AGPL-3.0-or-later
// The viewer's page: shows what the host publishes (state and the page
// view's drawing, pushed as Server-Sent Events) and sends what the person
// does to the host's input queue, one request at a time and in order.
// Every path is relative: the whole page is served under its run's prefix.
'use strict';

const $ = (id) => document.getElementById(id);
const MOD_SHIFT = 8, MOD_CONTROL = 4;
const ZOOM_STEPS = [10, 25, 33, 50, 67, 75, 100, 125, 150, 200, 300, 400, 600, 800, 1200, 1600, 2400, 3200, 6400];

const viewer = {
  state: null,       // {chrome, live}
  frame: null,       // the page view: image, size, outlines, rubber band
  frames: 0,         // frames drawn, for tests and the benchmark
  menuRequest: 0,    // the last menu opening asked for
  openMenu: null,    // name of the top menu shown open
  openSubmenus: [],  // names of the submenu items open in it, outermost first
  ended: false,
  connected: false,
  connects: 0,       // event streams opened, for tests
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
  if (fields.kind !== 'move' && fields.kind !== 'hover' && fields.kind !== 'thumbnails') showMessage('');
  if (!sending) pump();
}

async function pump() {
  sending = true;
  while (outbox.length > 0 && !viewer.ended) {
    const fields = outbox.shift();
    try {
      const res = await fetch('input', {
        method: 'POST',
        headers: {'Content-Type': 'application/x-www-form-urlencoded'},
        body: new URLSearchParams(fields).toString(),
      });
      if (!res.ok) showMessage(await res.text());
    } catch (e) {
      showMessage('The viewer does not answer: is vellora view still running?');
    }
  }
  sending = false;
}

// The status bar: the host's message while it holds, else the page's own.
let pageMessage = '';
function showMessage(text) {
  pageMessage = text.trim();
  renderMessage();
}
function renderMessage() {
  const live = viewer.state && viewer.state.live;
  const host = live && live.message;
  const text = host || pageMessage;
  if ($('message').textContent !== text) $('message').textContent = text;
  $('message').classList.toggle('note', !!host && live.messageKind === 'note');
}

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

function accessKey(text) {
  const m = /&([^&])/.exec(text.replace(/&&/g, ''));
  return m ? m[1].toUpperCase() : '';
}

// ---- Focus that survives the page being drawn again: controls carry a
// data-focus-key, and the one that had the focus gets it back.

function keepFocus(container, render) {
  const a = document.activeElement;
  const key = a && a !== document.body && container.contains(a) ? a.dataset.focusKey : undefined;
  render();
  if (key === undefined) return;
  const again = container.querySelector(`[data-focus-key="${CSS.escape(key)}"]`);
  if (again) again.focus();
  else if (!container.contains(document.activeElement)) focusHome();
}

// Where the focus goes when what had it is gone: the page view.
function focusHome() {
  const v = $('page-view');
  if (!v.hidden) v.focus(); else $('main').focus();
}

function focusables(container) {
  return [...container.querySelectorAll('button, input, select, textarea, [tabindex]')]
    .filter((e) => !e.disabled && e.tabIndex >= 0 && e.getClientRects().length > 0);
}

// A toolbar (or tab list): one tab stop, arrows between its enabled items.
function rovingItems(container) {
  return [...container.querySelectorAll('[data-roving]')].filter((e) => !e.disabled);
}

function settleRoving(container) {
  const items = rovingItems(container);
  const current = items.find((e) => e.dataset.focusKey === container.dataset.current) ||
    items.find((e) => e.getAttribute('aria-selected') === 'true') || items[0];
  for (const e of container.querySelectorAll('[data-roving]')) e.tabIndex = e === current ? 0 : -1;
}

function roving(container) {
  container.addEventListener('focusin', (e) => {
    if (e.target.dataset.roving !== undefined) {
      container.dataset.current = e.target.dataset.focusKey;
      settleRoving(container);
    }
  });
  container.addEventListener('keydown', (e) => {
    const items = rovingItems(container);
    const i = items.indexOf(document.activeElement);
    if (i < 0 || e.altKey || e.ctrlKey) return;
    const to = {ArrowRight: i + 1, ArrowDown: i + 1, ArrowLeft: i - 1, ArrowUp: i - 1, Home: 0, End: items.length - 1}[e.key];
    if (to === undefined) return;
    e.preventDefault();
    items[(to + items.length) % items.length].focus();
  });
}

// ---- Menus: each opening asks the host, which asks the items' own tests.
// Built from the host's menu data, so every item it adds, at any depth, is
// reached by the mouse, the arrows and its access key alike.

const menuData = new Map();   // focus key -> {item, depth}
let focusBeforeMenus = null;

function menuAnswered() {
  const chrome = viewer.state && viewer.state.chrome;
  return !!chrome && chrome.menuAnswered >= viewer.menuRequest;
}

function closeMenus() {
  viewer.openMenu = null;
  viewer.openSubmenus = [];
  renderMenubar();
}

function openMenuNamed(name) {
  viewer.openMenu = name;
  viewer.openSubmenus = [];
  viewer.menuRequest += 1;
  send({kind: 'menu-open', name, request: String(viewer.menuRequest)});
  renderMenubar();
}

function leaveMenus() {
  closeMenus();
  const back = focusBeforeMenus;
  focusBeforeMenus = null;
  if (back && back.isConnected && !$('menubar').contains(back)) back.focus(); else focusHome();
}

function chooseItem(item) {
  leaveMenus();
  if (item.name === 'SaveAs') return showSaveAs();
  if (item.name === 'Open') return showOpen();  // open_dialog.js
  send({kind: 'menu', name: item.name});
}

function separator(tag, className) {
  const sep = document.createElement(tag);
  sep.className = className;
  sep.setAttribute('role', 'separator');
  return sep;
}

function menuPanel(menu, depth, answered) {
  const panel = document.createElement('div');
  panel.className = 'menu-panel';
  panel.setAttribute('role', 'menu');
  panel.setAttribute('aria-label', plain(menu.title || ''));
  for (const item of menu.items) {
    if (item.title === '-' || item.title === '') {
      panel.append(separator('div', 'menu-separator'));
      continue;
    }
    const row = document.createElement('div');
    row.className = 'menu-item';
    row.setAttribute('role', 'menuitem');
    row.tabIndex = -1;
    row.title = plain(item.title);
    row.dataset.name = item.name;
    row.dataset.focusKey = 'item:' + item.name;
    menuData.set(row.dataset.focusKey, {item, depth});
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
      row.setAttribute('aria-haspopup', 'menu');
      const open = viewer.openSubmenus[depth] === item.name;
      row.setAttribute('aria-expanded', String(open));
      const sub = menuPanel({title: item.title, items: item.submenu.items}, depth + 1, answered);
      sub.hidden = !open;
      row.append(sub);
      row.addEventListener('mouseenter', () => { sub.hidden = false; viewer.openSubmenus[depth] = item.name; });
      row.addEventListener('mouseleave', () => {
        if (row.contains(document.activeElement) && document.activeElement !== row) return;
        sub.hidden = true;
        viewer.openSubmenus.length = depth;
      });
    } else {
      if (!answered || item.enabled === null) row.classList.add('pending');
      else if (!item.enabled) row.classList.add('disabled');
      if (answered && item.marked) {
        row.classList.add('marked');
        row.setAttribute('role', 'menuitemcheckbox');
        row.setAttribute('aria-checked', 'true');
      }
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
  keepFocus(bar, () => {
    bar.textContent = '';
    menuData.clear();
    const chrome = viewer.state && viewer.state.chrome;
    if (!chrome) return;
    const answered = menuAnswered();
    for (const menu of chrome.menus) {
      const title = document.createElement('div');
      title.className = 'menu-title';
      title.setAttribute('role', 'menuitem');
      title.setAttribute('aria-haspopup', 'menu');
      title.setAttribute('aria-expanded', String(viewer.openMenu === menu.name));
      title.title = plain(menu.title);
      title.dataset.name = menu.name;
      title.dataset.focusKey = 'menu:' + menu.name;
      setAccessText(title, menu.title);
      title.addEventListener('click', (e) => {
        e.stopPropagation();
        if (e.target.closest('.menu-panel')) return;
        if (viewer.openMenu === menu.name) closeMenus(); else openMenuNamed(menu.name);
      });
      title.addEventListener('mouseenter', () => {
        if (viewer.openMenu && viewer.openMenu !== menu.name) openMenuNamed(menu.name);
      });
      if (viewer.openMenu === menu.name) {
        title.classList.add('open');
        title.append(menuPanel(menu, 0, answered));
      }
      bar.append(title);
    }
    const titles = menuTitles();
    const current = titles.find((t) => t.dataset.name === bar.dataset.current) || titles[0];
    for (const t of titles) t.tabIndex = t === current ? 0 : -1;
  });
}

const menuTitles = () => [...$('menubar').querySelectorAll(':scope > .menu-title')];
const panelItems = (panel) => [...panel.querySelectorAll(':scope > .menu-item')];
const titleNamed = (name) => menuTitles().find((t) => t.dataset.name === name);

function focusMenubar() {
  if (!$('menubar').contains(document.activeElement)) focusBeforeMenus = document.activeElement;
  const t = titleNamed($('menubar').dataset.current) || menuTitles()[0];
  if (t) t.focus();
}

// Opens the top menu `name` and puts the focus on its first (or last) item.
function openMenuFocused(name, last) {
  if (!$('menubar').contains(document.activeElement)) focusBeforeMenus = document.activeElement;
  $('menubar').dataset.current = name;
  openMenuNamed(name);
  const panel = titleNamed(name).querySelector('.menu-panel');
  const items = panelItems(panel);
  if (items.length) items[last ? items.length - 1 : 0].focus();
}

function neighbourMenu(name, step) {
  const titles = menuTitles();
  const i = titles.findIndex((t) => t.dataset.name === name);
  return titles[(i + step + titles.length) % titles.length].dataset.name;
}

function activateRow(row) {
  const {item, depth} = menuData.get(row.dataset.focusKey);
  if (item.submenu) {
    viewer.openSubmenus.length = depth;
    viewer.openSubmenus[depth] = item.name;
    renderMenubar();
    const again = $('menubar').querySelector(`[data-focus-key="${CSS.escape(row.dataset.focusKey)}"]`);
    const first = panelItems(again.querySelector('.menu-panel'))[0];
    if (first) first.focus();
    return;
  }
  if (!menuAnswered() || item.enabled === null) return showMessage('The menu is still being asked; try again.');
  if (item.enabled) chooseItem(item);
}

$('menubar').addEventListener('keydown', (e) => {
  const t = e.target;
  if (e.ctrlKey || e.metaKey) return;
  if (t.classList.contains('menu-title')) {
    const name = t.dataset.name;
    const move = {ArrowRight: 1, ArrowLeft: -1}[e.key];
    if (move || e.key === 'Home' || e.key === 'End') {
      e.preventDefault();
      const titles = menuTitles();
      const next = move ? neighbourMenu(name, move) : titles[e.key === 'Home' ? 0 : titles.length - 1].dataset.name;
      $('menubar').dataset.current = next;
      if (viewer.openMenu) return openMenuFocused(next);
      renderMenubar();
      return titleNamed(next).focus();
    }
    if (['ArrowDown', 'Enter', ' ', 'ArrowUp'].includes(e.key)) {
      e.preventDefault();
      return openMenuFocused(name, e.key === 'ArrowUp');
    }
    if (e.key === 'Escape' || e.key === 'Tab') {
      if (e.key === 'Escape') e.preventDefault();
      if (viewer.openMenu) return closeMenus();
      if (e.key === 'Escape') return leaveMenus();
      return;
    }
    const hit = !e.altKey && e.key.length === 1 &&
      viewer.state.chrome.menus.find((m) => accessKey(m.title) === e.key.toUpperCase());
    if (hit) { e.preventDefault(); openMenuFocused(hit.name); }
    return;
  }
  if (!t.classList.contains('menu-item')) return;
  const row = t;
  const panel = row.parentElement;
  const items = panelItems(panel);
  const i = items.indexOf(row);
  const {item, depth} = menuData.get(row.dataset.focusKey);
  const step = {ArrowDown: i + 1, ArrowUp: i - 1, Home: 0, End: items.length - 1}[e.key];
  e.stopPropagation();
  if (step !== undefined) {
    e.preventDefault();
    return items[(step + items.length) % items.length].focus();
  }
  if (e.key === 'ArrowRight') {
    e.preventDefault();
    if (item.submenu) return activateRow(row);
    return openMenuFocused(neighbourMenu(viewer.openMenu, 1));
  }
  if (e.key === 'ArrowLeft' || e.key === 'Escape') {
    e.preventDefault();
    if (depth > 0) {
      const holder = panel.parentElement;
      viewer.openSubmenus.length = depth - 1;
      const key = holder.dataset.focusKey;
      renderMenubar();
      return $('menubar').querySelector(`[data-focus-key="${CSS.escape(key)}"]`).focus();
    }
    if (e.key === 'ArrowLeft') return openMenuFocused(neighbourMenu(viewer.openMenu, -1));
    const name = viewer.openMenu;
    closeMenus();
    return titleNamed(name).focus();
  }
  if (e.key === 'Enter' || e.key === ' ') {
    e.preventDefault();
    return activateRow(row);
  }
  if (e.key === 'Tab') {
    e.preventDefault();
    return leaveMenus();
  }
  if (e.key.length === 1 && !e.altKey) {
    const hit = items.find((r) => accessKey(menuData.get(r.dataset.focusKey).item.title) === e.key.toUpperCase());
    if (hit) { e.preventDefault(); activateRow(hit); }
  }
});

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

// Alt pressed and released with nothing between focuses the menubar, as F10 does.
let altAlone = false;

document.addEventListener('keydown', (e) => {
  altAlone = e.key === 'Alt' && !e.ctrlKey && !e.shiftKey;
  if (modalUp()) return modalKey(e);
  if (!viewer.state) return;
  if (e.key === 'F10' && !e.ctrlKey && !e.altKey) {
    e.preventDefault();
    return $('menubar').contains(document.activeElement) ? leaveMenus() : focusMenubar();
  }
  const letter = /^(?:Digit|Key)(.)$/.exec(e.code);
  if (e.altKey && !e.ctrlKey && letter) {
    const menu = viewer.state.chrome.menus.find((m) => accessKey(m.title) === letter[1]);
    if (menu) {
      e.preventDefault();
      return openMenuFocused(menu.name);
    }
  }
  if (e.key === 'Escape' && viewer.openMenu) return leaveMenus();
  if (e.ctrlKey && !e.altKey && ['+', '=', '-', '0'].includes(e.key)) {
    e.preventDefault();
    if (!viewer.frame) return;
    if (e.key === '0') return zoomTo(100);
    return zoomStep(e.key === '-' ? -1 : 1);
  }
  const editing = e.target.matches && e.target.matches('input, textarea');
  const mods = (e.shiftKey ? MOD_SHIFT : 0) | (e.ctrlKey ? MOD_CONTROL : 0);
  if (mods === 0 || e.altKey || !letter || (editing && !e.ctrlKey)) return;
  const item = findShortcut(viewer.state.chrome.menus, letter[1], mods);
  if (item) {
    e.preventDefault();
    send({kind: 'menu', name: item.name});
  }
});

document.addEventListener('keyup', (e) => {
  if (e.key === 'Alt' && altAlone && !modalUp() && viewer.state) {
    e.preventDefault();
    if ($('menubar').contains(document.activeElement)) leaveMenus(); else focusMenubar();
  }
  altAlone = false;
});

// ---- Toolbar, windows, navigation.

function renderToolbar(chrome) {
  const bar = $('toolbar');
  keepFocus(bar, () => {
    bar.textContent = '';
    for (const b of chrome.toolbar) {
      if (b.name === 'endToolsGroup') {
        bar.append(separator('span', 'separator'));
        continue;
      }
      const button = document.createElement('button');
      button.title = b.title;
      button.setAttribute('aria-label', b.title || b.name);
      button.dataset.name = b.name;
      button.dataset.focusKey = 'button:' + b.name;
      button.dataset.roving = '';
      button.disabled = !b.enabled;
      button.setAttribute('aria-pressed', String(b.marked));
      if (b.marked) button.classList.add('marked');
      if (b.icon) {
        const img = document.createElement('img');
        img.src = b.icon;
        img.alt = '';
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
    settleRoving(bar);
  });
}
roving($('toolbar'));

function renderTabs(chrome) {
  const tabs = $('tabs');
  keepFocus(tabs, () => {
    tabs.textContent = '';
    chrome.windows.forEach((w, i) => {
      const tab = document.createElement('button');
      tab.setAttribute('role', 'tab');
      tab.textContent = w.name + (w.modified ? ' *' : '');
      tab.title = w.name + (w.modified ? ' (unsaved changes)' : '');
      tab.dataset.focusKey = 'tab:' + i;
      tab.dataset.roving = '';
      const active = i === chrome.activeIndex;
      tab.setAttribute('aria-selected', String(active));
      if (active) tab.classList.add('active');
      tab.addEventListener('click', () => send({kind: 'activate', number: String(i + 1)}));
      tabs.append(tab);
    });
    delete tabs.dataset.current;
    settleRoving(tabs);
  });
  const active = chrome.windows[chrome.activeIndex];
  $('doc-heading').textContent = active ? active.name : 'No document open';
  document.title = active ? active.name + ' \u2013 Vellora' : 'Vellora';
}
roving($('tabs'));

function gotoPage(n) {
  const f = viewer.frame;
  if (!f) return;
  const page = Math.min(Math.max(1, n), f.pages);
  if (page !== f.page) send({kind: 'goto', page: String(page)});
}

function zoomTo(percent) {
  const p = Math.round(Math.min(6400, Math.max(1, percent)));
  if (viewer.frame && p === Math.round(viewer.frame.zoom)) return;
  send({kind: 'zoom', percent: String(p)});
}

function zoomStep(direction) {
  const z = viewer.frame.zoom;
  const next = direction > 0 ? ZOOM_STEPS.find((s) => s > z + 0.5) : [...ZOOM_STEPS].reverse().find((s) => s < z - 0.5);
  zoomTo(next || (direction > 0 ? 6400 : 10));
}

// Room for the page inside the view, as if its scroll bars were showing
// (they will be once it fits the width: a page is taller than wide).
function viewRoom() {
  const v = $('viewport');
  const bar = scrollbarWidth();
  return {width: v.clientWidth - (v.scrollHeight > v.clientHeight ? 0 : bar), height: v.clientHeight};
}

let measuredBar = null;
function scrollbarWidth() {
  if (measuredBar === null) {
    const probe = document.createElement('div');
    probe.style.cssText = 'position:absolute;top:-200px;width:100px;height:100px;overflow:scroll';
    document.body.append(probe);
    measuredBar = probe.offsetWidth - probe.clientWidth;
    probe.remove();
  }
  return measuredBar;
}

function fitWidth() {
  const f = viewer.frame;
  if (!f) return;
  zoomTo(Math.floor((viewRoom().width - 2 * f.margin) / f.pageWidth * 100));
}

function fitPage() {
  const f = viewer.frame;
  if (!f) return;
  const v = $('viewport');
  const w = (v.clientWidth + (v.scrollHeight > v.clientHeight ? scrollbarWidth() : 0) - 2 * f.margin) / f.pageWidth;
  const h = (v.clientHeight + (v.scrollWidth > v.clientWidth ? scrollbarWidth() : 0) - 2 * f.margin) / f.pageHeight;
  zoomTo(Math.floor(Math.min(w, h) * 100));
}

$('nav-first').addEventListener('click', () => gotoPage(1));
$('nav-prev').addEventListener('click', () => viewer.frame && gotoPage(viewer.frame.page - 1));
$('nav-next').addEventListener('click', () => viewer.frame && gotoPage(viewer.frame.page + 1));
$('nav-last').addEventListener('click', () => viewer.frame && gotoPage(viewer.frame.pages));
$('page-field').addEventListener('keydown', (e) => {
  if (e.key !== 'Enter') return;
  const n = parseInt($('page-field').value, 10);
  if (Number.isNaN(n)) return showMessage('Type a page number from 1 to ' + (viewer.frame ? viewer.frame.pages : 1) + '.');
  gotoPage(n);
});
$('zoom-field').addEventListener('keydown', (e) => {
  if (e.key !== 'Enter') return;
  const n = parseFloat($('zoom-field').value);
  if (!(n >= 1 && n <= 6400)) return showMessage('Type a zoom from 1 to 6400 percent.');
  zoomTo(n);
});
$('zoom-in').addEventListener('click', () => viewer.frame && zoomStep(1));
$('zoom-out').addEventListener('click', () => viewer.frame && zoomStep(-1));
$('zoom-fit').addEventListener('click', fitWidth);
$('zoom-page').addEventListener('click', fitPage);

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
  if (f.image && pageImage.complete && pageImage.naturalWidth === f.width && pageImage.src.endsWith(f.image)) {
    ctx.drawImage(pageImage, 0, 0);
  } else {
    ctx.fillStyle = '#808080';
    ctx.fillRect(0, 0, f.width, f.height);
    if (pageImageUrl && !pageImage.complete) return;  // drawn again once the image is in
  }
  for (const op of f.ops) strokeRect(op.rect, op.width, op.color, op.erased);
  if (f.band) strokeRect(f.band, 1, f.bandColor, []);
  drawKeyPointer();
  viewer.frames += 1;
  canvas.dataset.frames = String(viewer.frames);
}

const points = (v) => String(Math.round(v * 100) / 100);
const boxText = (b) => `left ${points(b[0])}, bottom ${points(b[1])}, right ${points(b[2])}, top ${points(b[3])}`;

// What a screen reader says for the page view.
function describeFrame(f) {
  let text = `Page ${f.page} of ${f.pages}, ${points(f.pageWidth)} by ${points(f.pageHeight)} points, ` +
    `zoom ${Math.round(f.zoom)}%. Crop box: ${boxText(f.cropBox)}.`;
  if (f.mediaBox && f.mediaBox.join() !== f.cropBox.join()) text += ` Media box: ${boxText(f.mediaBox)}.`;
  text += f.region ? ` Region: ${boxText(f.region)}.` : ' No region.';
  if (f.band) text += ' Dragging.';
  return text + ' Shift+arrows move the keyboard pointer, Space holds the button, Enter clicks.';
}

function applyFrame(f) {
  viewer.frame = f;
  $('empty-state').hidden = !!f;
  canvas.hidden = !f;
  for (const id of ['nav-first', 'nav-prev', 'page-field', 'nav-next', 'nav-last', 'zoom-out', 'zoom-field', 'zoom-in',
    'zoom-fit', 'zoom-page']) $(id).disabled = !f;
  if (!f) {
    canvas.width = 1;
    canvas.height = 1;
    $('page-field').value = '';
    $('page-count').textContent = '';
    $('zoom-field').value = '';
    canvas.setAttribute('aria-label', 'No document open');
    for (const listen of viewer.frameListeners) listen(null);
    if (document.activeElement === canvas || document.activeElement === document.body) $('empty-state').focus();
    return;
  }
  if (document.activeElement !== $('page-field')) $('page-field').value = String(f.page);
  if (document.activeElement !== $('zoom-field')) $('zoom-field').value = String(Math.round(f.zoom));
  $('page-count').textContent = 'of ' + f.pages;
  const label = describeFrame(f);
  if (canvas.getAttribute('aria-label') !== label) canvas.setAttribute('aria-label', label);
  drawFrame();
  for (const listen of viewer.frameListeners) listen(f);
}

// Keys on the page view: pages, scrolling, and a keyboard pointer that does
// what the mouse does (Shift+arrows move it, Space holds and lets go of the
// button, Enter clicks, Escape lets go where the press was).
const keyPointer = {x: 0, y: 0, shown: false, down: null};

function pointerFields(kind) {
  return {kind, x: String(keyPointer.x), y: String(keyPointer.y), mods: '0'};
}

function moveKeyPointer(dx, dy) {
  const f = viewer.frame;
  if (!keyPointer.shown) {
    keyPointer.shown = true;
    keyPointer.x = f.margin;
    keyPointer.y = f.margin;
  }
  keyPointer.x = Math.min(Math.max(0, keyPointer.x + dx), f.width - 1);
  keyPointer.y = Math.min(Math.max(0, keyPointer.y + dy), f.height - 1);
  // Keep it in sight.
  const v = $('viewport');
  if (keyPointer.x < v.scrollLeft + 10 || keyPointer.x > v.scrollLeft + v.clientWidth - 10) v.scrollLeft = keyPointer.x - v.clientWidth / 2;
  if (keyPointer.y < v.scrollTop + 10 || keyPointer.y > v.scrollTop + v.clientHeight - 10) v.scrollTop = keyPointer.y - v.clientHeight / 2;
  send(pointerFields(keyPointer.down ? 'move' : 'hover'));
  drawFrame();
}

canvas.addEventListener('keydown', (e) => {
  const f = viewer.frame;
  if (!f || e.altKey) return;
  const v = $('viewport');
  const arrow = {ArrowDown: [0, 1], ArrowUp: [0, -1], ArrowRight: [1, 0], ArrowLeft: [-1, 0]}[e.key];
  if (arrow && e.shiftKey) {
    e.preventDefault();
    const step = e.ctrlKey ? 1 : 10;
    return moveKeyPointer(arrow[0] * step, arrow[1] * step);
  }
  if (e.ctrlKey) return;
  if (arrow) {
    e.preventDefault();
    const far = 40;
    v.scrollBy(arrow[0] * far, arrow[1] * far);
    return;
  }
  if (keyPointer.shown && (e.key === ' ' || e.key === 'Enter')) {
    e.preventDefault();
    if (keyPointer.down) {
      keyPointer.down = null;
      send(pointerFields('release'));
    } else if (e.key === ' ') {
      keyPointer.down = {x: keyPointer.x, y: keyPointer.y};
      send(pointerFields('press'));
    } else {
      send(pointerFields('press'));
      send(pointerFields('release'));
    }
    return drawFrame();
  }
  if (e.key === 'Escape' && keyPointer.down) {
    e.preventDefault();
    const at = keyPointer.down;
    keyPointer.down = null;
    send({kind: 'release', x: String(at.x), y: String(at.y), mods: '0'});
    return;
  }
  const page = {PageDown: f.page + 1, PageUp: f.page - 1, Home: 1, End: f.pages}[e.key];
  if (page !== undefined) {
    e.preventDefault();
    gotoPage(page);
    if (e.key === 'PageDown' || e.key === 'Home') v.scrollTop = 0;
  }
});
canvas.addEventListener('blur', () => {
  if (keyPointer.down) {
    send(pointerFields('release'));
    keyPointer.down = null;
  }
  drawFrame();
});
canvas.addEventListener('focus', () => drawFrame());

// The keyboard pointer: a cross, drawn while the page view has the focus.
function drawKeyPointer() {
  if (!keyPointer.shown || document.activeElement !== canvas) return;
  const {x, y} = keyPointer;
  ctx.fillStyle = keyPointer.down ? '#c00000' : '#1a5fb4';
  ctx.fillRect(x - 8, y, 17, 1);
  ctx.fillRect(x, y - 8, 1, 17);
}

// ---- Mouse on the page view, in its device pixels.

let pressed = false;
let panning = null;
let lastPointer = null;

function modifiers(e) { return (e.shiftKey ? MOD_SHIFT : 0) | (e.ctrlKey ? MOD_CONTROL : 0); }

function pointFields(kind, e) {
  return {kind, x: String(Math.floor(e.offsetX)), y: String(Math.floor(e.offsetY)), mods: String(modifiers(e))};
}

function handTool() { return viewer.state && viewer.state.chrome.tool === 'Hand'; }

canvas.addEventListener('pointerdown', (e) => {
  if (e.button !== 0) return;
  canvas.focus({preventScroll: true});
  canvas.setPointerCapture(e.pointerId);
  if (handTool()) {
    const v = $('viewport');
    panning = {x: e.clientX, y: e.clientY, left: v.scrollLeft, top: v.scrollTop};
    return;
  }
  pressed = true;
  lastPointer = e;
  send(pointFields('press', e));
});

canvas.addEventListener('pointermove', (e) => {
  if (panning) {
    const v = $('viewport');
    v.scrollLeft = panning.left - (e.clientX - panning.x);
    v.scrollTop = panning.top - (e.clientY - panning.y);
    return;
  }
  if (pressed) lastPointer = e;
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

// A drag that reaches the view's edge scrolls it, and the band follows.
const EDGE = 24;
setInterval(() => {
  if (!pressed || !lastPointer) return;
  const v = $('viewport');
  const r = v.getBoundingClientRect();
  const x = lastPointer.clientX, y = lastPointer.clientY;
  const dx = x > r.left + v.clientWidth - EDGE ? 20 : x < r.left + EDGE ? -20 : 0;
  const dy = y > r.top + v.clientHeight - EDGE ? 20 : y < r.top + EDGE ? -20 : 0;
  if (dx === 0 && dy === 0) return;
  const before = [v.scrollLeft, v.scrollTop];
  v.scrollBy(dx, dy);
  if (v.scrollLeft === before[0] && v.scrollTop === before[1]) return;
  const c = canvas.getBoundingClientRect();
  send({kind: 'move', x: String(Math.floor(x - c.left)), y: String(Math.floor(y - c.top)),
    mods: String(modifiers(lastPointer))});
}, 50);

function applyCursor(live) {
  if (handTool()) { canvas.style.cursor = panning ? 'grabbing' : 'grab'; return; }
  const c = live.cursor;
  canvas.style.cursor = c ? `url("${c.url}") ${c.x} ${c.y}, auto` : 'default';
}

// ---- Modals: the host's and the plug-in's questions, the dialog, progress,
// Save As. While one is up it holds the focus, and the layer every click.
// Keys act on what has the focus: Enter and Space press the focused button,
// Enter elsewhere the modal's default, Escape its Cancel.

let modalShown = '';
let modalKeys = null;      // {enter, escape} of the modal shown
let focusBeforeModal = null;

const modalUp = () => !$('modal-layer').hidden;

// Puts `box` up as the modal, keeping the focus on the same control when it
// is the same modal drawn again, else on `initial`.
function presentModal(box, keys, initial) {
  const l = $('modal-layer');
  const wasUp = modalUp();
  if (!wasUp) {
    focusBeforeModal = document.activeElement;
    if (viewer.openMenu) closeMenus();
  }
  const a = document.activeElement;
  const key = wasUp && a && l.contains(a) ? a.dataset.focusKey : undefined;
  l.textContent = '';
  l.hidden = false;
  l.append(box);
  modalKeys = keys;
  const again = key !== undefined && l.querySelector(`[data-focus-key="${CSS.escape(key)}"]`);
  const target = again || initial || focusables(box)[0] || box;
  target.focus();
}

function hideModal() {
  const l = $('modal-layer');
  const had = l.contains(document.activeElement);
  l.hidden = true;
  l.textContent = '';
  modalShown = '';
  modalKeys = null;
  const back = focusBeforeModal;
  focusBeforeModal = null;
  if (had || document.activeElement === document.body) {
    if (back && back.isConnected && back.getClientRects().length > 0 && !back.disabled) back.focus(); else focusHome();
  }
}

let modalIds = 0;
function alertBox(text, role) {
  const box = document.createElement('div');
  box.className = 'alert';
  box.setAttribute('role', role || 'alertdialog');
  box.setAttribute('aria-modal', 'true');
  box.tabIndex = -1;
  const t = document.createElement('div');
  t.className = 'text';
  t.id = 'modal-text-' + (++modalIds);
  t.textContent = text;
  box.setAttribute('aria-labelledby', t.id);
  box.append(t);
  return box;
}

function buttonRow(box) {
  const row = document.createElement('div');
  row.className = 'buttons';
  box.append(row);
  return row;
}

function textButton(text, onClick, key) {
  const b = document.createElement('button');
  setAccessText(b, text);
  b.dataset.focusKey = key || 'button:' + plain(text);
  b.addEventListener('click', onClick);
  return b;
}

// A panel's own button (Set, Apply): plain text, its tooltip, appended to `panel`.
function panelButton(panel, id, text, title, onClick) {
  const b = document.createElement('button');
  b.id = id;
  b.textContent = text;
  b.title = title;
  b.addEventListener('click', onClick);
  panel.append(b);
  return b;
}

function hostKey(modal, key) {
  return () => send({kind: 'dialog-key', modal: String(modal.serial), key});
}

function showQuestion(modal) {
  const box = alertBox(modal.text);
  const row = buttonRow(box);
  modal.buttons.forEach((text, i) => {
    row.append(textButton(text, () => send({kind: 'answer', modal: String(modal.serial), number: String(i + 1)}),
      'answer:' + i));
  });
  presentModal(box, {enter: hostKey(modal, 'enter'), escape: hostKey(modal, 'escape')}, row.firstChild);
}

function showDialog(modal) {
  const d = modal.dialog;
  const win = document.createElement('div');
  win.className = 'window';
  win.setAttribute('role', 'dialog');
  win.setAttribute('aria-modal', 'true');
  win.style.width = d.width + 'px';
  win.style.height = d.height + 'px';
  const caption = document.createElement('div');
  caption.className = 'caption';
  caption.id = 'dialog-caption-' + modal.serial;
  caption.textContent = d.title;
  win.setAttribute('aria-labelledby', caption.id);
  const close = document.createElement('button');
  close.className = 'close-box';
  close.title = 'Close';
  close.setAttribute('aria-label', 'Close');
  close.tabIndex = -1;  // Escape does the same from anywhere in the dialog
  close.textContent = '\u00D7';
  close.addEventListener('click', hostKey(modal, 'close'));
  caption.append(close);
  win.append(caption);
  const click = (id) => send({kind: 'dialog-click', modal: String(modal.serial), number: String(id)});
  // Radio buttons in a row of the template are one group: the arrows move
  // its choice, Tab leaves it.
  let group = null;
  let checked = null;
  for (const c of d.controls) {
    let el;
    if (c.radio) {
      if (!group) {
        group = document.createElement('div');
        group.className = 'radio-group';
        group.setAttribute('role', 'radiogroup');
        group.setAttribute('aria-label', d.title);
        win.append(group);
      }
      el = document.createElement('label');
      const input = document.createElement('input');
      input.type = 'radio';
      input.name = 'dialog-' + modal.serial;
      input.checked = c.checked;
      input.dataset.focusKey = 'control:' + c.id;
      input.addEventListener('change', () => { if (input.checked) click(c.id); });
      if (c.checked) checked = input;
      const text = document.createElement('span');
      setAccessText(text, c.text);
      el.append(input, text);
    } else if (c.class === 'BUTTON') {
      el = document.createElement('button');
      setAccessText(el, c.text);
      el.dataset.focusKey = 'control:' + c.id;
      if (c.default) el.classList.add('default');
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
    (c.radio ? group : win).append(el);
  }
  presentModal(win, {enter: hostKey(modal, 'enter'), escape: hostKey(modal, 'escape')}, checked);
}

const progressText = (p) => 'Working\u2026 ' + p.value + (p.duration ? ' of ' + p.duration : '');

function showProgress(p) {
  const box = alertBox(progressText(p), 'dialog');
  box.id = 'progress-box';
  const bar = document.createElement('progress');
  bar.setAttribute('aria-label', 'Progress');
  box.append(bar);
  const stop = textButton('Stop', () => send({kind: 'stop'}));
  buttonRow(box).append(stop);
  presentModal(box, {escape: () => send({kind: 'stop'})}, stop);
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
  const box = alertBox('Save a copy beside the opened file, as:', 'dialog');
  const field = document.createElement('input');
  field.type = 'text';
  field.id = 'save-as-name';
  field.setAttribute('aria-labelledby', box.getAttribute('aria-labelledby'));
  const chrome = viewer.state && viewer.state.chrome;
  const active = chrome && chrome.windows[chrome.activeIndex];
  field.value = active ? active.name : '';
  box.append(field);
  const row = buttonRow(box);
  const done = (ok) => {
    hideModal();
    if (ok) send({kind: 'save-as', name: field.value});
  };
  row.append(textButton('OK', () => done(true)), textButton('Cancel', () => done(false)));
  presentModal(box, {enter: () => done(true), escape: () => done(false)}, field);
  modalShown = 'save-as';
  field.select();
}

function modalKey(e) {
  const l = $('modal-layer');
  if (e.key === 'Tab') {
    // The focus stays inside the modal.
    const inside = focusables(l);
    if (inside.length === 0) return e.preventDefault();
    const i = inside.indexOf(document.activeElement);
    const next = e.shiftKey ? (i <= 0 ? inside.length - 1 : i - 1) : (i < 0 || i === inside.length - 1 ? 0 : i + 1);
    e.preventDefault();
    inside[next].focus();
    return;
  }
  if (!modalKeys) return;
  if (e.key === 'Escape') {
    e.preventDefault();
    if (modalKeys.escape) modalKeys.escape();
    return;
  }
  // Enter and Space on a button are the button's own: the browser presses it.
  if (e.key === 'Enter' && !(e.target.matches && e.target.matches('button'))) {
    e.preventDefault();
    if (modalKeys.enter) modalKeys.enter();
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
  setConnection('');
  const box = alertBox('The viewer has ended. You can close this page.', 'dialog');
  box.classList.add('ended');
  presentModal(box, null, box);
}

// ---- State from the host.

let chromeShown = null;
function applyState(s) {
  if (!s) return;
  viewer.state = s;
  const chrome = s.chrome;
  // A state that changed only the page list leaves the menus, buttons and
  // tabs as they are (an element under the mouse is not replaced).
  const chromeText = JSON.stringify(chrome);
  if (chromeText !== chromeShown) {
    chromeShown = chromeText;
    renderMenubar();
    renderToolbar(chrome);
    renderTabs(chrome);
  }
  applyCursor(s.live);
  renderMessage();
  renderModal(s.live);
  if (s.live.quit) showEnded();
  for (const listen of viewer.stateListeners) listen(s);
}

// ---- The event stream: a page that lost it says so and gets it back.

function setConnection(text) {
  if ($('connection').textContent !== text) $('connection').textContent = text;
}

let events = null;
let retryTimer = null;

function connect() {
  retryTimer = null;
  if (viewer.ended) return;
  events = new EventSource('events');
  events.addEventListener('open', () => {
    viewer.connected = true;
    viewer.connects += 1;
    setConnection('');
  });
  // The stream starts with the host's state as it is: nothing else to fetch.
  events.addEventListener('state', (e) => applyState(JSON.parse(e.data)));
  events.addEventListener('frame', (e) => applyFrame(JSON.parse(e.data)));
  events.addEventListener('bye', () => { events.close(); showEnded(); });
  events.addEventListener('error', () => {
    if (viewer.ended) return;
    viewer.connected = false;
    setConnection('Reconnecting to vellora view\u2026');
    // The browser retries a dropped stream itself, but not a refused one.
    if (events.readyState === EventSource.CLOSED && !retryTimer) retryTimer = setTimeout(connect, 1000);
  });
}

async function start() {
  // A page (re)loaded holds no mouse button: whatever an earlier page was
  // dragging is over.
  send({kind: 'hello'});
  try {
    const res = await fetch('state');
    const doc = await res.json();
    applyState(doc.state);
    applyFrame(doc.frame);
  } catch (e) {
    showMessage('The viewer does not answer: is vellora view still running?');
  }
  connect();
}

start();
