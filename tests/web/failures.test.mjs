// A file qdpext refuses shows qdpext's own message beside its name, offers
// nothing to download, and leaves the other files alone.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import { after, before, test } from 'node:test';
import {
  card, chooseLetters, demoFiles, download, drop, launch, openPage, pick, qdpext, root, runNative,
} from './support.mjs';

const regressions = path.join(root, 'tests/regressions');

// Inputs made here: a compressed project whose stream zlib rejects, and a
// file whose header is no project's. The recorded regression inputs add a
// conversion failure, cut streams and more.
const made = {
  'corrupt-stream.qdp': Buffer.concat([Buffer.from('QDPZLIB'), Buffer.from('this is no zlib stream at all')]),
  'not-a-project.qdp': Buffer.from('GIF: a picture of another kind entirely, not a project'),
  // Near misses of the compressed marker are plain projects, read as such.
  'marker-lower-case.qdp': Buffer.concat([Buffer.from('qdpzlib'), zlib.deflateSync(Buffer.alloc(4000, 40))]),
  'marker-other-start.qdp': Buffer.concat([Buffer.from('XYZZLIB'), zlib.deflateSync(Buffer.alloc(4000, 40))]),
};

let browser;
let page;
before(async () => {
  browser = await launch();
  page = await openPage(browser);
  await chooseLetters(page, 'SFMC');
  await pick(page, [demoFiles[0], ...fs.readdirSync(regressions).map((f) => path.join(regressions, f))]);
  for (const [name, bytes] of Object.entries(made)) await drop(page, name, bytes);
});
after(() => browser?.close());

const inputs = [
  ...fs.readdirSync(regressions).map((name) => [name, fs.readFileSync(path.join(regressions, name))]),
  ...Object.entries(made),
];

test('each refused file shows qdpext\'s message; the others are as qdpext writes them', async () => {
  const outcomes = new Set();
  for (const [name, bytes] of inputs) {
    const expected = runNative(qdpext, bytes, { after: ['-SFMC'] }, name);
    const shown = card(page, name);
    const failure = shown.locator('pre.failure');
    const button = shown.locator('button.download');
    outcomes.add(expected.status);
    if (expected.status === 0) {
      assert.equal(await failure.isHidden(), true, name);
      const saved = await download(page, button);
      assert.deepEqual(Object.keys(saved.files).sort(), Object.keys(expected.files).sort(), name);
      continue;
    }
    // An error report on standard error, or the conversion failure on
    // standard output: the page shows the same text, CR LF and all.
    const message = expected.status === 1 ? expected.err : expected.out;
    assert.notEqual(message, '', name);
    assert.equal(await failure.textContent(), message, name);
    assert.equal(await failure.isVisible(), true, name);
    assert.equal(await button.isDisabled(), true, `${name}: a download is offered for a refused file`);
  }
  // The inputs reach every way a run ends: written, refused, not convertible.
  assert.deepEqual([...outcomes].sort(), [0, 1, 3]);
  const messages = await page.locator('pre.failure:visible').allTextContents();
  assert.ok(messages.some((m) => m.includes('EZDecompressionError')), 'no corrupt stream shown');
  assert.ok(messages.some((m) => m.includes('EProjectError')), 'no rejected header shown');
});

test('the files beside the refused ones are unaffected', async () => {
  const name = path.basename(demoFiles[0]);
  const expected = runNative(qdpext, demoFiles[0], { after: ['-SFMC'] });
  assert.equal(await card(page, name).locator('pre.failure').isHidden(), true);
  const saved = await download(page, card(page, name).locator('button.download'));
  for (const [side, bytes] of Object.entries(expected.files)) assert.ok(bytes.equals(saved.files[side]), side);
  assert.deepEqual(page.errors, []);
});
