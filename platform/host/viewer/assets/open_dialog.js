// SPDX-License-Identifier: AGPL-3.0-or-later
// File > Open: a chooser of the folders and PDF files under the viewer's
// root, as the host lists them (files?dir=...); the host opens the file
// chosen in a new window, or says in the status line why it cannot. With no
// document open the page starts on it. A modal like the others (viewer.js):
// it holds the focus, Enter opens what the field names, Escape cancels.
// Loaded after viewer.js.
'use strict';

let openShownOnce = false;

function showOpen() {
  let dir = '';
  const box = alertBox('Open a PDF file', 'dialog');
  box.classList.add('open-dialog');
  const where = document.createElement('div');
  where.id = 'open-where';
  const list = document.createElement('ul');
  list.id = 'open-list';
  list.setAttribute('aria-label', 'Folders and PDF files');
  const problem = document.createElement('div');
  problem.id = 'open-problem';
  problem.setAttribute('role', 'alert');
  const label = document.createElement('label');
  const field = document.createElement('input');
  field.type = 'text';
  field.id = 'open-path';
  field.autocomplete = 'off';
  label.append('File (relative to the root) ', field);
  box.append(where, list, problem, label);
  const row = buttonRow(box);

  const done = (path) => {
    hideModal();
    if (path) send({kind: 'open', path});
  };
  const join = (name) => (dir ? dir + '/' : '') + name;
  row.append(textButton('Open', () => done(field.value.trim())), textButton('Cancel', () => done(null)));

  function entry(text, kind, action) {
    const item = document.createElement('li');
    const b = document.createElement('button');
    b.className = 'open-entry ' + kind;
    b.textContent = text;
    b.title = text;
    b.dataset.focusKey = 'open:' + text;
    b.addEventListener('click', action);
    item.append(b);
    list.append(item);
  }

  async function show(next) {
    problem.textContent = '';
    let answer;
    try {
      const res = await fetch('files?dir=' + encodeURIComponent(next));
      answer = await res.json();
    } catch (e) {
      problem.textContent = 'The viewer does not answer.';
      return;
    }
    if (answer.error) {
      problem.textContent = answer.error;
      return;
    }
    // The entry that had the focus is about to go: the first of the new
    // folder takes it, so the keyboard stays in the chooser.
    const hadFocus = list.contains(document.activeElement);
    dir = answer.dir;
    where.textContent = 'In ' + answer.root + (dir ? '/' + dir : '') + ':';
    list.textContent = '';
    // Up is worked out here: the host refuses any ".." it is sent.
    if (dir) entry('\u2191 Up', 'dir', () => show(dir.split('/').slice(0, -1).join('/')));
    for (const e of answer.entries) {
      if (e.kind === 'dir') entry(e.name + '/', 'dir', () => show(join(e.name)));
      else entry(e.name, 'pdf', () => done(join(e.name)));
    }
    if (answer.entries.length === 0) problem.textContent = 'No folders or PDF files here.';
    if (hadFocus || document.activeElement === document.body) (list.querySelector('button') || field).focus();
  }

  presentModal(box, {enter: () => done(field.value.trim()), escape: () => done(null)}, field);
  modalShown = 'open';
  show('');
}

// With no document open the page starts on the chooser.
viewer.stateListeners.push((s) => {
  if (openShownOnce || !s.chrome || s.chrome.windows.length > 0 || s.live.modal) return;
  openShownOnce = true;
  showOpen();
});
