// Shared steps of the browser tests and benchmarks: serve the built site,
// start a browser through puppeteer-core (Debian's Chromium headless over the
// DevTools protocol, or Debian's Firefox ESR over WebDriver BiDi in a window on
// a private virtual display), open the page, read pictures back as
// screenshots, and compose the native reference frames and exports with
// frame_check. Every group of a test file runs in both browsers.
import { execFile, spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { promisify } from 'node:util';
import zlib from 'node:zlib';
import puppeteer from 'puppeteer-core';

import { serveDirectory } from '../web/server.mjs';

const run = promisify(execFile);

export const FRAME_WIDTH = 1280;
export const FRAME_HEIGHT = 1024;
// Where each scene point starts; its square covers columns x-5..x-1, rows y-2..y+2.
export const START = {
  P0: [10, 20],
  P1: [40, 400],
  P2: [500, 90],
  P3: [600, 700],
  A: [100, 100],
  B: [400, 400],
};

export const ENGINES = ['chromium', 'firefox'];
const CHROMIUM = process.env.CHROMIUM ?? '/usr/bin/chromium';
const FIREFOX = process.env.FIREFOX ?? '/usr/bin/firefox-esr';
// Headless software rendering with exact sRGB colours, and nothing that reaches
// for the network.
const CHROMIUM_FLAGS = [
  '--headless',
  '--disable-gpu',
  '--enable-unsafe-swiftshader',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
  '--force-color-profile=srgb',
  '--hide-scrollbars',
  '--mute-audio',
];

export class TestFailure extends Error {}

export function check(condition, why) {
  if (!condition) {
    throw new TestFailure(why);
  }
}

// Which engine each started browser is.
const engines = new WeakMap();

export function engineOf(page) {
  return engines.get(page.browser());
}

// A virtual display of our own, big enough for the largest viewport the tests
// use: headless Firefox has no WebGL without a GPU, windowed Firefox draws
// the 3D view with its software renderer. Returns { display, pid, stop }.
async function startDisplay() {
  const xvfb = spawn(
    'Xvfb',
    ['-displayfd', '3', '-screen', '0', '2600x1700x24', '-nolisten', 'tcp'],
    { stdio: ['ignore', 'ignore', 'pipe', 'pipe'] },
  );
  const stop = () => {
    process.off('exit', stop);
    xvfb.kill();
  };
  process.on('exit', stop);
  let said = '';
  xvfb.stderr.on('data', (data) => {
    said = (said + data).slice(-2000);
  });
  const display = await new Promise((resolve, reject) => {
    let number = '';
    xvfb.stdio[3].on('data', (data) => {
      number += data;
      if (number.includes('\n')) {
        resolve(`:${number.trim()}`);
      }
    });
    xvfb.on('error', reject);
    xvfb.on('exit', (code) =>
      reject(new TestFailure(`Xvfb ended (${code}) before it was ready: ${said}`)),
    );
  });
  return { display, pid: xvfb.pid, stop };
}

// The virtual display each windowed browser shows on.
const displays = new WeakMap();

async function launch(engine, work) {
  if (engine === 'firefox') {
    const { display, pid, stop } = await startDisplay();
    try {
      const browser = await puppeteer.launch({
        browser: 'firefox',
        protocol: 'webDriverBiDi',
        executablePath: FIREFOX,
        headless: false,
        env: { ...process.env, DISPLAY: display },
        timeout: 30000,
      });
      browser.on('disconnected', stop);
      displays.set(browser, pid);
      return browser;
    } catch (error) {
      stop();
      throw error;
    }
  }
  check(engine === 'chromium', `no browser engine '${engine}' (${ENGINES.join(', ')})`);
  const args = [...CHROMIUM_FLAGS, `--user-data-dir=${path.join(work, 'profile')}`];
  if (process.getuid?.() === 0) {
    args.push('--no-sandbox');
  }
  return puppeteer.launch({ executablePath: CHROMIUM, headless: true, args, timeout: 30000 });
}

// Serves `root`, starts the browser; returns { url, browser, engine, work,
// close, displayPid } (the virtual display's process, for a windowed browser).
export async function startBrowser(root, headers = {}, { engine = 'chromium' } = {}) {
  check(fs.existsSync(root), `no ${root} (make web builds it)`);
  const { server, url } = await serveDirectory(root, 0, headers);
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrovan-web-'));
  let browser;
  try {
    browser = await launch(engine, work);
  } catch (error) {
    server.close();
    fs.rmSync(work, { recursive: true, force: true });
    throw error;
  }
  engines.set(browser, engine);
  const close = async () => {
    await browser.close().catch(() => {});
    server.close();
    fs.rmSync(work, { recursive: true, force: true });
  };
  return { url, browser, engine, work, close, displayPid: displays.get(browser) ?? null };
}

// Opens the page in a new tab. Any page error or failed request fails the test.
// The default viewport holds the editor at one canvas pixel to one CSS pixel.
export async function openPage(
  browser,
  url,
  { width = 2560, height = 1600, deviceScaleFactor = 1, hasTouch = false, beforeLoad = null } = {},
) {
  const page = await browser.newPage();
  const problems = [];
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  page.on('requestfailed', (request) => problems.push(`request failed: ${request.url()}`));
  page.on('response', (response) => {
    if (response.status() >= 400) {
      problems.push(`HTTP ${response.status()}: ${response.url()}`);
    }
  });
  page.problems = problems;
  await page.setViewport({ width, height, deviceScaleFactor, hasTouch, isMobile: hasTouch });
  if (beforeLoad !== null) {
    await page.evaluateOnNewDocument(beforeLoad);
  }
  await page.goto(url, { waitUntil: 'load' });
  return page;
}

export async function waitForState(page, state, timeout = 20000) {
  await page
    .waitForFunction((want) => document.body.dataset.state === want, { timeout }, state)
    .catch(async () => {
      const seen = await page.evaluate(() => [
        document.body.dataset.state,
        document.body.innerText,
      ]);
      throw new TestFailure(
        `page state stayed '${seen[0]}', expected '${state}'; the page says: ${seen[1]}`,
      );
    });
}

// Opens the page and waits until the editor runs.
export async function startEditor(browser, url, options) {
  const page = await openPage(browser, url, options);
  await waitForState(page, 'running');
  return page;
}

export function checkNoProblems(page) {
  check(page.problems.length === 0, page.problems.join('\n'));
}

// The viewport point over canvas pixel (x, y), in whole CSS pixels (the
// editor is told whole client coordinates): the pixel itself at one to one,
// one at most a canvas pixel or two away when the editor is scaled down.
export async function viewportPoint(page, x, y) {
  const box = await page.evaluate(() => {
    const r = document.getElementById('editor').getBoundingClientRect();
    return { left: r.left, top: r.top, width: r.width, height: r.height };
  });
  return [
    Math.floor(box.left + ((x + 0.5) * box.width) / FRAME_WIDTH),
    Math.floor(box.top + ((y + 0.5) * box.height) / FRAME_HEIGHT),
  ];
}

// Waits until the editor rests with nothing queued: every message it was sent
// has been handled, each pass presenting once, and it makes no passes until
// the next input. Compare once then, never "until it matches". Returns the
// number of frames presented so far.
export async function waitForRest(page, timeout = 10000) {
  const rest = await page
    .waitForFunction(() => window.kestrovan.resting && [window.kestrovan.presents], {
      timeout,
      polling: 10,
    })
    .catch(() => null);
  check(rest !== null, `the editor did not come to rest in ${timeout / 1000} s`);
  return (await rest.jsonValue())[0];
}

// The page's mouse, waiting for the editor to rest after each step, so its
// queue never holds more than the step just taken.
export function pacedMouse(page) {
  const paced =
    (step) =>
    async (...args) => {
      await step(...args);
      await waitForRest(page);
    };
  return {
    move: paced((x, y) => page.mouse.move(x, y)),
    down: paced(() => page.mouse.down()),
    up: paced(() => page.mouse.up()),
  };
}

// Drags a scene point from where it is to (x, y) with real mouse input.
export async function drag(page, from, to) {
  const mouse = pacedMouse(page);
  const [fx, fy] = await viewportPoint(page, from[0] - 3, from[1]);
  const [tx, ty] = await viewportPoint(page, to[0], to[1]);
  await mouse.move(fx, fy);
  await mouse.down();
  await mouse.move(Math.round((fx + tx) / 2), Math.round((fy + ty) / 2));
  await mouse.move(tx, ty);
  await mouse.up();
}

// A screenshot of an element's box at device resolution, decoded: the
// picture as the screen shows it. Parts beyond the viewport are drawn too. A
// box at fractions of a CSS pixel is taken whole and cut to its device pixels.
export async function screenshotElement(page, selector) {
  const { box, ratio, inView } = await page.evaluate((s) => {
    const r = document.querySelector(s).getBoundingClientRect();
    const view = document.documentElement;
    return {
      box: {
        x: r.left + window.scrollX,
        y: r.top + window.scrollY,
        width: r.width,
        height: r.height,
      },
      ratio: window.devicePixelRatio,
      inView:
        r.left >= 0 && r.top >= 0 && r.right <= view.clientWidth && r.bottom <= view.clientHeight,
    };
  }, selector);
  const clip = { x: Math.floor(box.x), y: Math.floor(box.y) };
  clip.width = Math.ceil(box.x + box.width) - clip.x;
  clip.height = Math.ceil(box.y + box.height) - clip.y;
  const shot = decodePng(
    Buffer.from(await page.screenshot({ type: 'png', clip, captureBeyondViewport: !inView })),
  );
  const want = {
    x: Math.round((box.x - clip.x) * ratio),
    y: Math.round((box.y - clip.y) * ratio),
    width: Math.round(box.width * ratio),
    height: Math.round(box.height * ratio),
  };
  if (want.x === 0 && want.y === 0 && want.width === shot.width && want.height === shot.height) {
    return shot;
  }
  check(
    want.x + want.width <= shot.width && want.y + want.height <= shot.height,
    `a screenshot of ${selector} is ${shot.width}x${shot.height}, too small for its box`,
  );
  const rgb = Buffer.alloc(want.width * want.height * 3);
  for (let y = 0; y < want.height; ++y) {
    const from = ((want.y + y) * shot.width + want.x) * 3;
    shot.rgb.copy(rgb, y * want.width * 3, from, from + want.width * 3);
  }
  return { width: want.width, height: want.height, rgb };
}

// How many pixels of the 3D view differ from its background (the solid's),
// with the picture: { count, rgb }.
export async function solidPixels(page) {
  const shot = await screenshotElement(page, '#preview');
  let count = 0;
  for (let i = 0; i < shot.rgb.length; i += 3) {
    const off =
      Math.abs(shot.rgb[i] - 0x2c) +
      Math.abs(shot.rgb[i + 1] - 0x2c) +
      Math.abs(shot.rgb[i + 2] - 0x33);
    count += off > 24 ? 1 : 0;
  }
  return { count, rgb: shot.rgb };
}

// A pen in Chromium over the DevTools protocol (Firefox's WebDriver BiDi has
// none), at fractional CSS positions. Each step waits for the editor to rest:
// down(x, y), move(x, y) and up().
export function pacedPen(page) {
  const session = page.createCDPSession();
  let at = [0, 0];
  const step = (type, buttons, [x, y] = at) =>
    session
      .then((cdp) => {
        at = [x, y];
        const button = type === 'mouseMoved' && buttons === 0 ? 'none' : 'left';
        const event = { type, x, y, button, buttons, clickCount: 1, pointerType: 'pen' };
        return cdp.send('Input.dispatchMouseEvent', event);
      })
      .then(() => waitForRest(page));
  return {
    down: (x, y) => step('mouseMoved', 0, [x, y]).then(() => step('mousePressed', 1)),
    move: (x, y) => step('mouseMoved', 1, [x, y]),
    up: () => step('mouseReleased', 0),
  };
}

// A finger on the page's touch screen (open it with hasTouch): in Chromium
// over the DevTools protocol at fractional CSS positions, in Firefox over
// WebDriver BiDi at whole ones. Each step waits for the editor to rest:
// down(x, y, finger), move(x, y, finger) and up(finger), where `finger`
// tells the fingers on the screen apart.
export function pacedTouch(page) {
  const paced = (step) => step().then(() => waitForRest(page));
  if (engineOf(page) === 'firefox') {
    const context = page.mainFrame().browsingContext;
    const act = (finger, ...actions) =>
      paced(() =>
        context.performActions([
          { type: 'pointer', id: `finger${finger}`, parameters: { pointerType: 'touch' }, actions },
        ]),
      );
    const moveTo = (x, y) => ({ type: 'pointerMove', x: Math.round(x), y: Math.round(y) });
    return {
      down: (x, y, finger = 0) => act(finger, moveTo(x, y), { type: 'pointerDown', button: 0 }),
      move: (x, y, finger = 0) => act(finger, moveTo(x, y)),
      up: (finger = 0) => act(finger, { type: 'pointerUp', button: 0 }),
    };
  }
  const session = page.createCDPSession();
  const send = (method, event) => session.then((cdp) => cdp.send(method, event));
  const points = new Map();
  const touch = (type) =>
    paced(() =>
      send('Input.dispatchTouchEvent', {
        type: points.size === 0 ? 'touchEnd' : type,
        touchPoints: [...points].map(([id, [x, y]]) => ({ id, x, y })),
      }),
    );
  return {
    down: (x, y, finger = 0) => touch(points.set(finger, [x, y]) && 'touchStart'),
    move: (x, y, finger = 0) => touch(points.set(finger, [x, y]) && 'touchMove'),
    up: (finger = 0) => touch(points.delete(finger) && 'touchMove'),
  };
}

// RGB(A) 8-bit PNG, non-interlaced, as both browsers write: { width, height, rgb }.
export function decodePng(png) {
  check(png.readUInt32BE(0) === 0x89504e47, 'screenshot is not a PNG');
  let at = 8;
  let width = 0;
  let height = 0;
  let channels = 0;
  const idat = [];
  while (at < png.length) {
    const length = png.readUInt32BE(at);
    const type = png.toString('latin1', at + 4, at + 8);
    const data = png.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') {
      width = data.readUInt32BE(0);
      height = data.readUInt32BE(4);
      check(
        data[8] === 8 && (data[9] === 2 || data[9] === 6) && data[12] === 0,
        'unexpected PNG format',
      );
      channels = data[9] === 6 ? 4 : 3;
    } else if (type === 'IDAT') {
      idat.push(data);
    }
    at += 12 + length;
  }
  const raw = zlib.inflateSync(Buffer.concat(idat));
  const stride = width * channels;
  const pixels = Buffer.alloc(stride * height);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)];
    const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let i = 0; i < stride; ++i) {
      const left = i >= channels ? pixels[y * stride + i - channels] : 0;
      const up = y > 0 ? pixels[(y - 1) * stride + i] : 0;
      const upLeft = y > 0 && i >= channels ? pixels[(y - 1) * stride + i - channels] : 0;
      let predictor = 0;
      if (filter === 1) predictor = left;
      else if (filter === 2) predictor = up;
      else if (filter === 3) predictor = (left + up) >> 1;
      else if (filter === 4) {
        const p = left + up - upLeft;
        const pa = Math.abs(p - left);
        const pb = Math.abs(p - up);
        const pc = Math.abs(p - upLeft);
        predictor = pa <= pb && pa <= pc ? left : pb <= pc ? up : upLeft;
      }
      pixels[y * stride + i] = (line[i] + predictor) & 0xff;
    }
  }
  const rgb = Buffer.alloc(width * height * 3);
  for (let i = 0, j = 0; i < pixels.length; i += channels, j += 3) {
    rgb[j] = pixels[i];
    rgb[j + 1] = pixels[i + 1];
    rgb[j + 2] = pixels[i + 2];
  }
  return { width, height, rgb };
}

