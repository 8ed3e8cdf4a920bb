// The page imports pictures as qdpimport does: for the same pixels and the
// same choices, the .qdp it gives is qdpimport's to the byte, and its
// canvas is qdpview's picture of that project. The pictures are made here:
// PNG by pngjs, JPEG and WebP by the browser's own encoder, and their
// pixels as the browser decoded them go to qdpimport as a PNG.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { PNG } from 'pngjs';
import { card, download, launch, openPage, qdpext, qdpimport, qdpview, runNative } from './support.mjs';

// A picture of `width` x `height` whose pixel (x, y) is colour(x, y) as
// [r, g, b, a], as PNG bytes.
function makePng(width, height, colour) {
  const png = new PNG({ width, height });
  for (let y = 0; y < height; y++) {
    for (let x = 0; x < width; x++) png.data.set(colour(x, y), (y * width + x) * 4);
  }
  return PNG.sync.write(png);
}

// A repeatable noise, so that the pictures are the same on every run.
function noise(x, y) {
  let h = (x * 374761393 + y * 668265263) >>> 0;
  h = Math.imul(h ^ (h >>> 13), 1274126177) >>> 0;
  return (h >>> 24) / 255;
}

// A photograph's kind of picture: smooth gradients, an edge and grain.
const photo = (x, y) => {
  const g = noise(x, y) * 24 - 12;
  const disc = (x - 200) ** 2 + (y - 110) ** 2 < 60 ** 2;
  return [
    Math.max(0, Math.min(255, Math.round((disc ? 230 : x * 0.7) + g))),
    Math.max(0, Math.min(255, Math.round((disc ? 60 : y * 0.9) + g))),
    Math.max(0, Math.min(255, Math.round(120 + 100 * Math.sin(x / 23 + y / 31) + g))),
    255,
  ];
};
const pictures = {
  // Taken as it stands.
  'photo.png': makePng(320, 240, photo),
  // Fitted, with alpha from clear to opaque laid over black.
  'wide.png': makePng(451, 197, (x, y) => [...photo(x % 320, y).slice(0, 3), x % 7 === 0 ? 0 : 255 - (y % 3) * 60]),
  // Half as wide, and few colours: the machine can show it exactly.
  'half.png': makePng(160, 240, (x, y) => ((x >> 3) + (y >> 4)) % 3 === 0 ? [0, 0, 0, 255] : [200, 80 + 40 * ((y >> 5) % 3), 40, 255]),
};

// A palette file made here.
const act = Buffer.alloc(768);
for (let i = 0; i < 256; i++) act.set([(i * 7) & 255, i, 255 - i], i * 3);

// Every value of every choice, each at least once: qdpimport's defaults
// first, then one choice changed at a time.
const defaults = { mode: 'auto', palette: 'pal', dither: 'diffusion', budget: 0, changes: 5, form: 'plain' };
const choiceSets = [
  {},
  { mode: 'hires', dither: 'none' },
  { mode: 'four', dither: 'ordered', changes: 2 },
  { mode: 'gtia', changes: 0 },
  { palette: 'ntsc', budget: 1 },
  { budget: 3, form: 'zlib' },
  { palette: 'mine-palette', changes: 1 },
].map((c) => ({ ...defaults, ...c }));

function nativeArgs(choices) {
  const args = ['--fit', '-o', 'out.qdp', '--mode', choices.mode, '--dither', choices.dither,
    '--max-changes', String(choices.changes), '--palette', choices.palette === 'mine-palette' ? './mine-palette' : choices.palette];
  if (choices.budget > 0) args.push('--fonts', String(choices.budget));
  if (choices.form === 'zlib') args.push('-z');
  return { before: args, files: choices.palette === 'mine-palette' ? { 'mine-palette': act } : {} };
}

let browser;
let page;
before(async () => {
  browser = await launch();
  page = await openPage(browser);
});
after(() => browser?.close());

async function importsDone() {
  return page.evaluate(() => window.qdpPage.imports.length);
}

