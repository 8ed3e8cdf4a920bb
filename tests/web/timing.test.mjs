// How long the page takes from a dropped full-size project (width 48, 128
// fonts, the costliest conversion) to its picture on screen: the median of
// 20 drops is printed, not asserted, as the project's other measurements.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { test } from 'node:test';
import { drop, launch, makeInputs, openPage } from './support.mjs';

test('drop to picture of a full-size project, median of 20', async (t) => {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'qdpweb-timing-'));
  const browser = await launch();
  try {
    const made = spawnSync(makeInputs, [dir]);
    assert.equal(made.status, 0, `${makeInputs}: ${made.stderr}`);
    const project = fs.readFileSync(path.join(dir, 'full.qdp'));
    const page = await openPage(browser);
    const runs = [];
    for (let i = 0; i < 20; i++) {
      await drop(page, 'full.qdp', project);
      runs.push(await page.evaluate(() => window.qdpPage.timings.at(-1)));
      await page.locator('.card button.remove').click();
    }
    assert.deepEqual(page.errors, []);
    // The whole, and its parts: reading the dropped file, running the core
    // and drawing, and waiting for the frame that shows it.
    const median = (key) => {
      const sorted = runs.map((run) => run[key]).sort((a, b) => a - b);
      return ((sorted[9] + sorted[10]) / 2).toFixed(1);
    };
    const line = `drop to picture, full-size project (${project.length} bytes): median ${median('ms')} ms ` +
      `of 20 (reading ${median('read')}, core and drawing ${median('draw')}, next frame ${median('frame')})`;
    t.diagnostic(line);
  } finally {
    await browser.close();
    fs.rmSync(dir, { recursive: true, force: true });
  }
});