// The frame that frame_check composes for a scene, as { width, height, rgb }.
export async function nativeFrame(frameCheck, work, points = []) {
  const file = path.join(work, `frame-${points.join('_') || 'initial'}.ppm`);
  await run(frameCheck, ['write', file, ...points]);
  const ppm = fs.readFileSync(file);
  const header = ppm.toString('latin1', 0, 32).match(/^P6\s+(\d+)\s+(\d+)\s+255\s/);
  check(header !== null, 'frame_check wrote no binary PPM');
  return {
    width: Number(header[1]),
    height: Number(header[2]),
    rgb: ppm.subarray(header[0].length),
  };
}

// The object.3ds that Tab writes for a scene, composed natively.
export async function nativeExport(frameCheck, work, points = []) {
  const dir = fs.mkdtempSync(path.join(work, 'export-'));
  await run(frameCheck, ['export', dir, ...points]);
  return fs.readFileSync(path.join(dir, 'object.3ds'));
}

// Compares a screenshot of the editor canvas with a frame. Each canvas pixel
// must cover exactly `scale` x `scale` device pixels of its own colour.
export function compareFrame(shot, frame, scale = 1) {
  check(
    shot.width === frame.width * scale && shot.height === frame.height * scale,
    `screenshot is ${shot.width}x${shot.height}, expected ${frame.width * scale}x${frame.height * scale}`,
  );
  const differences = [];
  let count = 0;
  for (let y = 0; y < shot.height; ++y) {
    for (let x = 0; x < shot.width; ++x) {
      const s = (y * shot.width + x) * 3;
      const f = (Math.floor(y / scale) * frame.width + Math.floor(x / scale)) * 3;
      if (
        shot.rgb[s] !== frame.rgb[f] ||
        shot.rgb[s + 1] !== frame.rgb[f + 1] ||
        shot.rgb[s + 2] !== frame.rgb[f + 2]
      ) {
        count += 1;
        if (differences.length < 5) {
          const hex = (b, i) =>
            [...b.subarray(i, i + 3)].map((v) => v.toString(16).padStart(2, '0')).join('');
          differences.push(
            `(${x}, ${y}): expected #${hex(frame.rgb, f)}, shown #${hex(shot.rgb, s)}`,
          );
        }
      }
    }
  }
  return count === 0 ? null : `${count} device pixels differ; first ${differences.join('; ')}`;
}