// Sets the page's choices by its address, which re-imports every open
// picture once, and waits until each open picture has been imported.
async function choose(choices, pictureCount) {
  if (choices.palette === 'mine-palette') {
    await page.setInputFiles('#import-palette-picker', { name: 'mine-palette', mimeType: 'application/octet-stream', buffer: act });
  }
  const before = await importsDone();
  const fragment = new URLSearchParams({ ...choices, palette: choices.palette === 'mine-palette' ? 'file' : choices.palette });
  const changed = await page.evaluate((hash) => {
    const was = location.hash;
    location.hash = hash;
    return location.hash !== was;
  }, '#' + fragment);
  const want = JSON.stringify(pageChoices(choices));
  await page.waitForFunction((w) => JSON.stringify(window.qdpPage.choices()) === w, want);
  if (pictureCount > 0 && (changed || choices.palette === 'mine-palette')) {
    await page.waitForFunction(({ n, want }) => window.qdpPage.imports.length >= n &&
      JSON.stringify(window.qdpPage.imports.at(-1).choices) === want,
    { n: before + pictureCount, want });
  }
}

function pageChoices(c) {
  return { mode: c.mode, palette: c.palette, dither: c.dither, budget: c.budget, changes: c.changes, compressed: c.form === 'zlib' };
}

// Drops files (name to bytes) on the page, one drop each, each while the
// import of the one before is under way, and waits until each has settled.
async function dropAll(files) {
  const settled = Object.keys(files).length;
  const before = await page.evaluate(() => window.qdpPage.timings.length);
  await page.evaluate(async (list) => {
    const made = list.map(({ name, data }) => new File([Uint8Array.from(atob(data), (c) => c.charCodeAt(0))], name));
    for (const file of made) await file.arrayBuffer();
    for (const [i, file] of made.entries()) {
      if (i > 0) {
        while (!window.qdpPage.importing()) await new Promise((r) => setTimeout(r, 1));
      }
      const transfer = new DataTransfer();
      transfer.items.add(file);
      document.querySelector('#drop').dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
    }
  }, Object.entries(files).map(([name, bytes]) => ({ name, data: Buffer.from(bytes).toString('base64') })));
  await page.waitForFunction((n) => window.qdpPage.timings.length >= n, before + settled);
}

async function removeAll() {
  for (const button of await page.locator('.card button.remove').all()) await button.click();
}

