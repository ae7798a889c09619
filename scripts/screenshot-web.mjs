#!/usr/bin/env node
// Takes a picture of the browser edition's page (the editor and the 3D view
// after an export) from the running page in headless Chromium, as a PNG of
// the whole viewport, 1366x657 CSS pixels (a common laptop's browser window)
// unless SIZE=WxH says otherwise.
//
//   scripts/screenshot-web.mjs OUT.png [SITE] [SIZE=WxH] [POINT...]
//
// SITE defaults to build/web/site (make web builds it). A POINT, NAME=X,Y with
// NAME one of P0 P1 P2 P3 A B, is dragged there with the mouse first, in the
// order given (on a scaled-down editor it lands on the canvas pixel the
// pointer falls in, next to X,Y); then Tab exports and the picture is taken
// once the 3D view has drawn the solid.
//
// The README's picture, docs/web.png, is made with
//   scripts/screenshot-web.mjs docs/web.png A=560,110 B=560,930 P0=700,140 \
//       P1=1120,330 P2=640,700 P3=860,900
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import {
  START,
  drag,
  openPage,
  startBrowser,
  waitForRest,
  waitForSolid,
  waitForState,
} from '../harness/browser.mjs';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');
const args = process.argv.slice(2);
const out = args.shift();
if (!out) {
  console.error('usage: scripts/screenshot-web.mjs OUT.png [SITE] [SIZE=WxH] [POINT...]');
  process.exit(2);
}
const site = args[0] && !args[0].includes('=') ? args.shift() : path.join(root, 'build/web/site');
let [width, height] = [1366, 657];
if (args[0]?.startsWith('SIZE=')) {
  const size = args.shift().match(/^SIZE=(\d+)x(\d+)$/);
  if (!size) {
    console.error('screenshot-web: SIZE is WIDTHxHEIGHT, for example SIZE=1366x657');
    process.exit(2);
  }
  [width, height] = [Number(size[1]), Number(size[2])];
}
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
  const page = await openPage(session.browser, session.url, { width, height });
  await waitForState(page, 'running');
  const at = { ...START };
  for (const [name, target] of points) {
    await drag(page, at[name], target);
    at[name] = target;
  }
  await page.keyboard.press('Tab');
  await waitForSolid(page, 1);
  await waitForRest(page);
  fs.writeFileSync(out, await page.screenshot({ type: 'png' }));
  console.log(`screenshot-web: wrote ${out}`);
} finally {
  await session.close();
}
