// How long the page takes from a dropped full-size project (width 48, 128
// fonts, the costliest conversion) to its picture on screen: prints the
// median of 20 drops and its parts. Needs the page of preset web and the
// programs of preset ci built (sh tools/test web does both):
//   node bench/page_timing.mjs
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { drop, launch, makeInputs, openPage } from '../tests/web/support.mjs';

const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'qdpweb-timing-'));
const browser = await launch();
try {
  const made = spawnSync(makeInputs, [dir]);
  if (made.status !== 0) throw new Error(`${makeInputs}: ${made.stderr}`);
  const project = fs.readFileSync(path.join(dir, 'full.qdp'));
  const page = await openPage(browser);
  const runs = [];
  for (let i = 0; i < 20; i++) {
    await drop(page, 'full.qdp', project);
    runs.push(await page.evaluate(() => window.qdpPage.timings.at(-1)));
    await page.locator('.card button.remove').click();
  }
  if (page.errors.length > 0) throw new Error(`the page failed: ${page.errors.join('; ')}`);
  // The whole, and its parts: reading the dropped file, running the core
  // and drawing, and waiting for the frame that shows it.
  const median = (key) => {
    const sorted = runs.map((run) => run[key]).sort((a, b) => a - b);
    return ((sorted[9] + sorted[10]) / 2).toFixed(1);
  };
  console.log(`drop to picture, full-size project (${project.length} bytes): median ${median('ms')} ms ` +
    `of 20 (reading ${median('read')}, core and drawing ${median('draw')}, next frame ${median('frame')})`);
} finally {
  await browser.close();
  fs.rmSync(dir, { recursive: true, force: true });
}