// The browser's own pixels of `bytes`, decoded as the page decodes them,
// as PNG bytes.
async function decodedInBrowser(bytes) {
  const { width, height, data } = await page.evaluate(async (data) => {
    const blob = new Blob([Uint8Array.from(atob(data), (c) => c.charCodeAt(0))]);
    const bitmap = await createImageBitmap(blob, { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
    const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
    const context = canvas.getContext('2d', { willReadFrequently: true });
    context.drawImage(bitmap, 0, 0);
    const pixels = context.getImageData(0, 0, bitmap.width, bitmap.height).data;
    let text = '';
    for (let i = 0; i < pixels.length; i += 0x8000) text += String.fromCharCode.apply(null, pixels.subarray(i, i + 0x8000));
    return { width: bitmap.width, height: bitmap.height, data: btoa(text) };
  }, Buffer.from(bytes).toString('base64'));
  const png = new PNG({ width, height });
  Buffer.from(data, 'base64').copy(png.data);
  return PNG.sync.write(png);
}

// A picture the browser encodes (`type`: image/jpeg, image/webp) from the
// photograph, at a size to be fitted.
async function encodeInBrowser(type) {
  const data = await page.evaluate(async ({ png, type }) => {
    const blob = new Blob([Uint8Array.from(atob(png), (c) => c.charCodeAt(0))]);
    const bitmap = await createImageBitmap(blob, { resizeWidth: 400, resizeHeight: 300 });
    const canvas = new OffscreenCanvas(400, 300);
    canvas.getContext('2d').drawImage(bitmap, 0, 0);
    const jpeg = new Uint8Array(await (await canvas.convertToBlob({ type, quality: 0.85 })).arrayBuffer());
    let text = '';
    for (let i = 0; i < jpeg.length; i += 0x8000) text += String.fromCharCode.apply(null, jpeg.subarray(i, i + 0x8000));
    return btoa(text);
  }, { png: pictures['photo.png'].toString('base64'), type });
  return Buffer.from(data, 'base64');
}

// The canvas's RGBA pixels.
async function canvasPixels(canvas) {
  const data = await canvas.evaluate((c) => {
    const pixels = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    let text = '';
    for (let i = 0; i < pixels.length; i += 0x8000) text += String.fromCharCode.apply(null, pixels.subarray(i, i + 0x8000));
    return btoa(text);
  });
  return Buffer.from(data, 'base64');
}

// Checks the card of `name` against qdpimport run on `png` with `choices`:
// the downloaded .qdp byte for byte, and the canvas against qdpview's
// picture of it.
async function compare(name, png, choices, label) {
  const native = runNative(qdpimport, png, nativeArgs(choices), name.replace(/\.[a-z]+$/, '.png'));
  assert.equal(native.status, 0, `${label}: qdpimport: ${native.err}`);
  const shown = card(page, name);
  const saved = await download(page, shown.locator('button.download-project'));
  const stem = name.slice(0, name.lastIndexOf('.'));
  assert.deepEqual(Object.keys(saved.files), [stem + '.qdp'], label);
  assert.ok(saved.files[stem + '.qdp'].equals(native.files['out.qdp']), `${label}: the .qdp differs from qdpimport's`);
  const view = runNative(qdpview, native.files['out.qdp'], { before: ['-o', 'out'] }, 'out.qdp');
  const preview = Object.entries(view.files).find(([f]) => f.endsWith('.png') && !f.endsWith('-fonts.png'));
  const expected = PNG.sync.read(preview[1]);
  const drawn = await canvasPixels(shown.locator('canvas.picture'));
  assert.ok(drawn.equals(expected.data), `${label}: the canvas is not qdpview's picture`);
}

test('every choice, on PNG and JPEG pictures, gives qdpimport\'s .qdp and qdpview\'s picture', async () => {
  // The photograph through every set of choices, each re-importing it.
  await dropAll({ 'photo.png': pictures['photo.png'] });
  for (const choices of choiceSets) {
    await choose(choices, 1);
    await compare('photo.png', pictures['photo.png'], choices, `photo.png with ${JSON.stringify(choices)}`);
  }
  // Its side files are qdpext's of the project, as for any project.
  const project = runNative(qdpimport, pictures['photo.png'], nativeArgs(choiceSets.at(-1)), 'photo.png').files['out.qdp'];
  const sides = runNative(qdpext, project, { after: ['-SFMC'] }, 'photo.qdp').files;
  const saved = await download(page, card(page, 'photo.png').locator('button.download'));
  assert.equal(saved.name, 'photo.zip');
  assert.deepEqual(Object.keys(saved.files).sort(), Object.keys(sides).sort());
  for (const [name, bytes] of Object.entries(sides)) assert.ok(saved.files[name].equals(bytes), name);
  await removeAll();
  // The other pictures with the defaults, and the JPEG with another set.
  const jpeg = await encodeInBrowser('image/jpeg');
  const webp = await encodeInBrowser('image/webp');
  assert.equal(webp.subarray(8, 12).toString(), 'WEBP');
  const shot = ['shot.jpg', jpeg, await decodedInBrowser(jpeg)];
  for (const [choices, others] of [[choiceSets[0], [['wide.png', pictures['wide.png'], pictures['wide.png']],
    ['half.png', pictures['half.png'], pictures['half.png']], shot, ['shot.webp', webp, await decodedInBrowser(webp)]]],
  [choiceSets[2], [shot]]]) {
    await choose(choices, 0);
    for (const [name, bytes, pixels] of others) {
      await dropAll({ [name]: bytes });
      await compare(name, pixels, choices, `${name} with ${JSON.stringify(choices)}`);
      await removeAll();
    }
  }
  await choose(defaults, 0);
  assert.deepEqual(page.errors, []);
});

test('a second picture dropped during an import wins, and a choice re-imports it', async () => {
  await dropAll({ 'photo.png': pictures['photo.png'], 'half.png': pictures['half.png'] });
  const timings = await page.evaluate(() => window.qdpPage.timings.slice(-2));
  assert.equal(timings[0].cancelled, true);
  assert.equal(await page.locator('.card').count(), 1);
  assert.equal(await card(page, 'half.png').locator('canvas.source').isVisible(), true);
  const before = await importsDone();
  await page.selectOption('#import-mode', 'hires');
  await page.waitForFunction((n) => window.qdpPage.imports.length === n, before + 1);
  assert.match(await page.evaluate(() => location.hash), /mode=hires/);
  await compare('half.png', pictures['half.png'], { ...defaults, mode: 'hires' }, 'half.png re-imported');
  await page.selectOption('#import-mode', 'auto');
  await page.waitForFunction((n) => window.qdpPage.imports.length === n, before + 2);
  await removeAll();
});

test('a broken picture and one too large say so once, and the page goes on', async () => {
  const big = makePng(16385, 2, () => [9, 9, 9, 255]);
  const broken = Buffer.concat([pictures['photo.png'].subarray(0, 60), Buffer.alloc(40, 7)]);
  const native = runNative(qdpimport, big, { before: ['--fit'] }, 'big.png');
  // A picture is known by its first bytes, whatever its name.
  const fake = Buffer.from('GIF89a: a picture, by its first bytes, that is no picture');
  for (const [name, bytes, message] of [['broken.png', broken, 'The browser cannot read broken.png as a picture.'],
    ['fake.qdp', fake, 'The browser cannot read fake.qdp as a picture.'],
    ['big.png', big, native.err.trim()]]) {
    await dropAll({ [name]: bytes });
    const shown = card(page, name);
    assert.equal((await shown.locator('.failure').textContent()).trim(), message);
    assert.equal(await shown.locator('canvas.picture').isVisible(), false);
    await removeAll();
  }
  // A palette file qdpimport refuses is refused with its message.
  const short = Buffer.alloc(700, 3);
  const refusal = runNative(qdpimport, pictures['photo.png'], { before: ['--palette', './short-palette'], files: { 'short-palette': short } }, 'photo.png');
  assert.equal(refusal.status, 2);
  await page.setInputFiles('#import-palette-picker', { name: 'short-palette', mimeType: 'application/octet-stream', buffer: short });
  await page.waitForFunction(() => !document.querySelector('#drawing-failure').hidden);
  assert.equal(await page.locator('#drawing-failure').textContent(), refusal.err);
  assert.equal(await page.evaluate(() => window.qdpPage.choices().palette), 'pal');
  await dropAll({ 'photo.png': pictures['photo.png'] });
  await compare('photo.png', pictures['photo.png'], defaults, 'photo.png after the failures');
  await removeAll();
  assert.deepEqual(page.errors, []);
});

test('the keyboard alone opens a picture, changes every choice and downloads', async () => {
  // Tab to the control, as a user would.
  async function tabTo(selector) {
    for (let i = 0; i < 80; i++) {
      if (await page.evaluate((s) => document.activeElement?.matches(s), selector)) return;
      await page.keyboard.press('Tab');
    }
    throw new Error(`Tab never reached ${selector}`);
  }
  // Waiting for the file chooser from the start: playwright catches a
  // chooser only once it has told the browser to, which takes a moment.
  const chooser = page.waitForEvent('filechooser');
  await tabTo('#open');
  await page.keyboard.press('Enter');
  const before = await importsDone();
  await (await chooser).setFiles({ name: 'photo.png', mimeType: 'image/png', buffer: pictures['photo.png'] });
  await page.waitForFunction((n) => window.qdpPage.imports.length === n, before + 1);
  let done = before + 1;
  for (const [selector, key] of [['#import-mode', 'ArrowDown'], ['#import-palette', 'ArrowDown'], ['#import-dither', 'ArrowUp'],
    ['#import-budget', 'ArrowUp'], ['#import-changes', 'ArrowUp'], ['#import-form', 'ArrowDown']]) {
    await tabTo(selector);
    const was = await page.evaluate((s) => document.querySelector(s).value, selector);
    await page.keyboard.press(key);
    assert.notEqual(await page.evaluate((s) => document.querySelector(s).value, selector), was, selector);
    await page.waitForFunction((n) => window.qdpPage.imports.length === n, ++done);
  }
  const choices = { mode: 'hires', palette: 'ntsc', dither: 'ordered', budget: 1, changes: 4, form: 'zlib' };
  assert.deepEqual(await page.evaluate(() => window.qdpPage.imports.at(-1).choices), pageChoices(choices));
  await tabTo('.card button.download-project');
  const [saved] = await Promise.all([page.waitForEvent('download'), page.keyboard.press('Enter')]);
  const fs = await import('node:fs');
  const native = runNative(qdpimport, pictures['photo.png'], nativeArgs(choices), 'photo.png');
  assert.ok(fs.readFileSync(await saved.path()).equals(native.files['out.qdp']));
  await removeAll();
  assert.deepEqual(page.errors, []);
});

test('a link with choices in its address opens the page with them', async () => {
  const { pageUrl } = await import('./support.mjs');
  const linked = await openPage(browser, pageUrl + '#mode=gtia&palette=ntsc&dither=none&budget=2&changes=3&form=zlib');
  assert.deepEqual(await linked.evaluate(() => window.qdpPage.choices()),
    pageChoices({ mode: 'gtia', palette: 'ntsc', dither: 'none', budget: 2, changes: 3, form: 'zlib' }));
  await linked.close();
  // Choices that are none of qdpimport's leave its defaults.
  const odd = await openPage(browser, pageUrl + '#mode=sideways&budget=99&changes=-1&palette=mine-palette');
  assert.deepEqual(await odd.evaluate(() => window.qdpPage.choices()), pageChoices(defaults));
  await odd.close();
});
