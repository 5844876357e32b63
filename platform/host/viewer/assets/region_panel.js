// SPDX-License-Identifier: AGPL-3.0-or-later
// The region panel: the region under the mouse while a drag is under way
// and the last region drawn, in page units (left, bottom, right, top,
// points); Set drags out the four numbers typed with the active tool, in
// the host, as the mouse would. Loaded after viewer.js.
'use strict';

(function regionPanel() {
  const panel = document.getElementById('region-panel');
  if (!panel) return;
  const SIDES = [['left', 'Left'], ['bottom', 'Bottom'], ['right', 'Right'], ['top', 'Top']];
  const fields = {};

  const title = document.createElement('span');
  title.className = 'region-title';
  title.textContent = 'Region (pt):';
  panel.append(title);
  for (const [name, text] of SIDES) {
    const label = document.createElement('label');
    const field = document.createElement('input');
    field.type = 'text';
    field.id = 'region-' + name;
    field.inputMode = 'decimal';
    field.autocomplete = 'off';
    field.size = 7;
    label.append(text + ' ', field);
    panel.append(label);
    fields[name] = field;
    // Plain keys type here; the page's own keys (F10, Alt, Ctrl+...) still
    // reach viewer.js, as from its other fields.
    field.addEventListener('keydown', (e) => {
      if (e.key === 'Enter') setRegion();
    });
  }
  panelButton(panel, 'region-set', 'Set', 'Drag out this region with the active tool', setRegion);

  const live = document.createElement('span');
  live.id = 'region-live';
  live.setAttribute('aria-live', 'polite');
  const precision = document.createElement('span');
  precision.id = 'region-precision';
  panel.append(live, precision);

  const number = (v) => String(Math.round(v * 100) / 100);
  const text = (r) => r.map(number).join(', ');
  let lastRegion = null;

  function setRegion() {
    const values = SIDES.map(([name]) => fields[name].value.trim());
    send({kind: 'set-region', region: values.join(' ')});
  }

  function show(f) {
    for (const control of panel.querySelectorAll('input, button')) control.disabled = !f;
    if (!f) {
      live.textContent = '';
      precision.textContent = '';
      return;
    }
    if (f.bandPage) live.textContent = 'Dragging: ' + text(f.bandPage);
    else if (f.region) live.textContent = 'Region: ' + text(f.region);
    else live.textContent = 'No region';
    // A number typed finer than a device pixel lands on the nearest one.
    precision.textContent = 'Precision: ' + number(f.pixel) + ' pt (one device pixel at ' + Math.round(f.zoom) + '%)';
    const key = f.region ? f.region.join(',') : null;
    if (key && key !== lastRegion && !panel.contains(document.activeElement)) {
      SIDES.forEach(([name], i) => { fields[name].value = number(f.region[i]); });
    }
    lastRegion = key;
  }

  viewer.frameListeners.push(show);
  show(viewer.frame);
})();
