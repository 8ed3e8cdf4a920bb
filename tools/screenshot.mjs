// Takes the README's picture of the page, examples/web.png: the landscape
// the demo draws by code (examples/import-scene.png) dropped on the page
// at 1280 x 720, imported with the defaults, the picture taken beside the
// machine's. Needs the page of preset web and the programs of preset ci
// (sh tools/test web builds both):
//   node tools/screenshot.mjs [OUT.png]
import fs from 'node:fs';
import path from 'node:path';
import { drop, launch, openPage, root } from '../tests/web/support.mjs';

const out = process.argv[2] || path.join(root, 'examples/web.png');
const browser = await launch();
try {
  const page = await openPage(browser);
  await drop(page, 'scene.png', fs.readFileSync(path.join(root, 'examples/import-scene.png')));
  const timing = await page.evaluate(() => window.qdpPage.timings.at(-1));
  if (!timing.imported) throw new Error('the picture was not imported');
  // The zoom that fits both pictures side by side in the window.
  await page.selectOption('#zoom', '1');
  await page.mouse.move(0, 0);
  await page.screenshot({ path: out });
  if (page.errors.length > 0) throw new Error(`the page failed: ${page.errors.join('; ')}`);
  console.log(`${out}: ${fs.statSync(out).size} bytes`);
} finally {
  await browser.close();
}