// Checks, once the editor rests after the last action, that it shows `frame`
// exactly.
export async function checkFrame(page, frame, { scale = 1, what = 'the frame' } = {}) {
  await waitForRest(page);
  const mismatch = compareFrame(await screenshotElement(page, '#editor'), frame, scale);
  check(mismatch === null, `the editor does not show ${what}: ${mismatch}`);
}

// Checks that the page's points (window.kestrovan.points) are the start
// scene's but for `moved` ({ P2: [x, y], ... }); `hidden` names those whose
// square shows nowhere.
export async function checkPoints(page, moved = {}, hidden = []) {
  await waitForRest(page);
  const want = Object.entries({ ...START, ...moved }).map(([name, [x, y]]) =>
    JSON.stringify({ x, y, hidden: hidden.includes(name) }),
  );
  const got = (await page.evaluate(() => window.kestrovan.points)).map((p) => JSON.stringify(p));
  check(got.join() === want.join(), `the page's points are ${got}, not ${want}`);
  const fields = await page.$$eval('#points input', (inputs) => inputs.map((i) => i.value));
  const values = Object.values({ ...START, ...moved }).flat();
  check(fields.join() === values.join(), `the points' fields show ${fields}, not ${values}`);
}

// Waits until the program has ended; its exit code.
export async function waitForEnd(page, timeout = 20000) {
  await page
    .waitForFunction(() => document.body.dataset.exitCode !== undefined, { timeout })
    .catch(() => check(false, `the editor did not end in ${timeout / 1000} s`));
  return Number(await page.evaluate(() => document.body.dataset.exitCode));
}

