// SPDX-License-Identifier: AGPL-3.0-or-later
// The box settings: the margin the host grows every bounding box by (one
// number, or four: left, bottom, right, top, in points), the ink threshold
// (how far from white a pixel of an image must be to count, percent) and
// whether dark bands along an image's edges are left out. Apply sets them
// in the host for the open documents and those opened later; the plug-in's
// bounding-box commands use them from then on. Loaded after viewer.js.
'use strict';

(function boxSettings() {
  const panel = document.getElementById('box-settings');
  if (!panel) return;

  const title = document.createElement('span');
  title.className = 'region-title';
  title.textContent = 'Bounding boxes:';
  panel.append(title);

  function field(id, text, size, hint) {
    const label = document.createElement('label');
    const input = document.createElement('input');
    input.type = 'text';
    input.id = id;
    input.size = size;
    input.autocomplete = 'off';
    input.title = hint;
    label.append(text + ' ', input);
    panel.append(label);
    input.addEventListener('keydown', (e) => {
      if (e.key === 'Enter') apply();
    });
    return input;
  }
  const margin = field('box-margin', 'Margin (pt)', 12, 'One number, or four: left, bottom, right, top');
  const threshold = field('box-threshold', 'Ink threshold (%)', 4,
                          'How far from white a pixel of an image must be to count as ink');
  const edgesLabel = document.createElement('label');
  const edges = document.createElement('input');
  edges.type = 'checkbox';
  edges.id = 'box-dark-edges';
  edgesLabel.append(edges, ' Ignore dark edges');
  panel.append(edgesLabel);
  panelButton(panel, 'box-apply', 'Apply', 'Use these settings for the bounding-box commands', apply);

  function apply() {
    send({kind: 'box-settings', margin: margin.value.trim() || '0',
          threshold: threshold.value.trim() || '25', 'dark-edges': edges.checked ? '1' : '0'});
  }

  // The host's settings, shown until the person types over them.
  const number = (v) => String(Math.round(v * 1000) / 1000);
  let shown = null;
  viewer.stateListeners.push((s) => {
    const b = s && s.chrome && s.chrome.boxSettings;
    if (!b) return;
    const same = b.margin.every((v) => v === b.margin[0]);
    const values = [same ? number(b.margin[0]) : b.margin.map(number).join(','), number(b.threshold),
                    b.ignoreDarkEdges];
    const key = values.join('|');
    if (key === shown || panel.contains(document.activeElement)) return;
    [margin.value, threshold.value, edges.checked] = values;
    shown = key;
  });
})();
