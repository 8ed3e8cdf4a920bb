// What the browser tests share: Debian's chromium driven by playwright-core,
// the built page, and the native programs of preset ci to compare with.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { chromium } from 'playwright-core';
import { unzipSync } from 'fflate';

export const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
export const pageDir = process.env.QDP_WEB_PAGE || path.join(root, 'build-web/web');
export const pageUrl = pathToFileURL(path.join(pageDir, 'index.html')).href;
const native = process.env.QDP_NATIVE_BUILD || path.join(root, 'build-ci');
export const qdpext = path.join(native, 'qdpext');
export const qdpview = path.join(native, 'view/qdpview');
export const qdpimport = path.join(native, 'importer/qdpimport');
export const makeInputs = path.join(native, 'bench/make_inputs');

// The demo projects, plain and compressed.
export const demoFiles = fs.readdirSync(path.join(root, 'examples'))
  .filter((name) => /^demo.*\.qdp$/.test(name))
  .map((name) => path.join(root, 'examples', name));

export async function launch() {
  for (const program of [qdpext, qdpview, qdpimport]) {
    if (!fs.existsSync(program)) throw new Error(`${program} is missing: build preset ci first (sh tools/test web does)`);
  }
  const userData = fs.mkdtempSync(path.join(os.tmpdir(), 'qdpweb-chromium-'));
  const browser = await chromium.launchPersistentContext(userData, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    viewport: { width: 1280, height: 720 },
    acceptDownloads: true,
  });
  const close = browser.close.bind(browser);
  browser.close = async () => {
    await close();
    fs.rmSync(userData, { recursive: true, force: true });
  };
  return browser;
}

// A page of `browser` with the core started. Errors in the page fail the test.
export async function openPage(browser, url = pageUrl) {
  const page = await browser.newPage();
  page.errors = [];
  page.on('pageerror', (error) => page.errors.push(error));
  await page.goto(url);
  await page.waitForFunction(() => window.qdpPage && window.qdpPage.ready);
  return page;
}

// Opens `files` (paths) with the file button and waits until each shows.
export async function pick(page, files) {
  const before = await page.evaluate(() => window.qdpPage.timings.length);
  await page.setInputFiles('#picker', files);
  await page.waitForFunction((n) => window.qdpPage.timings.length === n, before + files.length);
}

// Drops one file (name and bytes) on the page as a user's drag would.
export async function drop(page, name, bytes) {
  const before = await page.evaluate(() => window.qdpPage.timings.length);
  await page.evaluate(async ({ name, data }) => {
    const file = new File([Uint8Array.from(atob(data), (c) => c.charCodeAt(0))], name);
    // Made in the page, the file's bytes first travel to the browser's own
    // store, which a file dropped from disk never waits for: that is done
    // before the drop, so that the drop costs what a user's costs.
    await file.arrayBuffer();
    const transfer = new DataTransfer();
    transfer.items.add(file);
    document.querySelector('#drop').dispatchEvent(
      new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
  }, { name, data: Buffer.from(bytes).toString('base64') });
  await page.waitForFunction((n) => window.qdpPage.timings.length === n, before + 1);
}

// The card of the file named `name` (the last one, when there are several).
export function card(page, name) {
  return page.locator('.card', { has: page.locator('h2.name', { hasText: new RegExp(`^${name.replace(/[.]/g, '\\.')}$`) }) }).last();
}

// Ticks exactly the side-file letters in `letters` ("SFMC", "", ...).
export async function chooseLetters(page, letters) {
  for (const letter of 'SFMC') {
    await page.setChecked(`input[name=letter][value=${letter}]`, letters.includes(letter));
  }
}

// Clicks `button` and returns the downloaded files by name: a zip's
// entries, or the one file.
export async function download(page, button) {
  const [saved] = await Promise.all([page.waitForEvent('download'), button.click()]);
  const bytes = fs.readFileSync(await saved.path());
  const name = saved.suggestedFilename();
  if (name.endsWith('.zip')) {
    const entries = unzipSync(bytes);
    return { name, files: Object.fromEntries(Object.entries(entries).map(([k, v]) => [k, Buffer.from(v)])) };
  }
  return { name, files: { [name]: bytes } };
}

// Runs the native program in a fresh folder holding a copy of `input`
// (under `name`) and of `args.files` (name to bytes), as a user would:
// `program ARGS.before NAME ARGS.after` there. Returns its status, output
// and the files it left there besides those.
export function runNative(program, input, args, name = path.basename(input)) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'qdpweb-native-'));
  try {
    const given = new Set([name, ...Object.keys(args.files || {})]);
    for (const [file, bytes] of Object.entries(args.files || {})) fs.writeFileSync(path.join(dir, file), bytes);
    fs.writeFileSync(path.join(dir, name), Buffer.isBuffer(input) ? input : fs.readFileSync(input));
    const run = spawnSync(program, [...args.before || [], name, ...args.after || []], { cwd: dir });
    const files = {};
    for (const file of fs.readdirSync(dir, { recursive: true })) {
      const full = path.join(dir, file);
      if (!given.has(file) && fs.statSync(full).isFile()) files[file] = fs.readFileSync(full);
    }
    return { status: run.status, out: run.stdout.toString('latin1'), err: run.stderr.toString('latin1'), files };
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

// Every set of side-file letters, from none to all four.
export const letterSets = Array.from({ length: 16 }, (_, bits) =>
  'SFMC'.split('').filter((_, i) => bits & (1 << i)).join(''));