// Runs axe-core's WCAG 2.2 A and AA rules on the page: none may fail.
const AXE = fs.readFileSync(
  new URL('../node_modules/axe-core/axe.min.js', import.meta.url),
  'utf8',
);
export async function checkAccessible(page, when) {
  await page.evaluate(AXE);
  const tags = ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'wcag22aa'];
  const found = await page.evaluate(async (values) => {
    const { violations } = await window.axe.run(document, { runOnly: { type: 'tag', values } });
    return violations.map((v) => `${v.id} (${v.nodes.map((n) => n.target).join(' ')})`);
  }, tags);
  check(found.length === 0, `${when}, axe-core finds: ${found.join('; ')}`);
}

// Waits until `count` exports have been offered and the editor rests, and
// checks that the count is exactly `count`: an extra export fails.
export async function checkExports(page, count, timeout = 10000) {
  await page
    .waitForFunction((n) => Number(document.body.dataset.exports) >= n, { timeout }, count)
    .catch(() => {});
  await waitForRest(page);
  const got = await page.evaluate(() => Number(document.body.dataset.exports));
  check(got === count, `data-exports is ${got}, expected ${count}`);
}

// Waits until the 3D view has drawn its `count`th solid.
export async function waitForSolid(page, count, timeout = 10000) {
  await page
    .waitForFunction(
      (n) => Number(document.getElementById('preview').dataset.shown) >= n,
      { timeout },
      count,
    )
    .catch(() => {});
  const shown = await page.evaluate(() =>
    Number(document.getElementById('preview').dataset.shown ?? 0),
  );
  check(shown === count, `the 3D view has drawn ${shown} solids, expected ${count}`);
}

