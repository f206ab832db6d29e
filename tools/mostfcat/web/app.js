// The page of "mostfcat serve": the catalogs' outline with a filter, the
// payload layout of a selected operation, the encoder and the decoder.
// Catalog texts and decoded values are always set as text (textContent),
// never parsed as markup.
'use strict';

(function () {
  const $ = (id) => document.getElementById(id);

  function el(tag, cls, text) {
    const e = document.createElement(tag);
    if (cls) e.className = cls;
    if (text !== undefined && text !== null) e.textContent = String(text);
    return e;
  }
  function hex(v, width) {
    return Number(v).toString(16).toUpperCase().padStart(width, '0');
  }
  function plural(n, word) {
    return n + ' ' + word + (n === 1 ? '' : 's');
  }

  async function api(path, body) {
    const options = body === undefined ? {} : {
      method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify(body),
    };
    let res;
    try {
      res = await fetch(path, options);
    } catch (e) {
      return { ok: false, status: 0, data: { error: 'the server cannot be reached (' + e.message + ')' } };
    }
    let data;
    try {
      data = await res.json();
    } catch (e) {
      data = { error: 'the server answered ' + res.status + ' without JSON' };
    }
    return { ok: res.ok, status: res.status, data: data };
  }

  // ---------------------------------------------------------------- outline
  // One entry per function and instance, for the filter.
  const entries = [];
  let selectedRow = null;

  // A physical value with as many decimals as the exponent gives it, as
  // "mostfcat list" shows it (-20.0 for raw -200 and exponent -1).
  function physical(p, key) {
    if (p[key] === undefined) return null;
    const decimals = p.exponent < 0 ? Math.min(-p.exponent, 20) : 0;
    return Number(p[key]).toFixed(decimals);
  }

  // What "mostfcat list" shows for a parameter, in one line.
  function paramSummary(p) {
    const parts = [p.type];
    if (p.bytes) parts.push(plural(p.bytes, 'byte') + (p.signed === undefined ? '' : p.signed ? ' signed' : ' unsigned'));
    if (p.bit_offset !== undefined && p.bit_width !== undefined) {
      parts.push('bits ' + p.bit_offset + '..' + (p.bit_offset + p.bit_width - 1));
    } else if (p.bit_offset !== undefined) {
      parts.push('at bit ' + p.bit_offset);
    }
    if (p.type === 'number') {
      const unit = p.unit ? ' ' + p.unit : '';
      if (p.min !== undefined) parts.push('range ' + physical(p, 'min') + '..' + physical(p, 'max') + unit);
      else if (unit) parts.push('unit' + unit);
      if (p.step !== undefined) parts.push('step ' + physical(p, 'step'));
      if (p.exponent) {
        let raw = 'raw';
        if (p.raw_min !== undefined) raw += ' ' + p.raw_min + '..' + p.raw_max;
        if (p.raw_step !== undefined) raw += ', step ' + p.raw_step;
        parts[parts.length - 1] += ' (' + raw + ', exponent ' + p.exponent + ')';
      }
      if (p.hex) parts.push('hex');
    }
    if (p.type === 'string') {
      if (p.max_size !== undefined) parts.push('at most ' + plural(p.max_size, 'byte'));
      if (p.encoding_byte) parts.push('with encoding byte');
    }
    if (p.length !== undefined) parts.push(p.length ? 'length ' + p.length : 'rest of the payload');
    if (p.max_length !== undefined) parts.push('at most ' + plural(p.max_length, 'byte'));
    if (p.max_elements !== undefined) parts.push(p.max_elements === null ? 'open length' : 'at most ' + p.max_elements + ' elements');
    if (p.fields !== undefined) parts.push(plural(p.fields, 'field'));
    if (p.selector) parts.push('cases selected by ' + p.selector);
    if (p.indexed_by) parts.push('indexed by ' + p.indexed_by);
    if (p.list_size) parts.push('list size ' + p.list_size);
    if (p.bit_length !== undefined) parts.push(p.bit_length + ' bits from bit ' + p.bit_position + (p.big_endian ? ', big-endian' : ''));
    return parts.join(', ');
  }

  function enumText(v) {
    const code = v.code_min === v.code_max ? '0x' + hex(v.code_min, 2)
      : '0x' + hex(v.code_min, 2) + '..0x' + hex(v.code_max, 2);
    return code + '=' + v.name;
  }

  function renderParams(list, into) {
    const ul = el('ul', 'params');
    for (const p of list) {
      const li = el('li', 'param');
      const line = el('div', 'param-line');
      const pos = p.repeat_index ? '[' + p.position + ', repeated x' + p.repeat_index + '] ' : '[' + p.position + '] ';
      line.append(el('span', 'pos', pos), el('span', 'name', p.name), el('span', 'summary', ': ' + paramSummary(p)));
      if (p.symbol) line.append(el('span', 'symbol', ' {' + p.symbol + '}'));
      li.append(line);
      if (p.values && p.values.length) li.append(el('div', 'values', 'values ' + p.values.map(enumText).join(', ')));
      if (p.bool_fields && p.bool_fields.length) {
        li.append(el('div', 'values', p.bool_fields.map((f) => 'bit ' + f.bit + ' ' + f.name + ': ' + f.set + ' / ' + f.clear).join('; ')));
      }
      if (p.description) li.append(el('div', 'desc', p.description));
      if (p.type === 'stream case') {
        line.querySelector('.summary').textContent = ': case ' + (p.selected_by || 'selector') + '=' +
          (p.from === p.to ? p.from : p.from + '..' + p.to);
      }
      if (p.parameters && p.parameters.length) renderParams(p.parameters, li);
      if (p.cases && p.cases.length) renderParams(p.cases, li);
      ul.append(li);
    }
    into.append(ul);
  }

  function coordinates(fb, inst, fn, op) {
    return hex(fb.id, 2) + '.' + hex(inst.id, 2) + '.' + hex(fn.id, 3) + '.' + hex(op.op_type, 1);
  }

  function functionHead(fn) {
    let text = fn.kind;
    if (fn.class !== undefined) text += ', class ' + fn.class + ' (' + fn.class_name + ')';
    if (fn.class_sub !== undefined) text += ', sub ' + fn.class_sub + ' (' + fn.class_sub_name + ')';
    if (fn.notification) text += ', notifies';
    if (fn.import_errors) text += ', kept with repairs';
    return text;
  }

  // A function's operations and parameters are built when it is first opened.
  function fillFunction(box, fb, inst, fn) {
    if (fn.description) box.append(el('div', 'desc', fn.description));
    for (const op of fn.operations) {
      const opBox = el('div', 'operation');
      const at = coordinates(fb, inst, fn, op);
      const select = el('button', 'op-select', '0x' + hex(op.op_type, 1) + ' ' + op.name);
      select.type = 'button';
      select.dataset.message = at;
      select.title = 'Show the payload layout of ' + at + ' and load it into the encoder';
      select.addEventListener('click', () => selectOperation(select, fb, inst, fn, op));
      opBox.append(select);
      if (!op.parameters.length) opBox.append(el('span', 'hint', ' (no parameters)'));
      if (op.op_type === 15 && op.parameters.length) {
        // The standard Error operation is the same everywhere: folded.
        const fold = el('details', 'error-op');
        fold.append(el('summary', null, 'standard error parameters'));
        renderParams(op.parameters, fold);
        opBox.append(fold);
      } else if (op.parameters.length) {
        renderParams(op.parameters, opBox);
      }
      box.append(opBox);
    }
  }

  function renderOutline(reply) {
    const root = $('outline');
    root.textContent = '';
    const names = [];
    for (const cat of reply.catalogs) {
      names.push(cat.catalog.split('/').pop());
      const catBox = el('div', 'catalog');
      const head = el('div', 'catalog-head', cat.catalog);
      if (cat.release || cat.date) head.append(el('span', 'version', ' ' + [cat.release, cat.date].filter(Boolean).join(' ')));
      catBox.append(head);
      if (cat.description) catBox.append(el('div', 'desc', cat.description));
      for (const fb of cat.fblocks) {
        const fbBox = el('details', 'fblock');
        fbBox.open = true;
        const sum = el('summary');
        sum.append(el('span', 'id', '0x' + hex(fb.id, 2)), el('span', 'name', fb.name));
        if (fb.description) sum.append(el('span', 'desc-inline', fb.description));
        fbBox.append(sum);
        const fbEntries = [];
        for (const inst of fb.instances) {
          const instBox = el('div', 'instance');
          const ihead = el('div', 'instance-head');
          ihead.append(el('span', 'id', 'instance 0x' + hex(inst.id, 2)), el('span', 'name', inst.device_name || ''));
          if (inst.device_description) ihead.append(el('span', 'desc-inline', inst.device_description));
          instBox.append(ihead);
          const instEntries = [];
          for (const fn of inst.functions) {
            const fnBox = el('details', 'function');
            const fsum = el('summary');
            fsum.append(el('span', 'id', '0x' + hex(fn.id, 3)), el('span', 'name', fn.name), el('span', 'kind', functionHead(fn)));
            fnBox.append(fsum);
            let filled = false;
            fnBox.addEventListener('toggle', () => {
              if (fnBox.open && !filled) {
                filled = true;
                fillFunction(fnBox, fb, inst, fn);
              }
            });
            instBox.append(fnBox);
            const entry = {
              box: fnBox, instBox: instBox, fbBox: fbBox,
              words: [fb.name, inst.device_name || '', fn.name].map((s) => s.toLowerCase()),
              ids: [fb.id, fn.id], at: [fb.id, inst.id, fn.id],
            };
            instEntries.push(entry);
            entries.push(entry);
          }
          instBox.entries = instEntries;
          fbBox.append(instBox);
          fbEntries.push(instBox);
        }
        fbBox.instances = fbEntries;
        catBox.append(fbBox);
      }
      root.append(catBox);
    }
    $('catalog-names').textContent = names.join(', ');
    $('catalog-names').title = reply.catalogs.map((c) => c.catalog).join('\n');
    if (!reply.telegrams) {
      for (const id of ['decode-telegrams', 'decode-most150']) {
        $(id).disabled = true;
        $(id).parentElement.title = 'this build of the library cannot decode telegram lines yet';
      }
    }
    applyFilter();
  }

  // A query matches a function by the name of its FBlock, device or itself,
  // by a hexadecimal FBlock or function ID, or by coordinates FB.INST[.FKT].
  function matcher(query) {
    const q = query.trim().toLowerCase();
    if (!q) return null;
    const coords = /^([0-9a-f]{1,2})\.([0-9a-f]{1,2})(?:\.([0-9a-f]{1,3}))?(?:\.[0-9a-f])?$/.exec(q);
    if (coords) {
      const want = coords.slice(1, 4).map((s) => (s === undefined ? null : parseInt(s, 16)));
      return (e) => e.at.every((v, i) => want[i] === null || want[i] === v);
    }
    const hexId = /^(0x)?[0-9a-f]+$/.test(q) ? parseInt(q.replace(/^0x/, ''), 16) : null;
    return (e) => e.words.some((w) => w.includes(q)) || (hexId !== null && e.ids.includes(hexId));
  }

  function applyFilter() {
    const match = matcher($('search').value);
    let shown = 0;
    for (const e of entries) {
      const visible = !match || match(e);
      e.box.hidden = !visible;
      if (visible) shown++;
    }
    for (const fb of document.querySelectorAll('#outline .fblock')) {
      let any = false;
      for (const inst of fb.instances) {
        const instAny = inst.entries.some((e) => !e.box.hidden);
        inst.hidden = !instAny;
        any = any || instAny;
      }
      fb.hidden = !any;
    }
    $('search-count').textContent = match ? plural(shown, 'function') + ' of ' + entries.length : '';
  }

  // ---------------------------------------------------------------- details
  // Where each top-level parameter (and each bit of a bool field set) sits:
  // one row per payload byte, its bits from 7 (the first one sent) to 0.
  function layoutOf(op) {
    const spans = [];
    const loose = [];
    op.parameters.forEach((p, i) => {
      if (p.bit_offset === undefined || !p.bit_width) {
        loose.push(p);
        return;
      }
      spans.push({ from: p.bit_offset, width: p.bit_width, name: p.name, color: i % 8 });
      for (const f of p.bool_fields || []) {
        spans.push({ from: p.bit_offset + p.bit_width - 1 - f.bit, width: 1, name: f.name, color: i % 8, bit: true });
      }
    });
    return { spans: spans, loose: loose };
  }

  function renderBitMap(op, into) {
    const layout = layoutOf(op);
    let bits = 0;
    for (const s of layout.spans) bits = Math.max(bits, s.from + s.width);
    if (bits) {
      const cells = new Array(bits).fill(null);
      for (const s of layout.spans) for (let b = s.from; b < s.from + s.width; b++) cells[b] = s;
      const table = el('table', 'bitmap');
      const head = el('tr');
      head.append(el('th', null, 'byte'));
      for (let b = 7; b >= 0; b--) head.append(el('th', null, String(b)));
      table.append(head);
      for (let byte = 0; byte * 8 < bits; byte++) {
        const row = el('tr');
        row.append(el('th', null, String(byte)));
        let col = 0;
        while (col < 8) {
          const s = cells[byte * 8 + col];
          let span = 1;
          while (col + span < 8 && cells[byte * 8 + col + span] === s) span++;
          const td = el('td', s ? 'c' + s.color + (s.bit ? ' bit' : '') : 'free', s ? s.name : '');
          td.colSpan = span;
          if (s) td.title = s.name + ': bits ' + s.from + '..' + (s.from + s.width - 1);
          row.append(td);
          col += span;
        }
        table.append(row);
      }
      into.append(table);
    }
    for (const p of layout.loose) {
      const where = p.bit_offset === undefined ? 'after the parameters before it' : 'from byte ' + Math.floor(p.bit_offset / 8);
      into.append(el('div', 'loose', p.name + ': ' + where + ', length set by the payload'));
    }
    if (!op.parameters.length) into.append(el('p', 'hint', 'This operation carries no parameters: the payload is empty.'));
  }

  function selectOperation(button, fb, inst, fn, op) {
    if (selectedRow) selectedRow.classList.remove('selected');
    selectedRow = button;
    button.classList.add('selected');
    const at = button.dataset.message;
    const box = $('details');
    box.textContent = '';
    const title = el('h3');
    title.append(el('span', 'coords', at), el('span', 'name', ' ' + fb.name + '.' + (inst.device_name || 'Inst' + hex(inst.id, 2)) + '.' + fn.name + '.' + op.name));
    box.append(title);
    if (fn.description) box.append(el('div', 'desc', fn.description));
    renderBitMap(op, box);
    if (op.parameters.length) renderParams(op.parameters, box);
    $('encode-message').value = at;
    loadForm();
  }

  // ---------------------------------------------------------------- encoder
  let formMessage = null;

  function clearErrors() {
    for (const e of document.querySelectorAll('.field-error')) e.textContent = '';
    for (const e of document.querySelectorAll('.invalid')) e.classList.remove('invalid');
  }

  async function loadForm() {
    clearErrors();
    const at = $('encode-message').value.trim();
    const form = $('encode-form');
    $('encode-output').textContent = '';
    if (!at) return;
    const reply = await api('/api/form?message=' + encodeURIComponent(at));
    if (at !== $('encode-message').value.trim()) return; // a newer one is on its way
    form.textContent = '';
    formMessage = null;
    if (!reply.ok) {
      $('encode-message-error').textContent = reply.data.error;
      $('encode-message').classList.add('invalid');
      return;
    }
    formMessage = at;
    const d = reply.data;
    form.append(el('div', 'form-title', d.message + '  ' + d.fblock + '.' + d.function + '.' + d.operation + (d.device ? ' (' + d.device + ')' : '')));
    if (!d.fields.length) form.append(el('p', 'hint', 'No parameters: the payload is empty.'));
    for (const f of d.fields) {
      const row = el('div', f.group ? 'group' : 'field');
      row.style.paddingLeft = (f.level * 1.2) + 'em';
      if (f.group) {
        row.textContent = f.label + ' (' + f.type + ')';
        form.append(row);
        continue;
      }
      const id = 'field-' + form.querySelectorAll('.field').length;
      const label = el('label', null, f.label);
      label.htmlFor = id;
      label.title = f.name;
      let input;
      if (f.choices) {
        input = el('select');
        input.append(el('option', null, ''));
        for (const c of f.choices) input.append(el('option', null, c));
      } else {
        input = el('input');
        input.type = 'text';
        input.placeholder = f.accepts;
        input.spellcheck = false;
      }
      input.id = id;
      input.name = f.name;
      input.title = f.name + ': ' + f.accepts;
      row.append(label, input);
      if (f.unit) row.append(el('span', 'unit', f.unit));
      row.append(el('span', 'field-error'));
      row.append(el('div', 'accepts', f.accepts));
      form.append(row);
    }
  }

  async function encode() {
    clearErrors();
    const out = $('encode-output');
    out.textContent = '';
    const at = $('encode-message').value.trim();
    if (at !== formMessage) await loadForm();
    if (formMessage === null) return;
    const values = {};
    for (const input of $('encode-form').querySelectorAll('input[name], select[name]')) {
      if (input.value !== '') values[input.name] = input.value;
    }
    const lines = $('encode-extra').value.split('\n');
    for (let i = 0; i < lines.length; i++) {
      if (!lines[i].trim()) continue;
      const eq = lines[i].indexOf('=');
      if (eq <= 0) {
        out.append(el('div', 'fault', 'line ' + (i + 1) + ' of the more values: expected NAME=VALUE, not "' + lines[i] + '"'));
        return;
      }
      const name = lines[i].slice(0, eq).trim();
      if (Object.prototype.hasOwnProperty.call(values, name)) {
        out.append(el('div', 'fault', name + ' is given twice'));
        return;
      }
      values[name] = lines[i].slice(eq + 1);
    }
    const reply = await api('/api/encode', { message: at, values: values, raw: $('encode-raw').checked });
    if (!reply.ok) {
      const d = reply.data;
      const input = d.param ? $('encode-form').querySelector('[name="' + CSS.escape(d.param) + '"]') : null;
      if (input) {
        input.classList.add('invalid');
        input.parentElement.querySelector('.field-error').textContent = d.error;
        input.focus();
      } else if (d.param === 'message') {
        $('encode-message-error').textContent = d.error;
      } else {
        out.append(el('div', 'fault', d.error));
      }
      return;
    }
    const d = reply.data;
    const line = el('div', 'payload-line');
    line.append(el('span', 'label', 'payload '), el('code', 'payload', d.payload || '(empty)'));
    line.querySelector('code').id = 'encode-payload';
    out.append(line);
    out.append(el('div', 'hint', d.message + ':' + d.payload.replace(/ /g, '')));
    for (const w of d.warnings) out.append(el('div', 'warning', w));
    if (d.unset.length) out.append(el('div', 'warning', 'not set (written as zero bytes): ' + d.unset.join(', ')));
    if (d.decoded) out.append(messageBlock(d.decoded));
  }

  // ---------------------------------------------------------------- decoder
  function messageBlock(m) {
    const box = el('div', 'msg' + (m.error ? ' has-fault' : ''));
    if (m.fblock_id === undefined) {
      // A line that is no message at all.
      box.append(el('div', 'fault', m.error));
      box.append(el('div', 'input', (m.input || '') + (m.length > (m.input || '').length ? '… (' + m.length + ' characters)' : '')));
      return box;
    }
    const head = el('div', 'msg-head');
    if (m.time !== undefined) head.append(el('span', 'time', m.time));
    head.append(el('span', 'coords', hex(m.fblock_id, 2) + '.' + hex(m.instance_id, 2) + '.' + hex(m.function_id, 3) + '.' + hex(m.operation_id, 1)));
    const names = [m.fblock, m.instance, m.function, m.operation].filter((s) => s !== undefined).join('.');
    head.append(el('span', 'name', names + (m.device ? ' (' + m.device + ')' : '')));
    box.append(head);
    if (m.instance_fallback) box.append(el('div', 'warning', 'the FBlock lacks this instance: decoded with the layout of another one'));
    if (m.error) box.append(el('div', 'fault', m.error));
    if (m.params && m.params.length) {
      const table = el('table', 'tree');
      for (const p of m.params) {
        const row = el('tr', p.kind === 1 ? 'diag' : '');
        const name = el('td', 'pname', p.name);
        name.style.paddingLeft = (0.3 + p.level * 1.2) + 'em';
        const value = el('td', 'pvalue', p.value !== undefined ? p.value : p.decimal !== undefined ? p.decimal : '');
        if (p.out_of_range) {
          value.classList.add('out');
          value.append(el('span', 'mark', ' outside the catalog\'s range'));
        }
        if (p.undefined) value.append(el('span', 'mark', ' no value for this code'));
        row.append(name, value, el('td', 'punit', p.unit || ''), el('td', 'phex', p.hex !== undefined ? '[' + p.hex + ']' : ''));
        table.append(row);
      }
      box.append(table);
    }
    return box;
  }

  let decodeRun = 0;

  async function decode() {
    const run = ++decodeRun;
    const status = $('decode-status');
    const out = $('decode-output');
    out.textContent = '';
    status.className = '';
    status.textContent = 'Decoding…';
    const body = { text: $('decode-input').value };
    if ($('decode-telegrams').checked) body.telegrams = true;
    if ($('decode-most150').checked) body.most150 = true;
    const reply = await api('/api/decode', body);
    if (run !== decodeRun) return;
    if (!reply.ok) {
      status.className = 'fault';
      status.textContent = reply.data.error;
      return;
    }
    const list = reply.data;
    const faults = list.filter((m) => m.error).length;
    status.textContent = plural(list.length, 'message') + (faults ? ', ' + faults + ' not decoded' : '');
    status.className = faults ? 'has-fault' : '';
    // A large trace is shown a slice at a time, the next one when the end of
    // the shown part scrolls into view, so that the page stays responsive.
    let next = 0;
    const slice = 200;
    const more = el('button', 'more');
    more.type = 'button';
    const observer = new IntersectionObserver((seen) => {
      if (seen.some((e) => e.isIntersecting)) showMore();
    }, { root: $('decode-pane') });
    function showMore() {
      if (run !== decodeRun) return observer.disconnect();
      const part = document.createDocumentFragment();
      const end = Math.min(list.length, next + slice);
      for (; next < end; next++) part.append(messageBlock(list[next]));
      more.remove();
      out.append(part);
      if (next < list.length) {
        more.textContent = 'showing ' + next + ' of ' + list.length + ': more';
        out.append(more);
      } else {
        observer.disconnect();
      }
    }
    more.addEventListener('click', showMore);
    showMore();
    observer.observe(more);
  }

  function loadFile() {
    const file = $('decode-file').files[0];
    if (!file) return;
    const reader = new FileReader();
    reader.onload = () => { $('decode-input').value = reader.result; };
    reader.readAsText(file);
  }

  // ---------------------------------------------------------------- start
  document.addEventListener('DOMContentLoaded', async () => {
    let timer = null;
    $('search').addEventListener('input', () => {
      clearTimeout(timer);
      timer = setTimeout(applyFilter, entries.length > 2000 ? 150 : 0);
    });
    $('encode-load').addEventListener('click', loadForm);
    $('encode-message').addEventListener('keydown', (e) => { if (e.key === 'Enter') loadForm(); });
    $('encode-message').addEventListener('change', loadForm);
    $('encode-form').addEventListener('submit', (e) => { e.preventDefault(); encode(); });
    $('encode-button').addEventListener('click', encode);
    $('decode-button').addEventListener('click', decode);
    $('decode-input').addEventListener('keydown', (e) => { if (e.key === 'Enter' && e.ctrlKey) decode(); });
    $('decode-file').addEventListener('change', loadFile);
    const reply = await api('/api/outline');
    if (!reply.ok) {
      $('outline').textContent = reply.data.error;
      return;
    }
    renderOutline(reply.data);
    document.body.dataset.ready = '1';
  });
})();
