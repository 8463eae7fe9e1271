'use strict';
// The folder page's behaviour: filtering, selection, uploads, new folders,
// renaming and deleting. Names only ever reach the page as text
// (textContent, attributes), never as markup.
(() => {
  const root = document.documentElement;
  root.classList.add('js');
  const byId = (id) => document.getElementById(id);
  const table = byId('entries');
  const body = table.tBodies[0];
  const statusLine = byId('status');
  const SVG = 'http://www.w3.org/2000/svg';
  const TYPES = ['folder', 'image', 'video', 'audio', 'text', 'archive', 'other'];
  const REASONS = {
    401: 'Sign in first', 403: 'Not allowed here', 405: 'That name exists',
    409: 'That name exists', 412: 'That name exists', 413: 'Too large', 507: 'No space left',
  };

  // A name inside a sentence is isolated, so right-to-left characters in it
  // cannot reorder the words around it.
  const isolate = (name) => '\u2068' + name + '\u2069';
  const reason = (status) =>
    REASONS[status] || (status > 0 ? 'Failed (' + status + ')' : 'Failed (no answer)');
  const succeeded = (status) => status >= 200 && status < 300;
  const say = (text) => { statusLine.textContent = text; };
  // "./" keeps a name such as "a:b" from being read as a URL scheme.
  const here = (relative) => new URL('./' + relative, location.href).href;
  const encodePath = (path) => path.split('/').map(encodeURIComponent).join('/');
  const rows = () => Array.from(body.rows).filter((row) => row.dataset.name !== undefined);
  const hrefOf = (row) => row.querySelector('.name a').getAttribute('href');

  function send(method, url, headers) {
    return fetch(url, {method, headers: headers || {}, credentials: 'same-origin', cache: 'no-store'})
      .then((reply) => reply.status, () => 0);
  }

  // --- Filter and selection ---
  const filter = byId('filter');
  const zipPicked = byId('zip-picked');
  const pickAll = byId('pick-all');

  function applyFilter() {
    const wanted = filter.value.trim().toLowerCase();
    for (const row of rows()) {
      row.hidden = wanted !== '' && !row.dataset.name.toLowerCase().includes(wanted);
    }
    updatePicks();
  }

  function updatePicks() {
    if (!zipPicked) {
      return;
    }
    const visible = rows().filter((row) => !row.hidden);
    const picked = visible.filter((row) => row.querySelector('.pick-box').checked);
    // Each href is the name's bytes percent-encoded, fit for a query as it is.
    zipPicked.href = '?format=zip' +
      picked.map((row) => '&pick=' + hrefOf(row).replace(/\/$/, '')).join('');
    zipPicked.textContent = 'Download ' + picked.length + ' selected as zip';
    zipPicked.hidden = picked.length === 0;
    pickAll.checked = picked.length > 0 && picked.length === visible.length;
    pickAll.indeterminate = picked.length > 0 && picked.length < visible.length;
  }

  filter.addEventListener('input', applyFilter);
  if (pickAll) {
    pickAll.addEventListener('change', () => {
      for (const row of rows()) {
        row.querySelector('.pick-box').checked = pickAll.checked && !row.hidden;
      }
      updatePicks();
    });
  }
  table.addEventListener('change', (event) => {
    if (event.target.classList.contains('pick-box')) {
      updatePicks();
    }
  });

  // --- Rename, delete, new folder ---
  function askName(question, proposal) {
    const name = prompt(question, proposal);
    if (name === null || name === proposal) {
      return null;
    }
    if (name === '' || name === '.' || name === '..' || name.includes('/')) {
      say('A name cannot be empty, "." or "..", nor hold "/".');
      return null;
    }
    return name;
  }

  function report(what, status, done) {
    say(succeeded(status) ? done : what + ': ' + reason(status));
    refresh();
  }

  async function rename(row) {
    const old = row.dataset.name;
    const name = askName('New name for ' + isolate(old), old);
    if (name === null) {
      return;
    }
    const slash = row.dataset.kind === 'folder' ? '/' : '';
    const status = await send('MOVE', here(hrefOf(row)),
      {Destination: here(encodeURIComponent(name) + slash), Overwrite: 'F'});
    report('Renaming ' + isolate(old), status, 'Renamed to ' + isolate(name));
  }

  async function remove(row) {
    const name = row.dataset.name;
    const question = row.dataset.kind === 'folder'
      ? 'Delete the folder ' + isolate(name) + ' and everything in it?'
      : 'Delete ' + isolate(name) + '?';
    if (!confirm(question)) {
      return;
    }
    const status = await send('DELETE', here(hrefOf(row)));
    report('Deleting ' + isolate(name), status, 'Deleted ' + isolate(name));
  }

  table.addEventListener('click', (event) => {
    const button = event.target.closest('button[data-act]');
    if (button) {
      (button.dataset.act === 'rename' ? rename : remove)(button.closest('tr'));
    }
  });

  const newFolder = byId('new-folder');
  if (newFolder) {
    newFolder.addEventListener('click', async () => {
      const name = askName('Name of the new folder', '');
      if (name !== null) {
        const status = await send('MKCOL', here(encodeURIComponent(name) + '/'));
        report('New folder ' + isolate(name), status, 'Made the folder ' + isolate(name));
      }
    });
  }

  // --- Rows drawn again from the folder's JSON after a change ---
  function element(tag, className, text) {
    const made = document.createElement(tag);
    if (className) {
      made.className = className;
    }
    if (text !== undefined) {
      made.textContent = text;
    }
    return made;
  }

  function glyph(symbol, className) {
    const svg = document.createElementNS(SVG, 'svg');
    svg.setAttribute('class', className);
    svg.setAttribute('aria-hidden', 'true');
    const use = document.createElementNS(SVG, 'use');
    use.setAttribute('href', '#i-' + symbol);
    svg.append(use);
    return svg;
  }

  function actionButton(act, label, name) {
    const button = element('button', act);
    button.type = 'button';
    button.dataset.act = act;
    button.title = label;
    button.setAttribute('aria-label', label + ' ' + name);
    button.append(glyph(act, 'icon'));
    return button;
  }

  function nameCell(entry, folder) {
    const link = element('a');
    link.setAttribute('href', entry.href);
    const type = TYPES.includes(entry.type) ? entry.type : 'other';
    if (entry.thumbnail && !folder) {
      const image = element('img', 'thumb');
      image.loading = 'lazy';
      image.src = entry.href + '?format=thumbnail';
      image.alt = '';
      image.width = 48;
      image.height = 48;
      link.append(image);
    } else {
      link.append(glyph(type, 'icon t-' + type));
    }
    const label = element('span', 'label');
    label.append(element('bdi', '', entry.label));
    if (entry.within) {
      const within = element('span', 'within');
      within.append(element('bdi', '', entry.within));
      label.append(within);
    }
    const sub = element('span', 'sub',
      folder ? entry.modifiedText : entry.sizeText + ' \u00b7 ' + entry.modifiedText);
    sub.setAttribute('aria-hidden', 'true');
    label.append(sub);
    link.append(label);
    const cell = element('td', 'name');
    cell.append(link);
    return cell;
  }

  function makeRow(entry, selectable, actions) {
    const folder = entry.kind === 'folder';
    const row = element('tr');
    row.dataset.name = entry.label;
    row.dataset.kind = folder ? 'folder' : 'file';
    if (selectable) {
      const box = element('input', 'pick-box');
      box.type = 'checkbox';
      box.setAttribute('aria-label', 'Select ' + entry.label);
      const label = element('label');
      label.append(box);
      const cell = element('td', 'pick js-only');
      cell.append(label);
      row.append(cell);
    }
    const time = element('time', '', entry.modifiedText);
    time.dateTime = entry.modified;
    time.title = entry.modifiedExact;
    const timeCell = element('td', 'time');
    timeCell.append(time);
    row.append(nameCell(entry, folder), element('td', 'size', entry.sizeText), timeCell);
    if (actions) {
      const cell = element('td', 'acts js-only');
      cell.append(actionButton('rename', 'Rename', entry.label),
        actionButton('delete', 'Delete', entry.label));
      row.append(cell);
    }
    return row;
  }

  function render(data) {
    const selectable = pickAll !== null;
    const actions = table.dataset.actions === 'yes' && data.mayChange;
    const fresh = document.createDocumentFragment();
    for (const entry of data.entries) {
      // Only the server's own percent-encoded references are taken.
      if (/^[A-Za-z0-9%._~\/-]+$/.test(entry.href)) {
        fresh.append(makeRow(entry, selectable, actions));
      }
    }
    body.replaceChildren(fresh);
    byId('empty').hidden = rows().length > 0;
    applyFilter();
  }

  async function refresh() {
    const query = new URLSearchParams(location.search);
    query.set('format', 'json');
    try {
      const reply = await fetch('?' + query.toString(), {credentials: 'same-origin', cache: 'no-store'});
      if (!reply.ok) {
        throw new Error(reason(reply.status));
      }
      render(await reply.json());
    } catch (error) {
      say(statusLine.textContent + ' (the list could not be shown again: ' + error.message + ')');
    }
  }

  // --- A thumbnail the server could not make shows the image icon instead
  // of the browser's broken picture. Errors do not bubble, so they are caught
  // on their way down; one met before this script ran is found by looking.
  const isThumb = (target) =>
    target instanceof HTMLImageElement && target.classList.contains('thumb');
  const iconInstead = (image) => image.replaceWith(glyph('image', 'icon t-image'));
  document.addEventListener('error', (event) => {
    if (isThumb(event.target)) {
      iconInstead(event.target);
    }
  }, true);
  for (const image of document.querySelectorAll('img.thumb')) {
    if (image.complete && image.naturalWidth === 0) {
      iconInstead(image);
    }
  }

  // --- Uploads: chosen files and folders, or dropped anywhere on the page ---
  const fileInput = byId('files');
  if (!fileInput) {
    return;
  }
  const folderInput = byId('folder');
  const uploads = byId('uploads');
  const total = byId('total');
  const totalText = byId('total-text');
  const cancel = byId('cancel');
  let current = null;
  let busy = false;
  let cancelled = false;

  function put(item, headers, onProgress) {
    return new Promise((resolve) => {
      const request = new XMLHttpRequest();
      current = request;
      request.open('PUT', here(encodePath(item.path)));
      for (const [name, value] of Object.entries(headers)) {
        request.setRequestHeader(name, value);
      }
      request.upload.addEventListener('progress', (event) => onProgress(event.loaded));
      request.addEventListener('load', () => resolve(request.status));
      request.addEventListener('error', () => resolve(0));
      request.addEventListener('abort', () => resolve(-1));
      request.send(item.file);
    }).finally(() => { current = null; });
  }

  // Every folder the upload needs, each after its parent.
  function foldersFor(files, folders) {
    const wanted = new Set();
    const add = (path) => {
      const parts = path.split('/');
      for (let end = 1; end <= parts.length; ++end) {
        wanted.add(parts.slice(0, end).join('/'));
      }
    };
    folders.forEach(add);
    for (const item of files) {
      const slash = item.path.lastIndexOf('/');
      if (slash > 0) {
        add(item.path.slice(0, slash));
      }
    }
    return Array.from(wanted);
  }

  function showUploads(files) {
    const list = byId('upload-list');
    list.replaceChildren();
    const lines = files.map((item) => {
      const bar = element('progress');
      bar.max = Math.max(1, item.file.size);
      bar.value = 0;
      const line = element('li');
      line.append(element('bdi', '', item.path), bar);
      list.append(line);
      return line;
    });
    total.max = Math.max(1, files.reduce((sum, item) => sum + item.file.size, 0));
    total.value = 0;
    uploads.hidden = false;
    cancel.hidden = false;
    return lines;
  }

  function settle(line, status) {
    const bar = line.querySelector('progress');
    if (succeeded(status)) {
      bar.value = bar.max;
    } else {
      line.append(element('span', 'why', status === -1 ? 'Cancelled' : reason(status)));
    }
  }

  async function upload(files, folders) {
    if (files.length === 0 && folders.length === 0) {
      return;
    }
    if (busy) {
      say('One upload at a time: wait for this one to end, or cancel it.');
      return;
    }
    busy = true;
    try {
      await sendAll(files, folders);
    } finally {
      busy = false;
    }
    refresh();
  }

  async function sendAll(files, folders) {
    const present = new Set(rows().map((row) => row.dataset.name));
    const clashes = files.filter((item) => !item.path.includes('/') && present.has(item.path));
    const replace = clashes.length > 0 && confirm((clashes.length === 1
      ? isolate(clashes[0].path) + ' is' : clashes.length + ' files are') + ' here already. Replace?');
    if (!replace) {
      files = files.filter((item) => !clashes.includes(item));
    }
    if (files.length === 0 && folders.length === 0) {
      return;
    }
    cancelled = false;
    const lines = showUploads(files);
    const failures = [];
    for (const folder of foldersFor(files, folders)) {
      const status = cancelled ? -1 : await send('MKCOL', here(encodePath(folder) + '/'));
      if (!succeeded(status) && status !== 405) {  // 405: it is there already
        failures.push(isolate(folder) + ': ' + reason(status));
        cancelled = true;
      }
    }
    let done = 0;
    let sent = 0;
    for (const [index, item] of files.entries()) {
      // Sent without If-None-Match only where replacing was agreed to.
      const headers = replace && clashes.includes(item) ? {} : {'If-None-Match': '*'};
      const status = cancelled ? -1 : await put(item, headers, (loaded) => {
        lines[index].querySelector('progress').value = loaded;
        total.value = sent + loaded;
      });
      settle(lines[index], status);
      if (succeeded(status)) {
        done += 1;
      } else if (status !== -1) {
        failures.push(isolate(item.path) + ': ' + reason(status));
        cancelled = cancelled || [401, 403, 507].includes(status);
      }
      sent += item.file.size;
      total.value = sent;
      totalText.textContent = (index + 1) + ' of ' + files.length;
    }
    cancel.hidden = true;
    uploads.hidden = failures.length === 0 && !cancelled;
    say('Uploaded ' + done + ' of ' + files.length + (files.length === 1 ? ' file' : ' files') +
      (failures.length ? '. ' + failures.join('; ') : '') + (cancelled ? '. Stopped.' : '.'));
  }

  async function walk(entry, prefix, files, folders) {
    const path = prefix + entry.name;
    if (entry.isFile) {
      files.push({file: await new Promise((done, fail) => entry.file(done, fail)), path});
    } else if (entry.isDirectory) {
      folders.push(path);
      const reader = entry.createReader();
      // Each call gives the next batch; an empty one ends the folder.
      for (let batch = await readBatch(reader); batch.length > 0; batch = await readBatch(reader)) {
        for (const child of batch) {
          await walk(child, path + '/', files, folders);
        }
      }
    }
  }
  const readBatch = (reader) => new Promise((done, fail) => reader.readEntries(done, fail));

  async function dropped(transfer) {
    // Entries must be taken while the drop event lasts; reading them may wait.
    const entries = Array.from(transfer.items || [],
      (item) => item.webkitGetAsEntry && item.webkitGetAsEntry()).filter(Boolean);
    const plain = Array.from(transfer.files, (file) => ({file, path: file.name}));
    const files = [];
    const folders = [];
    if (entries.length === 0) {
      return {files: plain, folders};
    }
    for (const entry of entries) {
      await walk(entry, '', files, folders);
    }
    return {files, folders};
  }

  const carriesFiles = (event) =>
    event.dataTransfer !== null && Array.from(event.dataTransfer.types).includes('Files');

  byId('upload-files').addEventListener('click', () => fileInput.click());
  byId('upload-folder').addEventListener('click', () => folderInput.click());
  for (const input of [fileInput, folderInput]) {
    input.addEventListener('change', () => {
      const chosen = Array.from(input.files,
        (file) => ({file, path: file.webkitRelativePath || file.name}));
      input.value = '';
      upload(chosen, []);
    });
  }
  cancel.addEventListener('click', () => {
    cancelled = true;
    if (current) {
      current.abort();
    }
  });
  document.addEventListener('dragover', (event) => {
    if (carriesFiles(event)) {
      event.preventDefault();
      event.dataTransfer.dropEffect = 'copy';
      root.classList.add('dropping');
    }
  });
  document.addEventListener('dragleave', (event) => {
    if (event.relatedTarget === null) {
      root.classList.remove('dropping');
    }
  });
  document.addEventListener('drop', (event) => {
    root.classList.remove('dropping');
    if (carriesFiles(event)) {
      event.preventDefault();
      dropped(event.dataTransfer).then(({files, folders}) => upload(files, folders),
        () => say('The dropped files could not be read.'));
    }
  });
  window.addEventListener('beforeunload', (event) => {
    if (busy) {
      event.preventDefault();
    }
  });
})();
