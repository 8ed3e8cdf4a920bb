// The page draws what qdpview draws: the picture and the font sheet on its
// canvases are, pixel for pixel, the PNG files qdpview writes for the same
// palette, GTIA mode and 1-bit choice, and the summary beside them is
// qdpview's text. Besides the demo files (every line mode), the recorded
// regression inputs bring a failed rebuild (a picture and no font sheet)
// and files with no picture at all.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { PNG } from 'pngjs';
import { card, demoFiles, launch, openPage, pick, qdpview, root, runNative } from './support.mjs';

const regressions = path.join(root, 'tests/regressions');
const inputs = [...demoFiles, ...fs.readdirSync(regressions).map((f) => path.join(regressions, f))];

// Palette files made here: every colour byte a colour of its own, as 768
// bytes and as the 772 that image editors write.
const act = Buffer.alloc(768);
for (let i = 0; i < 256; i++) act.set([i, 255 - i, (i * 37) & 255], i * 3);
const act772 = Buffer.concat([act, Buffer.from([0, 1, 0, 255])]);
// A palette file named like a built-in palette is still the file.
const namedLikePal = Buffer.from(act).reverse();

// The drawings compared: each built-in palette with each GTIA mode, the
// palette files, and the 1-bit bitmap.
const drawings = [
  ...['pal', 'ntsc'].flatMap((palette) => ['9', '10', '11'].map((gtia) => ({ palette, gtia }))),
  { palette: 'mine-palette', bytes: act, gtia: '10' },
  { palette: 'editor-palette', bytes: act772, gtia: '9' },
  { palette: 'PAL', bytes: namedLikePal, gtia: '11' },
  { palette: 'pal', gtia: '9', bits: true },
];

let browser;
let page;
before(async () => {
  browser = await launch();
  page = await openPage(browser);
  await pick(page, inputs);
});
after(() => browser?.close());

async function choose(drawing) {
  if (drawing.bytes) {
    await page.setInputFiles('#palette-picker', { name: drawing.palette, mimeType: 'application/octet-stream', buffer: drawing.bytes });
    await page.waitForFunction((name) => document.querySelector('#palette').selectedOptions[0].textContent === name, drawing.palette);
  } else {
    await page.selectOption('#palette', drawing.palette);
  }
  await page.selectOption('#gtia', drawing.gtia);
  await page.setChecked('#bits', Boolean(drawing.bits));
  assert.equal(await page.locator('#drawing-failure').isHidden(), true);
}

function nativeArgs(drawing) {
  // A file is named with its directory, as a file named like a built-in
  // palette must be.
  const palette = drawing.bytes ? './' + drawing.palette : drawing.palette;
  const args = ['-o', 'out', '--palette', palette, '--gtia', drawing.gtia];
  if (drawing.bits) args.push('--bits');
  return { before: args, files: drawing.bytes ? { [drawing.palette]: drawing.bytes } : {} };
}

// The canvas's RGBA pixels, carried out of the page as base64, and drawn
// at the scale the page shows them at relative to the picture (the font
// sheet at twice it, as qdpview writes it).
async function canvasPixels(canvas) {
  const { width, height, scale, data } = await canvas.evaluate((c) => {
    const pixels = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    let text = '';
    for (let i = 0; i < pixels.length; i += 0x8000) {
      text += String.fromCharCode.apply(null, pixels.subarray(i, i + 0x8000));
    }
    return { width: c.width, height: c.height, scale: Number(c.dataset.scale), data: btoa(text) };
  });
  const pixels = Buffer.from(data, 'base64');
  const scaled = Buffer.alloc(pixels.length * scale * scale);
  for (let y = 0; y < height * scale; y++) {
    for (let x = 0; x < width * scale; x++) {
      const from = (Math.floor(y / scale) * width + Math.floor(x / scale)) * 4;
      pixels.copy(scaled, (y * width * scale + x) * 4, from, from + 4);
    }
  }
  return { width: width * scale, height: height * scale, data: scaled };
}

