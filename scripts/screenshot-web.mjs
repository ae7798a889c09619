#!/usr/bin/env node
// Takes a picture of the browser edition's page (the editor and the 3D view
// after an export) from the running page in headless Chromium, as a PNG.
//
//   scripts/screenshot-web.mjs OUT.png [SITE] [POINT...]
//
// SITE defaults to build/web/site (make web builds it). A POINT, NAME=X,Y with
// NAME one of P0 P1 P2 P3 A B, is dragged there with the mouse first, in the
// order given; then Tab exports and the picture is taken once the 3D view
// shows the solid.
//
// The README's picture, docs/web.png, is made with
//   scripts/screenshot-web.mjs docs/web.png A=560,110 B=560,930 P0=700,140 \
//       P1=1120,330 P2=640,700 P3=860,900
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { START, drag, openPage, startBrowser, waitForState } from '../tests/web/harness.mjs';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');
const args = process.argv.slice(2);
const out = args.shift();
if (!out) {
  console.error('usage: scripts/screenshot-web.mjs OUT.png [SITE] [POINT...]');
  process.exit(2);
}
const site = args[0] && !args[0].includes('=') ? args.shift() : path.join(root, 'build/web/site');
const points = args.map((arg) => {
  const match = arg.match(/^(P[0-3]|A|B)=(\d+),(\d+)$/);
  if (!match) {
    console.error(`screenshot-web: '${arg}' is not NAME=X,Y with NAME one of P0 P1 P2 P3 A B`);
    process.exit(2);
  }
  return [match[1], [Number(match[2]), Number(match[3])]];
});

const session = await startBrowser(path.resolve(site));
try {
  const page = await openPage(session.browser, session.url, { width: 1840, height: 1150 });
  await waitForState(page, 'running');
  const at = { ...START };
  for (const [name, target] of points) {
    await drag(page, at[name], target);
    at[name] = target;
  }
  await page.keyboard.press('Tab');
  await page.waitForFunction(() => document.getElementById('preview-note').hidden, { timeout: 10000 });
  // Two more frames: the drags are composed and the 3D view has drawn.
  await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))));
  const clip = await page.evaluate(() => {
    const box = document.querySelector('main').getBoundingClientRect();
    return { x: box.left, y: box.top, width: box.width, height: box.height };
  });
  fs.writeFileSync(out, await page.screenshot({ type: 'png', clip }));
  console.log(`screenshot-web: wrote ${out}`);
} finally {
  await session.close();
}
