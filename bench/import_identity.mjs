// The page's imports against qdpimport's on many pictures made here:
// sizes taken as they stand and sizes fitted, alpha, grain, flat colours
// and hard edges, each with several sets of choices. Prints how many .qdp
// files were the same to the byte and names any that were not. Needs the
// page of preset web and the programs of preset ci:
//   node bench/import_identity.mjs [PICTURES]
import assert from 'node:assert/strict';
import { PNG } from 'pngjs';
import { download, launch, openPage, qdpimport, runNative } from '../tests/web/support.mjs';

const count = Number(process.argv[2] || 24);
let seed = 7;
const random = () => {
  seed = (Math.imul(seed, 1103515245) + 12345) >>> 0;
  return seed / 2 ** 32;
};
const sizes = [[320, 240], [160, 240], [256, 240], [384, 240], [128, 240], [192, 240],
  [640, 480], [333, 111], [100, 400], [1000, 700], [321, 240], [37, 23]];
const kinds = [
  (x, y, p) => [(x * p.a + p.c) & 255, (y * p.b) & 255, ((x + y) >> 1) & 255, 255],
  (x, y, p) => (((x >> p.s) ^ (y >> p.s)) & 1 ? p.one : p.two),
  (x, y, p) => [128 + 127 * Math.sin(x * p.a / 9 + y * p.b / 7) | 0, random() * 255 | 0, p.c, random() * 255 | 0],
  (x, y, p) => [p.c, (x * 255 / 400) | 0, 255 - ((y * 255 / 300) | 0), x % 5 === 0 ? 128 : 255],
];
function picture(i) {
  const [width, height] = sizes[i % sizes.length];
  const colour = () => [random() * 256 | 0, random() * 256 | 0, random() * 256 | 0, 255];
  const p = { a: random() * 3, b: random() * 3, c: random() * 256 | 0, s: 1 + (random() * 4 | 0), one: colour(), two: colour() };
  const kind = kinds[i % kinds.length];
  const png = new PNG({ width, height });
  for (let y = 0; y < height; y++) for (let x = 0; x < width; x++) png.data.set(kind(x, y, p), (y * width + x) * 4);
  return PNG.sync.write(png);
}
const choiceSets = [
  { mode: 'auto', palette: 'pal', dither: 'diffusion', budget: 0, changes: 5 },
  { mode: 'hires', palette: 'ntsc', dither: 'none', budget: 0, changes: 3 },
  { mode: 'four', palette: 'pal', dither: 'ordered', budget: 2, changes: 1 },
  { mode: 'gtia', palette: 'pal', dither: 'diffusion', budget: 0, changes: 0 },
  { mode: 'auto', palette: 'ntsc', dither: 'ordered', budget: 1, changes: 5 },
];

const browser = await launch();
let same = 0;
const differing = [];
try {
  const page = await openPage(browser);
  for (const [c, choices] of choiceSets.entries()) {
    await page.evaluate((hash) => { location.hash = hash; }, '#' + new URLSearchParams({ ...choices, form: 'plain' }));
    await page.waitForFunction((mode) => window.qdpPage.choices().mode === mode, choices.mode);
    for (let i = 0; i < count; i++) {
      const bytes = picture(i + c * count);
      const before = await page.evaluate(() => window.qdpPage.timings.length);
      await page.setInputFiles('#picker', { name: `p${i}.png`, mimeType: 'image/png', buffer: bytes });
      await page.waitForFunction((n) => window.qdpPage.timings.length === n, before + 1);
      const saved = await download(page, page.locator('.card button.download-project'));
      const args = ['--fit', '-o', 'out.qdp', '--mode', choices.mode, '--palette', choices.palette,
        '--dither', choices.dither, '--max-changes', String(choices.changes)];
      if (choices.budget > 0) args.push('--fonts', String(choices.budget));
      const native = runNative(qdpimport, bytes, { before: args }, `p${i}.png`);
      assert.equal(native.status, 0, native.err);
      if (saved.files[`p${i}.qdp`].equals(native.files['out.qdp'])) same++;
      else differing.push(`p${i}.png with ${JSON.stringify(choices)}`);
      await page.locator('.card button.remove').click();
    }
  }
  if (page.errors.length > 0) throw new Error(`the page failed: ${page.errors.join('; ')}`);
} finally {
  await browser.close();
}
console.log(`${same} of ${same + differing.length} imports the same to the byte as qdpimport's`);
for (const d of differing) console.log(`differs: ${d}`);
process.exitCode = differing.length > 0 ? 1 : 0;