// Compares the card of `file` with what qdpview writes for `drawing`;
// returns which pictures there were.
async function compare(file, drawing) {
  const name = path.basename(file);
  const label = `${name} with ${JSON.stringify({ ...drawing, bytes: undefined })}`;
  const native = runNative(qdpview, file, nativeArgs(drawing));
  const shown = card(page, name);
  const pictures = {
    picture: ['canvas.picture', '.picture-frame', (f) => f.endsWith('.png') && !f.endsWith('-fonts.png')],
    fonts: ['canvas.sheet', '.sheet-frame', (f) => f.endsWith('-fonts.png')],
  };
  const drawn = [];
  for (const [kind, [selector, frame, isIt]] of Object.entries(pictures)) {
    const written = Object.entries(native.files).find(([f]) => isIt(f));
    if (!written) {
      assert.equal(await shown.locator(frame).isHidden(), true, `${label}: a ${kind} qdpview does not draw`);
      continue;
    }
    const png = PNG.sync.read(written[1]);
    const canvas = await canvasPixels(shown.locator(selector));
    assert.deepEqual([canvas.width, canvas.height], [png.width, png.height], `${label}: ${kind}`);
    const differing = canvas.data.findIndex((value, i) => value !== png.data[i]);
    assert.equal(differing, -1, `${label}: ${kind} differs first at pixel ${Math.floor(differing / 4)}`);
    drawn.push(kind);
  }
  return drawn;
}

test('every demo file in every palette, GTIA mode and the 1-bit view is qdpview\'s picture', async () => {
  // Each drawing shows the demo differently: a page that ignored a choice
  // would show one picture twice.
  const seen = new Set();
  for (const drawing of drawings) {
    await choose(drawing);
    for (const file of demoFiles) {
      assert.deepEqual(await compare(file, drawing), ['picture', 'fonts']);
    }
    seen.add((await card(page, path.basename(demoFiles[0])).locator('canvas.picture').screenshot()).toString('base64'));
  }
  assert.equal(seen.size, drawings.length);
  await choose(drawings[0]);
});

test('every input\'s pictures and summary are qdpview\'s', async () => {
  let pictures = 0;
  let sheets = 0;
  for (const file of inputs) {
    const drawn = await compare(file, drawings[0]);
    pictures += drawn.includes('picture');
    sheets += drawn.includes('fonts');
    const summary = runNative(qdpview, file, { before: ['--no-images'] });
    assert.equal(await card(page, path.basename(file)).locator('.summary').textContent(),
      summary.out + summary.err, path.basename(file));
  }
  // Some files have a picture without a font sheet (a failed rebuild).
  assert.ok(pictures > sheets && sheets >= demoFiles.length, `${pictures} pictures, ${sheets} font sheets`);
});

test('a palette file qdpview refuses is refused with its message, and the drawing stays', async () => {
  const before = await card(page, path.basename(demoFiles[0])).locator('canvas.picture').screenshot();
  const bad = Buffer.alloc(700, 7);
  const native = runNative(qdpview, demoFiles[0], { before: ['--palette', 'short-palette'], files: { 'short-palette': bad } });
  assert.equal(native.status, 2);
  await page.setInputFiles('#palette-picker', { name: 'short-palette', mimeType: 'application/octet-stream', buffer: bad });
  await page.waitForFunction(() => !document.querySelector('#drawing-failure').hidden);
  assert.equal(await page.locator('#drawing-failure').textContent(), native.err);
  assert.equal(await page.inputValue('#palette'), 'pal');
  const after = await card(page, path.basename(demoFiles[0])).locator('canvas.picture').screenshot();
  assert.ok(before.equals(after), 'the picture changed after a refused palette');
  assert.deepEqual(page.errors, []);
});

test('the zoom shows every pixel as a crisp square of 1 to 4 screen pixels', async () => {
  const picture = card(page, path.basename(demoFiles[0])).locator('canvas.picture');
  const width = await picture.evaluate((c) => c.width);
  for (const zoom of ['1', '2', '3', '4']) {
    await page.selectOption('#zoom', zoom);
    const box = await picture.boundingBox();
    assert.equal(box.width, width * Number(zoom));
  }
  assert.equal(await picture.evaluate((c) => getComputedStyle(c).imageRendering), 'pixelated');
  await page.selectOption('#zoom', '2');
});
