// The page as a user meets it: nothing leaves the machine once it has
// loaded, it is usable by keyboard, and it looks as the README shows it.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { after, before, test } from 'node:test';
import {
  card, chooseLetters, demoFiles, download, launch, openPage, pageDir, pick, root,
} from './support.mjs';

let browser;
before(async () => {
  browser = await launch();
});
after(() => browser?.close());

// Serves the built page on a port of the loopback address, as tools/web
// does, so that every request the page makes is seen.
async function serve() {
  const server = http.createServer((request, response) => {
    const file = path.join(pageDir, path.normalize(decodeURIComponent(new URL(request.url, 'http://x').pathname)));
    if (!file.startsWith(pageDir) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200).end(fs.readFileSync(file));
  });
  await new Promise((listening) => server.listen(0, '127.0.0.1', listening));
  return server;
}

test('once loaded, the page makes no request, whatever the user does', async () => {
  const server = await serve();
  const origin = `http://127.0.0.1:${server.address().port}`;
  const page = await browser.newPage();
  const requests = [];
  page.on('request', (request) => requests.push(request.url()));
  try {
    await page.goto(`${origin}/index.html`);
    await page.waitForFunction(() => window.qdpPage && window.qdpPage.ready);
    await page.waitForLoadState('networkidle');
    // The import worker starts from a blob: address the page makes itself.
    assert.ok(requests.length > 0 && requests.every((url) => url.startsWith(origin + '/') || url.startsWith(`blob:${origin}/`)),
      requests.join(' '));
    requests.length = 0;

    await pick(page, [...demoFiles, path.join(root, 'examples/import-scene.png')]);
    await page.selectOption('#import-dither', 'ordered');
    await page.waitForFunction(() => window.qdpPage.imports.length === 2);
    await chooseLetters(page, 'SM');
    await page.selectOption('#zoom', '3');
    await download(page, page.locator('#download-all'));
    await download(page, card(page, path.basename(demoFiles[0])).locator('button.download'));
    await card(page, path.basename(demoFiles[0])).locator('button.remove').click();
    await page.waitForTimeout(300);
    // Downloads are made in the page, from blob: addresses; nothing else.
    assert.deepEqual(requests.filter((url) => !url.startsWith('blob:')), []);
  } finally {
    await page.close();
    server.close();
  }
});

test('the controls are reached and used by keyboard', async () => {
  const page = await openPage(browser);
  // Waiting for the file chooser from the start: playwright catches a
  // chooser only once it has told the browser to, which takes a moment.
  const chooser = page.waitForEvent('filechooser');
  const reached = [];
  const order = ['open', 'import-mode', 'import-palette', 'import-dither', 'import-budget', 'import-changes', 'import-form',
    'S', 'F', 'M', 'C', 'palette', 'gtia', 'bits', 'zoom', 'drop'];
  for (let i = 0; i < order.length; i++) {
    await page.keyboard.press('Tab');
    reached.push(await page.evaluate(() => document.activeElement.id || document.activeElement.value));
  }
  // Download all is skipped while there is nothing to download.
  assert.deepEqual(reached, order);
  await page.keyboard.press('Enter');
  await (await chooser).setFiles(demoFiles[0]);
  await page.waitForFunction(() => window.qdpPage.timings.length === 1);
  await page.focus('input[value=M]');
  await page.keyboard.press('Space');
  assert.equal(await page.isChecked('input[value=M]'), false);
  assert.doesNotMatch(await card(page, path.basename(demoFiles[0])).locator('.outcome').textContent(), /\.mic/);
  await page.close();
});

test('a screenshot of the demo at 1280 x 720', async () => {
  const page = await openPage(browser);
  await pick(page, [path.join(root, 'examples/demo.qdp')]);
  const file = path.join(pageDir, '..', 'web.png');
  await page.screenshot({ path: file });
  assert.ok(fs.statSync(file).size > 10000);
  assert.deepEqual(page.errors, []);
  await page.close();
});
