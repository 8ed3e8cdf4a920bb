// The page: hands each opened file to the core (qdp.js, the programs' own
// code compiled to WebAssembly) and shows what it hands back. Every
// decision about a project is the core's; this file only moves bytes and
// pixels between the core, the screen and the downloads.
'use strict';

(function () {
  const $ = (selector, root) => (root || document).querySelector(selector);
  const statusLine = $('#status');
  const filesBox = $('#files');
  const picker = $('#picker');
  const zoomChoice = $('#zoom');
  const downloadAll = $('#download-all');
  const paletteChoice = $('#palette');
  const palettePicker = $('#palette-picker');
  const gtiaChoice = $('#gtia');
  const bitsBox = $('#bits');
  const drawingFailure = $('#drawing-failure');
  const letterBoxes = Array.from(document.querySelectorAll('input[name=letter]'));
  const importChoices = {
    mode: $('#import-mode'),
    palette: $('#import-palette'),
    dither: $('#import-dither'),
    budget: $('#import-budget'),
    changes: $('#import-changes'),
    form: $('#import-form'),
  };
  const importPalettePicker = $('#import-palette-picker');
  const decoder = new TextDecoder();

  // What tests and curious users can look at: the opened files and how
  // long each took from being dropped to its picture on screen.
  // `largestMemory`: the core's memory, in bytes, after the largest file.
  // `imports`: each picture imported, with the choices it was imported with.
  const page = { ready: false, files: [], timings: [], imports: [], largestMemory: 0 };
  window.qdpPage = page;

  // The core as this page's scripts gave it: qdp.js is one function, whose
  // text also starts the import worker.
  const createQdpCore = qdpCoreScript();
  let core = null;
  let session = 0;  // the core's session: its open projects, drawing and results

  // ---- The core: bytes in, output, side files and pixels out. ----

  function copyOut(pointer, size) {
    return core.HEAPU8.slice(pointer, pointer + size);
  }

  // Puts `bytes` in the core's input buffer. Making the buffer may grow the
  // core's memory, which detaches every view of it taken before: the view
  // is taken only after.
  function putInput(bytes) {
    const at = core._qdp_input(session, bytes.length);
    core.HEAPU8.set(bytes, at);
  }

  // Calls `call` on the session with `args` (strings and numbers), `bytes`
  // in the input buffer, and gathers what it left: its status, output and
  // blobs.
  function run(call, bytes, types, args) {
    if (bytes) putInput(bytes);
    const status = core.ccall(call, 'number', ['number', ...types], [session, ...args]);
    const result = {
      status,
      out: decoder.decode(copyOut(core._qdp_out(session), core._qdp_out_size(session))),
      err: decoder.decode(copyOut(core._qdp_err(session), core._qdp_err_size(session))),
      blobs: [],
    };
    for (let i = 0; i < core._qdp_blob_count(session); i++) {
      result.blobs.push({
        name: core.UTF8ToString(core._qdp_blob_name(session, i)),
        bytes: copyOut(core._qdp_blob_data(session, i), core._qdp_blob_size(session, i)),
        width: core._qdp_blob_width(session, i),
        height: core._qdp_blob_height(session, i),
        scale: core._qdp_blob_scale(session, i),
      });
    }
    return result;
  }

  // The file as the programs are to see it, read in pieces so that a file
  // of any size takes no more memory than a project: a plain project is
  // read only as far as a project goes, and a compressed one is decoded as
  // its pieces come (the core keeps what the command line keeps). Each
  // piece waits for the browser, so the page stays responsive.
  const pieceBytes = 1 << 20;
  async function readFile(picked) {
    const piece = async (from, to) => new Uint8Array(await picked.slice(from, to).arrayBuffer());
    let offset = core._qdp_head_bytes();
    putInput(await piece(0, offset));
    let more = core._qdp_read_file(session, 1);
    while (more) {
      const bytes = await piece(offset, offset + pieceBytes);
      offset += bytes.length;
      putInput(bytes);
      more = core._qdp_read_file(session, 0);
    }
    page.largestMemory = Math.max(page.largestMemory, core.HEAPU8.length);
    return copyOut(core._qdp_prepared(session), core._qdp_prepared_size(session));
  }

  function letters() {
    return letterBoxes.filter((box) => box.checked).map((box) => box.value).join('');
  }

  // ---- One card per file. ----

  function paint(canvas, blob) {
    canvas.width = blob.width;
    canvas.height = blob.height;
    canvas.dataset.scale = blob.scale;
    const pixels = new Uint8ClampedArray(blob.bytes.buffer, blob.bytes.byteOffset, blob.bytes.length);
    canvas.getContext('2d').putImageData(new ImageData(pixels, blob.width, blob.height), 0, 0);
    zoom(canvas);
  }

  function zoom(canvas) {
    // The font sheet is shown at twice the picture's scale, as qdpview
    // writes it; a picture taken at half width, with pixels twice as wide.
    const scale = Number(zoomChoice.value) * Number(canvas.dataset.scale || 1);
    canvas.style.width = canvas.width * scale * Number(canvas.dataset.stretch || 1) + 'px';
    canvas.style.height = canvas.height * scale + 'px';
  }

  function sizeText(bytes) {
    return bytes < 1024 ? bytes + ' B' : (bytes / 1024).toFixed(1) + ' KiB';
  }

  // What qdpext does with the file, as loaded once, for the ticked
  // letters: the side files it writes, or its own message when it refuses.
  function extract(file) {
    if (file.id === undefined) return;  // the file could not be read; its card says so
    const result = run('qdp_extract', null, ['number', 'string'], [file.id, letters()]);
    file.sideFiles = result.status === 0 ? result.blobs : [];
    const failure = file.card.querySelector('.failure');
    const outcome = file.card.querySelector('.outcome');
    failure.hidden = true;
    failure.textContent = '';
    file.card.classList.toggle('failed', result.status === 1 || result.status === 3);
    if (result.status === 1 || result.status === 3) {
      // An error report goes to standard error, a conversion failure to
      // standard output: either way it is qdpext's own text.
      failure.textContent = result.status === 1 ? result.err : result.out;
      failure.hidden = false;
      outcome.textContent = 'qdpext refuses it';
    } else if (result.status === 2) {
      outcome.textContent = 'these letters select no side file';
    } else {
      outcome.textContent = file.sideFiles.map((f) => f.name + ' ' + sizeText(f.bytes.length)).join(' · ');
    }
    file.card.querySelector('.download').disabled = file.sideFiles.length === 0;
    downloadAll.disabled = !page.files.some((f) => f.sideFiles.length > 0);
  }

  // Loads the file once, as qdpview does: its summary now, and the project
  // kept in the core, to be drawn and to give its side files.
  function view(file, summary) {
    const result = run('qdp_open', file.bytes, ['string'], [file.projectName || file.name]);
    file.id = result.status;
    file.bytes = null;  // the core holds the project now
    file.card.querySelector('.summary').textContent = summary === undefined ? result.out + result.err : summary;
    draw(file);
  }

  // Draws the file's pictures as the drawing controls say.
  function draw(file) {
    const result = run('qdp_draw', null, ['number'], [file.id]);
    const picture = result.blobs.find((b) => b.name === 'preview');
    const fonts = result.blobs.find((b) => b.name === 'font_sheet');
    file.card.querySelector('.picture-frame').hidden = !picture;
    if (picture) paint(file.card.querySelector('canvas.picture'), picture);
    const sheetFrame = file.card.querySelector('.sheet-frame');
    sheetFrame.hidden = !fonts || fonts.width === 0;
    if (fonts && fonts.width > 0) paint(file.card.querySelector('canvas.sheet'), fonts);
  }

  // The palette, GTIA mode and 1-bit choice, applied to every file at once.
  // A palette file qdpview would refuse is refused with its message, and
  // the choices go back to those in force.
  let drawing = { palette: 'pal', paletteBytes: null, gtia: '9', bits: false };
  function chooseDrawing(wanted) {
    const result = run('qdp_drawing', wanted.paletteBytes, ['string', 'number', 'number', 'number'],
      [wanted.palette, Number(wanted.gtia), wanted.bits ? 1 : 0, wanted.paletteBytes ? 1 : 0]);
    drawingFailure.hidden = result.status === 0;
    drawingFailure.textContent = result.err;
    if (result.status === 0) drawing = wanted;
    const builtIn = !drawing.paletteBytes;
    paletteChoice.options[2].textContent = builtIn ? 'File…' : drawing.palette;
    paletteChoice.value = builtIn ? drawing.palette : 'file';
    gtiaChoice.value = drawing.gtia;
    bitsBox.checked = drawing.bits;
    page.files.forEach(draw);
  }

  async function choosePaletteFile(picked) {
    // qdpview counts a palette file's bytes up to 1 MiB and a piece more;
    // whatever lies beyond cannot change what it says.
    const bytes = new Uint8Array(await picked.slice(0, (1 << 20) + 4096).arrayBuffer());
    chooseDrawing({ ...drawing, palette: picked.name, paletteBytes: bytes });
  }

  function addCard(file) {
    const card = $('#card').content.firstElementChild.cloneNode(true);
    card.querySelector('.name').textContent = file.name;
    card.querySelector('.download').addEventListener('click', () => save([file]));
    card.querySelector('.download-project').addEventListener('click', () => {
      if (file.project) offer(file.projectName, file.project, 'application/octet-stream');
    });
    card.querySelector('.remove').addEventListener('click', () => {
      if (file.id !== undefined) core._qdp_close(session, file.id);
      page.files.splice(page.files.indexOf(file), 1);
      card.remove();
      downloadAll.disabled = !page.files.some((f) => f.sideFiles.length > 0);
      showStatus();
    });
    filesBox.append(card);
    file.card = card;
  }

  // ---- Pictures: imported in a worker, then loaded as any project. ----

  // Whether a file's first bytes are those of a picture the browser decodes
  // rather than a project: PNG, JPEG, GIF, WebP or BMP (its file header,
  // then an information header of a size one of its versions has).
  function isPicture(head) {
    const at = (offset, text) => Array.from(text).every((c, i) => head[offset + i] === c.charCodeAt(0));
    if (at(0, '\x89PNG\r\n\x1a\n') || at(0, 'GIF87a') || at(0, 'GIF89a')) return true;
    if (head[0] === 0xFF && head[1] === 0xD8 && head[2] === 0xFF) return true;
    if (at(0, 'RIFF') && at(8, 'WEBP')) return true;
    if (at(0, 'BM') && head.length >= 18) {
      const reserved = head[6] | head[7] | head[8] | head[9];
      const info = head[14] | head[15] << 8 | head[16] << 16 | head[17] << 24;
      return reserved === 0 && [12, 16, 40, 52, 56, 64, 108, 124].includes(info);
    }
    return false;
  }

  // The import's choices, as qdpimport's options take them.
  let importPalette = { name: 'pal', bytes: null };
  function currentChoices() {
    const budget = Math.round(Number(importChoices.budget.value));
    return {
      mode: importChoices.mode.value,
      palette: importPalette.name,
      dither: importChoices.dither.value,
      budget: Number.isFinite(budget) ? Math.min(30, Math.max(0, budget)) : 0,
      changes: Number(importChoices.changes.value),
      compressed: importChoices.form.value === 'zlib',
    };
  }

  page.choices = () => currentChoices();
  page.importing = () => workerJob !== null;

  // The worker and the one import it is doing. A new import ends the
  // worker of one under way (its import gives null); a spare worker, made
  // while the first import runs and warmed up by then, takes over at once.
  let worker = null;
  let spare = null;
  let workerJob = null;
  let lastJob = 0;
  function makeWorker() {
    const source = "'use strict';\n(" + qdpImportWorker.toString() + ')((' + qdpCoreScript.toString() + ')());\n';
    const url = URL.createObjectURL(new Blob([source], { type: 'text/javascript' }));
    const made = new Worker(url);
    URL.revokeObjectURL(url);
    made.onmessage = (event) => {
      const result = event.data;
      if (result.ready) {
        made.ready = true;
        page.importReady = worker.ready === true;
        return;
      }
      if (made !== worker || !workerJob || result.id !== workerJob.id) return;
      const job = workerJob;
      workerJob = null;
      job.resolve(result);
    };
    made.onerror = (event) => {
      if (made !== worker || !workerJob) return;
      const job = workerJob;
      workerJob = null;
      job.resolve({ failure: 'The page could not import ' + job.name + ': ' + event.message });
    };
    return made;
  }
  function startWorker() {
    worker = spare || makeWorker();
    spare = null;
    page.importReady = worker.ready === true;
  }
  function importInWorker(picked, name, choices) {
    if (workerJob) {
      worker.terminate();
      workerJob.resolve(null);
      workerJob = null;
      startWorker();
    }
    if (!spare) spare = makeWorker();
    const id = ++lastJob;
    return new Promise((resolve) => {
      workerJob = { id, name, resolve };
      worker.postMessage({ id, file: picked, name, choices, paletteBytes: importPalette.bytes });
    });
  }

  function projectNameOf(name) {
    const dot = name.lastIndexOf('.');
    return (dot > 0 ? name.slice(0, dot) : name) + '.qdp';
  }

  // Imports the picture of `file` with the choices in force and shows the
  // result beside the picture taken. False when a newer import ended it.
  async function importPicture(file, started) {
    const choices = currentChoices();
    const result = await importInWorker(file.picked, file.name, choices);
    if (result === null) return false;
    // A card removed during its import keeps nothing in the core.
    if (!page.files.includes(file)) return true;
    if (file.id !== undefined) {
      core._qdp_close(session, file.id);
      file.id = undefined;
    }
    file.project = null;
    file.sideFiles = [];
    const failure = file.card.querySelector('.failure');
    file.card.querySelector('.download-project').hidden = false;
    if (result.failure) {
      failure.textContent = result.failure;
      failure.hidden = false;
      file.card.classList.add('failed');
      file.card.querySelector('.outcome').textContent = 'not imported';
      file.card.querySelector('.summary').textContent = '';
      for (const frame of file.card.querySelectorAll('.source-frame, .picture-frame, .sheet-frame')) frame.hidden = true;
      file.card.querySelector('.download-project').disabled = true;
      file.card.querySelector('.download').disabled = true;
      downloadAll.disabled = !page.files.some((f) => f.sideFiles.length > 0);
      page.imports.push({ name: file.name, choices, failed: true });
      page.timings.push({ name: file.name, ms: performance.now() - started, failed: true });
      return true;
    }
    failure.hidden = true;
    file.card.classList.remove('failed');
    file.project = result.project;
    file.projectName = projectNameOf(file.name);
    const sourceCanvas = file.card.querySelector('canvas.source');
    sourceCanvas.dataset.stretch = result.source.width < 256 ? 2 : 1;
    paint(sourceCanvas, { ...result.source, scale: 1 });
    file.card.querySelector('.source-frame').hidden = false;
    // The imported project takes the one load path any opened project takes.
    file.bytes = await readFile(new Blob([result.project]));
    view(file, result.summary);
    file.card.querySelector('.download-project').disabled = false;
    await new Promise((shown) => requestAnimationFrame(() => shown()));
    page.imports.push({ name: file.name, choices, failed: false });
    page.timings.push({ name: file.name, ms: performance.now() - started, imported: true });
    extract(file);
    return true;
  }

  async function openPicture(picked, started) {
    const file = { name: picked.name, picked, bytes: null, sideFiles: [] };
    page.files.push(file);
    addCard(file);
    if (!(await importPicture(file, started))) {
      // A newer picture came before this one was imported: it is dropped.
      page.files.splice(page.files.indexOf(file), 1);
      file.card.remove();
      page.timings.push({ name: file.name, ms: performance.now() - started, cancelled: true });
    }
  }

  // Imports every opened picture again with the choices now in force.
  let reimporting = 0;
  async function reimportAll() {
    const round = ++reimporting;
    for (const file of page.files.filter((f) => f.picked)) {
      if (round !== reimporting) return;
      await importPicture(file, performance.now());
    }
  }

  async function open(fileList, started) {
    await starting;
    if (!core) return;
    for (const picked of Array.from(fileList)) {
      const head = new Uint8Array(await picked.slice(0, 32).arrayBuffer());
      if (isPicture(head)) {
        await openPicture(picked, started);
        continue;
      }
      const file = { name: picked.name, bytes: null, sideFiles: [] };
      page.files.push(file);
      addCard(file);
      try {
        file.bytes = await readFile(picked);
        const read = performance.now();
        view(file);
        const drawn = performance.now();
        // The picture is on screen with the next frame; what qdpext makes
        // of the file follows it.
        await new Promise((shown) => requestAnimationFrame(() => shown()));
        const now = performance.now();
        page.timings.push({ name: file.name, ms: now - started, read: read - started, draw: drawn - read, frame: now - drawn });
        extract(file);
      } catch (error) {
        // Never a blank card: what went wrong is said on it.
        const failure = file.card.querySelector('.failure');
        failure.textContent = 'The page could not read this file: ' + error;
        failure.hidden = false;
        file.card.classList.add('failed');
        page.timings.push({ name: file.name, ms: performance.now() - started, failed: true });
      }
    }
    showStatus();
  }

  function showStatus() {
    const count = page.files.length;
    document.body.classList.toggle('empty', count === 0);
    statusLine.textContent = count === 0
      ? 'Ready. Open or drop projects; the side files are written exactly as qdpext writes them.'
      : count + (count === 1 ? ' file' : ' files') + ' open.';
  }

  // ---- Downloads: one file as it is, several as one zip (fflate). ----

  function offer(name, bytes, type) {
    const url = URL.createObjectURL(new Blob([bytes], { type }));
    const link = document.createElement('a');
    link.href = url;
    link.download = name;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 10000);
  }

  function save(files) {
    const withOutput = files.filter((f) => f.sideFiles.length > 0);
    const all = withOutput.flatMap((f) => f.sideFiles);
    if (all.length === 0) return;
    if (all.length === 1) {
      offer(all[0].name, all[0].bytes, 'application/octet-stream');
      return;
    }
    // Side files of two inputs may share a name (pic.qdp and pic.QDP, or
    // two pic.qdp from different folders, all give pic.mic): then each
    // input's files go in a folder of its name.
    const names = all.map((f) => f.name);
    const clash = new Set(names).size !== names.length;
    const entries = {};
    for (const file of withOutput) {
      for (const side of file.sideFiles) {
        entries[(clash ? file.name + '/' : '') + side.name] = side.bytes;
      }
    }
    const first = withOutput[0].sideFiles[0].name;
    const zipName = withOutput.length === 1 ? first.slice(0, first.lastIndexOf('.')) + '.zip' : 'qdpext-side-files.zip';
    offer(zipName, fflate.zipSync(entries), 'application/zip');
  }

  // ---- Wiring. ----

  $('#open').addEventListener('click', () => picker.click());
  $('#drop').addEventListener('click', () => picker.click());
  picker.addEventListener('change', () => {
    const started = performance.now();
    open(picker.files, started).then(() => { picker.value = ''; });
  });
  document.addEventListener('dragover', (event) => {
    event.preventDefault();
    document.body.classList.add('dragging');
  });
  document.addEventListener('dragleave', (event) => {
    if (event.relatedTarget === null) document.body.classList.remove('dragging');
  });
  document.addEventListener('drop', (event) => {
    const started = performance.now();
    event.preventDefault();
    document.body.classList.remove('dragging');
    open(event.dataTransfer.files, started);
  });
  for (const box of letterBoxes) {
    box.addEventListener('change', () => page.files.forEach(extract));
  }
  paletteChoice.addEventListener('change', () => {
    if (paletteChoice.value === 'file') {
      palettePicker.click();
      // Until a file is picked, the palette in force stays chosen.
      paletteChoice.value = drawing.paletteBytes ? 'file' : drawing.palette;
    } else {
      chooseDrawing({ ...drawing, palette: paletteChoice.value, paletteBytes: null });
    }
  });
  palettePicker.addEventListener('change', () => {
    if (palettePicker.files.length > 0) choosePaletteFile(palettePicker.files[0]);
    palettePicker.value = '';
  });
  gtiaChoice.addEventListener('change', () => chooseDrawing({ ...drawing, gtia: gtiaChoice.value }));
  bitsBox.addEventListener('change', () => chooseDrawing({ ...drawing, bits: bitsBox.checked }));
  zoomChoice.addEventListener('change', () => document.querySelectorAll('canvas').forEach(zoom));
  downloadAll.addEventListener('click', () => save(page.files));

  // The import's choices live in the page's address, so that a link gives
  // the same view.
  function writeChoices() {
    const c = currentChoices();
    const fragment = new URLSearchParams({
      mode: c.mode, palette: importPalette.bytes ? 'file' : c.palette, dither: c.dither,
      budget: String(c.budget), changes: String(c.changes), form: importChoices.form.value,
    });
    history.replaceState(null, '', '#' + fragment);
  }
  function readChoices() {
    const fragment = new URLSearchParams(location.hash.slice(1));
    const pick = (select, value) => {
      if (value !== null && Array.from(select.options).some((o) => o.value === value)) select.value = value;
    };
    pick(importChoices.mode, fragment.get('mode'));
    pick(importChoices.dither, fragment.get('dither'));
    pick(importChoices.changes, fragment.get('changes'));
    pick(importChoices.form, fragment.get('form'));
    const budget = Number(fragment.get('budget'));
    if (fragment.has('budget') && Number.isInteger(budget) && budget >= 0 && budget <= 30) {
      importChoices.budget.value = String(budget);
    }
    const palette = fragment.get('palette');
    if ((palette === 'pal' || palette === 'ntsc') && palette !== importPalette.name) {
      importPalette = { name: palette, bytes: null };
    }
    importChoices.palette.value = importPalette.bytes ? 'file' : importPalette.name;
  }
  function choicesChanged() {
    writeChoices();
    reimportAll();
  }
  for (const key of ['mode', 'dither', 'budget', 'changes', 'form']) {
    importChoices[key].addEventListener('change', choicesChanged);
  }
  importChoices.palette.addEventListener('change', () => {
    if (importChoices.palette.value === 'file') {
      importPalettePicker.click();
      importChoices.palette.value = importPalette.bytes ? 'file' : importPalette.name;
    } else {
      importPalette = { name: importChoices.palette.value, bytes: null };
      importChoices.palette.options[2].textContent = 'File…';
      choicesChanged();
    }
  });
  importPalettePicker.addEventListener('change', async () => {
    const picked = importPalettePicker.files[0];
    importPalettePicker.value = '';
    if (!picked) return;
    const bytes = new Uint8Array(await picked.slice(0, (1 << 20) + 4096).arrayBuffer());
    // A palette qdpimport refuses is refused here, with its message, and
    // the palette in force stays.
    await starting;
    if (!core) return;
    const checker = core._qdp_importer_new();
    const at = core._qdp_importer_input(checker, bytes.length);
    core.HEAPU8.set(bytes, at);
    const refused = core.ccall('qdp_importer_palette', 'number', ['number', 'string', 'number'], [checker, picked.name, 1]) !== 0;
    drawingFailure.textContent = refused ? core.UTF8ToString(core._qdp_importer_err(checker)) : '';
    drawingFailure.hidden = !refused;
    core._qdp_importer_free(checker);
    if (refused) return;
    importPalette = { name: picked.name, bytes };
    importChoices.palette.options[2].textContent = picked.name;
    importChoices.palette.value = 'file';
    choicesChanged();
  });
  window.addEventListener('hashchange', () => {
    readChoices();
    reimportAll();
  });
  readChoices();
  startWorker();

  // Files dropped before the core has started wait for it.
  const starting = createQdpCore().then((module) => {
    core = module;
    session = core._qdp_session_new();
    page.version = core.UTF8ToString(core._qdp_version());
    document.title = 'qdpext ' + page.version + ' in the browser';
    page.ready = true;
    showStatus();
  }, (error) => {
    statusLine.textContent = 'The page could not start its core: ' + error;
  });
})();
