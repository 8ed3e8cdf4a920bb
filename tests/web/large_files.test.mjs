// Files far larger than a project, dropped on the page: each gets what the
// command line gives it (side files or message, and qdpview's summary),
// the page logs no error, and the core's memory stays bounded. The 1 GiB
// files are sparse, so that they cost no disk.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import crypto from 'node:crypto';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';
import { after, before, test } from 'node:test';
import {
  card, chooseLetters, demoFiles, download, launch, openPage, pick, qdpext, qdpview,
} from './support.mjs';

const GiB = 2 ** 30;
const magic = Buffer.from('QDPZLIB');
const project = fs.readFileSync(demoFiles.find((f) => path.basename(f) === 'demo.qdp'));

// A stream of stored blocks that decodes to `project` and then zeros, to
// `size` bytes in all: only the project's bytes, the blocks' headers and
// the checksum are written, the rest of the file is a hole.
function storedStreamFile(file, size) {
  const fd = fs.openSync(file, 'w');
  let at = 0;
  const write = (bytes) => { fs.writeSync(fd, bytes, 0, bytes.length, at); at += bytes.length; };
  write(magic);
  write(Buffer.from([0x78, 0x01]));
  let a = 1;
  let b = 0;
  for (let decoded = 0; decoded < size;) {
    const length = Math.min(65535, size - decoded);
    const last = decoded + length === size ? 1 : 0;
    write(Buffer.from([last, length & 0xff, length >> 8, ~length & 0xff, (~length >> 8) & 0xff]));
    const data = decoded < project.length ? project.subarray(decoded, decoded + length) : null;
    if (data) fs.writeSync(fd, data, 0, data.length, at);
    const given = data ? data.length : 0;
    for (let i = 0; i < given; i++) {
      a = (a + data[i]) % 65521;
      b = (b + a) % 65521;
    }
    b = (b + a * (length - given)) % 65521;  // zeros leave a as it is
    at += length;
    decoded += length;
  }
  const check = Buffer.alloc(4);
  check.writeUInt32BE(((b << 16) | a) >>> 0);
  write(check);
  fs.closeSync(fd);
}

// `head` at the start of a file of `size` bytes whose rest is a hole.
function sparseFile(file, head, size) {
  fs.writeFileSync(file, head);
  fs.truncateSync(file, size);
}

const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'qdpweb-large-'));
const inputs = {
  // A compressed project followed by 16 MB of noise, all in its stream.
  'noise-16mb.qdp': () => fs.writeFileSync(path.join(dir, 'noise-16mb.qdp'), Buffer.concat([
    magic, zlib.deflateSync(Buffer.concat([project, crypto.randomBytes(16 << 20)]), { level: 1 })])),
  // A stream of 1 GiB that decodes to the project and zeros.
  'stored-1gib.qdp': () => storedStreamFile(path.join(dir, 'stored-1gib.qdp'), GiB),
  // A plain project, and a compressed one, followed by a hole to 1 GiB.
  'plain-1gib.qdp': () => sparseFile(path.join(dir, 'plain-1gib.qdp'), project, GiB),
  'stream-then-hole-1gib.qdp': () => sparseFile(path.join(dir, 'stream-then-hole-1gib.qdp'),
    Buffer.concat([magic, zlib.deflateSync(project)]), GiB),
  // A compressed one whose stream is all zeros: zlib refuses it at once.
  'zeros-1gib.qdp': () => sparseFile(path.join(dir, 'zeros-1gib.qdp'), magic, GiB),
};

// What the programs say and write, run where the file is.
function native(name) {
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'qdpweb-native-'));
  try {
    fs.linkSync(path.join(dir, name), path.join(work, name));
    const view = spawnSync(qdpview, ['--no-images', name], { cwd: work });
    const ext = spawnSync(qdpext, [name, '-SFMC'], { cwd: work });
    const files = {};
    for (const file of fs.readdirSync(work)) {
      if (file !== name) files[file] = fs.readFileSync(path.join(work, file));
    }
    return { summary: view.stdout.toString('latin1') + view.stderr.toString('latin1'), status: ext.status, err: ext.stderr.toString('latin1'), out: ext.stdout.toString('latin1'), files };
  } finally {
    fs.rmSync(work, { recursive: true, force: true });
  }
}

let browser;
let page;
before(async () => {
  for (const make of Object.values(inputs)) make();
  browser = await launch();
  page = await openPage(browser);
  await chooseLetters(page, 'SFMC');
});
after(async () => {
  await browser?.close();
  fs.rmSync(dir, { recursive: true, force: true });
});

for (const name of Object.keys(inputs)) {
  test(`${name}: the command line's answer`, { timeout: 300_000 }, async (t) => {
    await pick(page, [path.join(dir, name)]);
    const expected = native(name);
    const shown = card(page, name);
    assert.equal(await shown.locator('.summary').textContent(), expected.summary);
    if (expected.status === 0) {
      const saved = await download(page, shown.locator('button.download'));
      assert.deepEqual(Object.keys(saved.files).sort(), Object.keys(expected.files).sort());
      for (const [file, bytes] of Object.entries(expected.files)) assert.ok(saved.files[file].equals(bytes), file);
    } else {
      const message = expected.status === 1 ? expected.err : expected.out;
      assert.equal(await shown.locator('pre.failure').textContent(), message);
    }
    assert.deepEqual(page.errors, []);
    const memory = await page.evaluate(() => window.qdpPage.largestMemory);
    const heap = await page.evaluate(() => performance.memory ? performance.memory.usedJSHeapSize : 0);
    t.diagnostic(`${name}: the core's memory after it ${(memory / 2 ** 20).toFixed(1)} MiB, ` +
      `the page's script heap ${(heap / 2 ** 20).toFixed(1)} MiB`);
    assert.ok(memory <= 64 * 2 ** 20, `${memory} bytes`);
  });
}
