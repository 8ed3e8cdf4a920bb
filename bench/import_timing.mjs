// How long the page takes from a dropped 320 x 240 picture to both its
// pictures on screen (the picture taken and the machine's picture of the
// import): prints the median of 20 drops. Needs the page of preset web and
// the programs of preset ci built (sh tools/test web does both):
//   node bench/import_timing.mjs
import { PNG } from 'pngjs';
import { drop, launch, openPage } from '../tests/web/support.mjs';

// A photograph's kind of picture, made here: gradients and grain.
const png = new PNG({ width: 320, height: 240 });
for (let y = 0; y < 240; y++) {
  for (let x = 0; x < 320; x++) {
    const grain = ((Math.imul(x * 73856093 ^ y * 19349663, 2654435761) >>> 24) & 31) - 16;
    const clamp = (v) => Math.max(0, Math.min(255, Math.round(v + grain)));
    png.data.set([clamp(x * 0.75), clamp(y), clamp(128 + 100 * Math.sin((x + y) / 40)), 255], (y * 320 + x) * 4);
  }
}
const picture = PNG.sync.write(png);

const browser = await launch();
try {
  const page = await openPage(browser);
  // A user's first picture comes seconds after the page: the worker has
  // started and warmed up by then.
  await page.waitForFunction(() => window.qdpPage.importReady);
  const runs = [];
  for (let i = 0; i < 20; i++) {
    await drop(page, 'photo.png', picture);
    const timing = await page.evaluate(() => window.qdpPage.timings.at(-1));
    if (!timing.imported) throw new Error(`the picture was not imported: ${JSON.stringify(timing)}`);
    runs.push(timing.ms);
    await page.locator('.card button.remove').click();
  }
  if (page.errors.length > 0) throw new Error(`the page failed: ${page.errors.join('; ')}`);
  runs.sort((a, b) => a - b);
  console.log(`drop to both pictures, 320 x 240 picture imported with the defaults: median ` +
    `${((runs[9] + runs[10]) / 2).toFixed(1)} ms of 20 (fastest ${runs[0].toFixed(1)}, slowest ${runs[19].toFixed(1)})`);
} finally {
  await browser.close();
}
