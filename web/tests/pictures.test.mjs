// The page draws what qdpview draws: the picture and the font sheet on its
// canvases are, pixel for pixel, the PNG files qdpview writes (at scale
// 1), and the summary beside them is qdpview's text. Besides the demo
// files, the recorded regression inputs bring a failed rebuild (a picture
// and no font sheet) and files with no picture at all.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { PNG } from 'pngjs';
import { card, demoFiles, launch, openPage, pick, qdpview, root, runNative } from './support.mjs';

const regressions = path.join(root, 'tests/regressions');
const inputs = [...demoFiles, ...fs.readdirSync(regressions).map((f) => path.join(regressions, f))];

let browser;
let page;
before(async () => {
  browser = await launch();
  page = await openPage(browser);
  await pick(page, inputs);
});
after(() => browser?.close());

// The canvas's RGBA pixels, carried out of the page as base64.
async function canvasPixels(canvas) {
  const { width, height, data } = await canvas.evaluate((c) => {
    const pixels = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    let text = '';
    for (let i = 0; i < pixels.length; i += 0x8000) {
      text += String.fromCharCode.apply(null, pixels.subarray(i, i + 0x8000));
    }
    return { width: c.width, height: c.height, data: btoa(text) };
  });
  return { width, height, data: Buffer.from(data, 'base64') };
}

test('every picture, font sheet and summary is qdpview\'s', async () => {
  const drawn = { picture: 0, fonts: 0 };
  for (const file of inputs) {
    const name = path.basename(file);
    const native = runNative(qdpview, file, { before: ['-o', 'out'] });
    const shown = card(page, name);
    const pictures = {
      picture: ['canvas.picture', '.picture-frame', (f) => f.endsWith('.png') && !f.endsWith('-fonts.png')],
      fonts: ['canvas.sheet', '.sheet-frame', (f) => f.endsWith('-fonts.png')],
    };
    for (const [kind, [selector, frame, isIt]] of Object.entries(pictures)) {
      const written = Object.entries(native.files).find(([f]) => isIt(f));
      if (!written) {
        assert.equal(await shown.locator(frame).isHidden(), true, `${name}: a ${kind} qdpview does not draw`);
        continue;
      }
      const png = PNG.sync.read(written[1]);
      const canvas = await canvasPixels(shown.locator(selector));
      assert.deepEqual([canvas.width, canvas.height], [png.width, png.height], `${name}: ${kind}`);
      const differing = canvas.data.findIndex((value, i) => value !== png.data[i]);
      assert.equal(differing, -1, `${name}: ${kind} differs first at pixel ${Math.floor(differing / 4)}`);
      assert.equal(canvas.data.length, png.data.length);
      drawn[kind]++;
    }
    const summary = runNative(qdpview, file, { before: ['--no-images'] });
    assert.equal(await shown.locator('.summary').textContent(), summary.out + summary.err, name);
  }
  // Some files have a picture without a font sheet (a failed rebuild).
  assert.ok(drawn.picture > drawn.fonts && drawn.fonts >= demoFiles.length, JSON.stringify(drawn));
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
