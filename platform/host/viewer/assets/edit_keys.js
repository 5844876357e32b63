// SPDX-License-Identifier: AGPL-3.0-or-later
// Ctrl+Y, Edit > Redo's second key as on Windows; the item itself shows
// Ctrl+Shift+Z, which the menus' own shortcut handling answers.
'use strict';

document.addEventListener('keydown', (e) => {
  if (!e.ctrlKey || e.shiftKey || e.altKey || e.metaKey || e.code !== 'KeyY') return;
  if (!viewer.state || viewer.state.live.modal || !$('modal-layer').hidden) return;
  e.preventDefault();
  send({kind: 'menu', name: 'Redo'});
});
