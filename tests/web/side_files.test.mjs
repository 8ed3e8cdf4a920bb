// The page's side files are qdpext's: for every demo file and every set of
// letters, the download holds exactly the files `qdpext FILE -LETTERS`
// writes, byte for byte, or nothing where qdpext writes nothing.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';
import {
  card, chooseLetters, demoFiles, download, drop, launch, letterSets, openPage, pick, qdpext, runNative,
} from './support.mjs';

let browser;
let page;
before(async () => {
  browser = await launch();
  page = await openPage(browser);
  await pick(page, demoFiles);
});
after(() => browser?.close());

test('the page offers the side-file letters qdpext lists, and no other', async () => {
  const usage = spawnSync(qdpext, []).stdout.toString('latin1');
  const listed = Array.from(usage.matchAll(/^-([a-z])\t/gm), (m) => m[1].toUpperCase()).sort();
  const offered = (await page.locator('input[name=letter]').evaluateAll((boxes) => boxes.map((b) => b.value))).sort();
  assert.ok(listed.length > 0, `no letters in qdpext's usage:\n${usage}`);
  assert.deepEqual(offered, listed);
  assert.deepEqual([...letterSets.at(-1)].sort(), listed, 'the tests\' letter sets miss a letter');
});

for (const file of demoFiles) {
  const name = path.basename(file);
  test(`${name}: every letter set gives qdpext's side files`, async () => {
    const button = card(page, name).locator('button.download');
    for (const letters of letterSets) {
      const expected = runNative(qdpext, file, { after: letters ? ['-' + letters] : [] });
      await chooseLetters(page, letters);
      if (expected.status !== 0) {
        assert.equal(expected.status, 2, `qdpext ${name} -${letters}: ${expected.err}`);
        assert.deepEqual(expected.files, {});
        assert.equal(await button.isDisabled(), true, `-${letters} writes nothing, yet a download is offered`);
        continue;
      }
      const saved = await download(page, button);
      assert.deepEqual(Object.keys(saved.files).sort(), Object.keys(expected.files).sort(), `-${letters}`);
      for (const [side, bytes] of Object.entries(expected.files)) {
        assert.ok(bytes.equals(saved.files[side]), `${side} for -${letters} differs from qdpext's`);
      }
    }
  });
}

test('several files come as one zip with each file\'s side files', async () => {
  await chooseLetters(page, 'SFMC');
  // Two files dropped from different folders may share a stem (demo.qdp
  // and demo.QDP both give demo.mic): then each file's side files go in a
  // folder of its name.
  const twin = demoFiles.find((f) => f.endsWith('demo-compressed.qdp'));
  await drop(page, 'demo.QDP', fs.readFileSync(twin));
  const saved = await download(page, page.locator('#download-all'));
  assert.match(saved.name, /\.zip$/);
  const expected = {};
  for (const [name, file] of [...demoFiles.map((f) => [path.basename(f), f]), ['demo.QDP', twin]]) {
    for (const [side, bytes] of Object.entries(runNative(qdpext, file, { after: ['-SFMC'] }, name).files)) {
      expected[`${name}/${side}`] = bytes;
    }
  }
  assert.deepEqual(Object.keys(saved.files).sort(), Object.keys(expected).sort());
  for (const [side, bytes] of Object.entries(expected)) assert.ok(bytes.equals(saved.files[side]), side);
  assert.deepEqual(page.errors, []);
});