// The bytes behind #download, read in the page.
export async function offeredBytes(page) {
  const base64 = await page.evaluate(async () => {
    const link = document.getElementById('download');
    if (link.hidden || !link.href) {
      return null;
    }
    const bytes = new Uint8Array(await (await fetch(link.href)).arrayBuffer());
    let text = '';
    for (const b of bytes) text += String.fromCharCode(b);
    return btoa(text);
  });
  return base64 === null ? null : Buffer.from(base64, 'base64');
}

// Runs the named groups of a test file, each in every browser engine (or in
// those KESTROVAN_BROWSERS names, comma-separated):
//   node FILE SITE FRAME_CHECK [GROUP...]
// Each engine starts once, and each group gets a fresh browser context of its
// own (no cookies, storage or cache from the group before) as `browser`.
export async function runGroups(groups) {
  const [site, frameCheck, ...wanted] = process.argv.slice(2);
  if (!site || !frameCheck) {
    console.error(
      `usage: node ${path.basename(process.argv[1])} SITE FRAME_CHECK [${Object.keys(groups).join('|')}...]`,
    );
    process.exit(2);
  }
  const names = wanted.length > 0 ? wanted : Object.keys(groups);
  const chosen = process.env.KESTROVAN_BROWSERS
    ? process.env.KESTROVAN_BROWSERS.split(',')
    : ENGINES;
  const unknown = [
    ...names.filter((name) => groups[name] === undefined),
    ...chosen.filter((engine) => !ENGINES.includes(engine)),
  ];
  if (unknown.length > 0) {
    console.error(`unknown group or browser: ${unknown.join(', ')}`);
    process.exit(2);
  }
  if (!fs.existsSync(path.join(site, 'index.html'))) {
    console.error(`FAIL: no site at ${site} (make web builds it)`);
    process.exit(1);
  }
  // Every browser starts at once: Firefox's slow start overlaps the run in
  // Chromium.
  const starting = chosen.map((engine) =>
    startBrowser(path.resolve(site), {}, { engine }).then(
      (session) => ({ session }),
      (error) => ({ error }),
    ),
  );
  let failed = 0;
  for (const [index, engine] of chosen.entries()) {
    const { session, error } = await starting[index];
    for (const name of names) {
      const what = `${name} in ${engine}`;
      const started = Date.now();
      let context = null;
      try {
        if (error) {
          throw error;
        }
        context = await session.browser.createBrowserContext();
        await groups[name]({ ...session, browser: context, frameCheck: path.resolve(frameCheck) });
        console.log(`PASS ${what} (${((Date.now() - started) / 1000).toFixed(1)} s)`);
      } catch (failure) {
        failed += 1;
        console.error(
          `FAIL ${what}: ${failure instanceof TestFailure ? failure.message : failure.stack}`,
        );
      } finally {
        await context?.close().catch(() => {});
      }
    }
    await session?.close();
  }
  process.exit(failed === 0 ? 0 : 1);
}
