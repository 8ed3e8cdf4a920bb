// The import worker: the browser decodes a picture into RGBA, and the core
// (qdpimport's own code) imports it, off the page's thread. The page starts
// it from this function's text and the core's (a page opened from disk may
// start no worker from a file), and ends it when a newer picture comes.
'use strict';

// eslint-disable-next-line no-unused-vars
function qdpImportWorker(createQdpCore) {
  const starting = createQdpCore().then((core) => {
    const importer = core._qdp_importer_new();
    warmUp(core, importer);
    return { core, importer };
  });

  // One import of a made-up picture as soon as the core is there: the
  // browser compiles the core's busiest code well only once it has run,
  // and the first picture of the user's would pay for that (about a
  // second, against a fifth of one afterwards).
  function warmUp(core, importer) {
    const width = 320;
    const height = 240;
    core.ccall('qdp_importer_begin', 'number', ['number', 'string', 'number', 'number'], [importer, '', width, height]);
    const rows = new Uint8Array(width * height * 4);
    for (let i = 0; i < width * height; i++) {
      const x = i % width;
      const y = (i - x) / width;
      rows.set([x & 255, y, (x * y) & 255, 255], i * 4);
    }
    putInput(core, importer, rows);
    core._qdp_importer_rows(importer, 0, height);
    core.ccall('qdp_importer_finish', 'number', ['number', 'string', 'string', 'number', 'number', 'number'],
      [importer, 'auto', 'diffusion', 5, 0, 0]);
  }
  // Rows handed to the core at a time: a picture of any size takes no more
  // than this many of its rows' memory in the core.
  const rowsAtOnce = 64;

  function text(core, pointer) {
    return core.UTF8ToString(pointer);
  }

  function putInput(core, importer, bytes) {
    const at = core._qdp_importer_input(importer, bytes.length);
    core.HEAPU8.set(bytes, at);
  }

  async function importPicture({ core, importer }, job) {
    const { choices } = job;
    if (job.paletteBytes) putInput(core, importer, job.paletteBytes);
    if (core.ccall('qdp_importer_palette', 'number', ['number', 'string', 'number'],
      [importer, choices.palette, job.paletteBytes ? 1 : 0]) !== 0) {
      return { failure: text(core, core._qdp_importer_err(importer)) };
    }
    let bitmap;
    try {
      bitmap = await createImageBitmap(job.file, { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
    } catch (error) {
      return { failure: 'The browser cannot read ' + job.name + ' as a picture.' };
    }
    const { width, height } = bitmap;
    if (core.ccall('qdp_importer_begin', 'number', ['number', 'string', 'number', 'number'],
      [importer, job.name, width, height]) !== 0) {
      bitmap.close();
      return { failure: text(core, core._qdp_importer_err(importer)) };
    }
    const canvas = new OffscreenCanvas(width, Math.min(height, rowsAtOnce));
    const context = canvas.getContext('2d', { willReadFrequently: true });
    context.imageSmoothingEnabled = false;
    for (let y = 0; y < height; y += rowsAtOnce) {
      const rows = Math.min(rowsAtOnce, height - y);
      context.clearRect(0, 0, width, rows);
      context.drawImage(bitmap, 0, y, width, rows, 0, 0, width, rows);
      putInput(core, importer, context.getImageData(0, 0, width, rows).data);
      if (core._qdp_importer_rows(importer, y, rows) !== 0) throw new Error('the core took no rows ' + y + ' to ' + (y + rows));
    }
    bitmap.close();
    const status = core.ccall('qdp_importer_finish', 'number',
      ['number', 'string', 'string', 'number', 'number', 'number'],
      [importer, choices.mode, choices.dither, choices.changes, choices.budget, choices.compressed ? 1 : 0]);
    if (status !== 0) return { failure: text(core, core._qdp_importer_err(importer)) };
    const copy = (pointer, size) => core.HEAPU8.slice(pointer, pointer + size);
    const sourceWidth = core._qdp_importer_source_width(importer);
    const sourceHeight = core._qdp_importer_source_height(importer);
    return {
      summary: text(core, core._qdp_importer_out(importer)),
      project: copy(core._qdp_importer_project(importer), core._qdp_importer_project_size(importer)),
      source: { width: sourceWidth, height: sourceHeight,
        bytes: copy(core._qdp_importer_source(importer), sourceWidth * sourceHeight * 4) }
    };
  }

  self.onmessage = async (event) => {
    const job = event.data;
    let result;
    try {
      result = await importPicture(await starting, job);
    } catch (error) {
      result = { failure: 'The page could not import ' + job.name + ': ' + error };
    }
    result.id = job.id;
    self.postMessage(result);
  };
  starting.then(() => self.postMessage({ ready: true }));
}
