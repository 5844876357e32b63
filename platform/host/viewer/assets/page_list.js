// SPDX-License-Identifier: AGPL-3.0-or-later
// The pages beside the page view: every page in small, in order, as the
// host draws it (its crop box, the tool's region carried to it, the red
// media box); a click goes to the page; the page shown is marked; a badge on
// each page with marks outside its crop box, and their count in the status
// bar. Only the pages in sight are asked for; the host draws those around
// them ahead. Also the overlay's choice of pages and its progress, while
// View > Overlay is on. Loaded after viewer.js.
'use strict';

(function pageList() {
  const side = document.getElementById('side-panels');
  if (!side) return;
  const ITEM_HEIGHT = 212;  // CSS: .page-item

  const section = document.createElement('section');
  section.id = 'pages-panel';
  section.setAttribute('aria-labelledby', 'pages-heading');
  const heading = document.createElement('h2');
  heading.id = 'pages-heading';
  heading.textContent = 'Pages';
  const list = document.createElement('ol');
  list.id = 'page-list';
  section.append(heading, list);
  side.append(section);

  const marksStatus = document.createElement('div');
  marksStatus.id = 'marks-status';
  marksStatus.setAttribute('role', 'status');
  document.getElementById('statusbar').insertBefore(marksStatus, document.getElementById('connection'));

  // The overlay's pages, in the navigation row while the overlay is on.
  const overlayGroup = document.createElement('span');
  overlayGroup.id = 'overlay-controls';
  overlayGroup.hidden = true;
  const overlayLabel = document.createElement('label');
  overlayLabel.htmlFor = 'overlay-set';
  overlayLabel.textContent = 'Overlay of';
  const overlaySet = document.createElement('select');
  overlaySet.id = 'overlay-set';
  for (const [value, text] of [['same', 'Pages of this size'], ['all', 'All pages'], ['odd', 'Odd pages'],
    ['even', 'Even pages']]) {
    const option = document.createElement('option');
    option.value = value;
    option.textContent = text;
    overlaySet.append(option);
  }
  const overlayProgress = document.createElement('span');
  overlayProgress.id = 'overlay-progress';
  overlayGroup.append(overlayLabel, overlaySet, overlayProgress);
  document.getElementById('nav').append(overlayGroup);
  overlaySet.addEventListener('change', () => send({kind: 'overlay-set', set: overlaySet.value}));

  let items = [];
  let shownWindow = null;
  let current = 0;
  let badges = new Set();
  let asked = '';

  function build(count) {
    list.replaceChildren();
    items = [];
    for (let page = 1; page <= count; ++page) {
      const item = document.createElement('li');
      item.className = 'page-item';
      const button = document.createElement('button');
      button.type = 'button';
      button.className = 'page-thumb';
      button.dataset.page = String(page);
      button.setAttribute('aria-label', 'Page ' + page);
      // One tab stop for the whole list: the page shown; arrows move on.
      button.tabIndex = -1;
      const picture = document.createElement('img');
      picture.alt = '';
      const number = document.createElement('span');
      number.className = 'page-number';
      number.textContent = String(page);
      const badge = document.createElement('span');
      badge.className = 'marks-badge';
      badge.textContent = '!';
      badge.title = 'Marks outside the crop box';
      badge.hidden = true;
      button.append(picture, number, badge);
      button.addEventListener('click', () => gotoPage(page));
      item.append(button);
      list.append(item);
      items.push({button, picture, badge});
    }
    badges = new Set();
    current = 0;
    asked = '';
  }

  // The pages in sight in the list, from 1.
  function inSight() {
    const top = list.offsetTop;
    const first = Math.max(1, Math.floor((side.scrollTop - top) / ITEM_HEIGHT) + 1);
    const last = Math.min(items.length, Math.ceil((side.scrollTop - top + side.clientHeight) / ITEM_HEIGHT));
    return [first, Math.max(first - 1, Math.min(last, first + 255))];
  }

  function ask() {
    if (items.length === 0 || side.hidden) return;
    const [first, last] = inSight();
    const key = first + '-' + last;
    if (key === asked) return;
    asked = key;
    send({kind: 'thumbnails', first, last});
  }

  list.addEventListener('keydown', (e) => {
    const at = Number(document.activeElement && document.activeElement.dataset.page);
    if (!at || e.altKey || e.ctrlKey || e.metaKey) return;
    const to = {ArrowDown: at + 1, ArrowUp: at - 1, Home: 1, End: items.length,
      PageDown: at + 4, PageUp: at - 4}[e.key];
    if (to === undefined) return;
    e.preventDefault();
    e.stopPropagation();
    const item = items[Math.min(items.length, Math.max(1, to)) - 1];
    for (const other of items) other.button.tabIndex = -1;
    item.button.tabIndex = 0;
    item.button.focus();
  });

  let scrollTimer = null;
  side.addEventListener('scroll', () => {
    if (scrollTimer === null) scrollTimer = setTimeout(() => { scrollTimer = null; ask(); }, 40);
  });
  window.addEventListener('resize', ask);

  function describe(page, hasBadge) {
    return 'Page ' + page + (hasBadge ? ', marks outside the crop box' : '');
  }

  viewer.stateListeners.push((s) => {
    const pages = s.pages;
    if (!pages) {
      side.hidden = true;
      marksStatus.textContent = '';
      shownWindow = null;
      return;
    }
    const windowName = s.chrome.active;
    if (side.hidden || windowName !== shownWindow || items.length !== pages.count) {
      side.hidden = false;
      shownWindow = windowName;
      build(pages.count);
    }
    for (const [page, url, width, height] of pages.thumbs) {
      const item = items[page - 1];
      if (!item || item.picture.getAttribute('src') === url) continue;
      item.picture.width = width;
      item.picture.height = height;
      item.picture.src = url;
    }
    const now = new Set(pages.badges);
    for (const page of new Set([...badges, ...now])) {
      const item = items[page - 1];
      if (!item) continue;
      item.badge.hidden = !now.has(page);
      item.button.setAttribute('aria-label', describe(page, now.has(page)));
    }
    badges = now;
    if (pages.current !== current) {
      const old = items[current - 1];
      if (old) old.button.removeAttribute('aria-current');
      current = pages.current;
      const item = items[current - 1];
      if (item) {
        item.button.setAttribute('aria-current', 'page');
        if (!list.contains(document.activeElement)) {
          for (const other of items) other.button.tabIndex = -1;
          item.button.tabIndex = 0;
        }
        // The page shown comes into sight in the list, which asks for it.
        const top = list.offsetTop + (current - 1) * ITEM_HEIGHT;
        if (top < side.scrollTop || top + ITEM_HEIGHT > side.scrollTop + side.clientHeight)
          side.scrollTop = top - Math.max(0, (side.clientHeight - ITEM_HEIGHT) / 2);
      }
    }
    if (overlaySet.value !== pages.overlaySet) overlaySet.value = pages.overlaySet;
    const n = badges.size;
    let text = n === 0 ? 'No page has marks outside its crop box'
      : n === 1 ? '1 page has marks outside its crop box'
        : n.toLocaleString('en') + ' pages have marks outside their crop box';
    if (pages.checked < pages.count)
      text += ' (' + pages.checked.toLocaleString('en') + ' of ' + pages.count.toLocaleString('en') + ' pages checked)';
    if (marksStatus.textContent !== text) marksStatus.textContent = text;
    ask();
  });

  viewer.frameListeners.push((f) => {
    const overlay = f && f.overlay;
    overlayGroup.hidden = !overlay;
    if (!overlay) return;
    const text = overlay.done < overlay.total
      ? overlay.done.toLocaleString('en') + ' of ' + overlay.total.toLocaleString('en') + ' pages'
      : overlay.total.toLocaleString('en') + ' pages';
    if (overlayProgress.textContent !== text) overlayProgress.textContent = text;
  });
})();
