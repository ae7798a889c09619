// How light the browser edition's page loads, in headless Chromium served by
// web/server.mjs (not a test: figures to read against the goals).
//
//   node bench/web/load_bench.mjs SITE [RUNS]
//
// Reports, for a first load with an empty cache:
//   - everything the page fetches until the network is quiet, as transferred
//     (with the server's compression) and uncompressed: the geometry library
//     among it, which the page fetches once the editor runs, when its service
//     worker would fetch it for its cache anyway
//   - what it fetched before the editor's first frame, uncompressed (goal
//     <= 150 KiB)
//   - what the first export (a Tab once the network is quiet) fetches
//     (expected: nothing)
//   - the whole first visit as the server sent it, the service worker's
//     precache of every file included (goal <= 450 KiB)
//   - the time from navigation to the editor running (data-state "running"),
//     the first frame and the 3D view's code arriving, and from that Tab to
//     its offers, the median of RUNS loads under mobile conditions: 1.6 Mbit/s
//     down, 750 kbit/s up, 150 ms round trip, the processor slowed 4x (goal
//     for running < 1.5 s)
import path from 'node:path';

import { startBrowser } from '../../harness/browser.mjs';
import { serveDirectory } from '../../web/server.mjs';

const [site, runsArgument = '5'] = process.argv.slice(2);
if (!site) {
  console.error('usage: node bench/web/load_bench.mjs SITE [RUNS]');
  process.exit(2);
}
const RUNS = Math.max(1, Number(runsArgument));
const KiB = 1024;
const MOBILE_NETWORK = {
  offline: false,
  latency: 150,
  downloadThroughput: (1.6 * 1024 * 1024) / 8,
  uploadThroughput: (750 * 1024) / 8,
};

// Notes, in the page's own clock, when the editor first presents, when the
// page first says it is running, and when the first export is asked for and
// offered.
function watchStart() {
  window.loadMarks = {};
  const put = CanvasRenderingContext2D.prototype.putImageData;
  CanvasRenderingContext2D.prototype.putImageData = function (...args) {
    window.loadMarks.firstFrame ??= performance.now();
    return put.apply(this, args);
  };
  new MutationObserver(() => {
    if (document.body?.dataset.state === 'running') {
      window.loadMarks.running ??= performance.now();
    }
  }).observe(document, { subtree: true, attributes: true, attributeFilter: ['data-state'] });
  window.addEventListener('keydown', () => (window.loadMarks.tab ??= performance.now()), true);
  new MutationObserver(() => {
    if (document.body?.dataset.exports === '1') {
      window.loadMarks.offered ??= performance.now();
    }
  }).observe(document, { subtree: true, attributes: true, attributeFilter: ['data-exports'] });
}

// One first load in a fresh browser context; returns the marks and every
// fetch as { name, start, end, transferred, encoded, decoded } (ms, bytes).
async function load(browser, url, { throttled }) {
  const context = await browser.createBrowserContext();
  try {
    const page = await context.newPage();
    await page.setViewport({ width: 1840, height: 1100 });
    const session = await page.createCDPSession();
    await session.send('Network.enable');
    await session.send('Network.setCacheDisabled', { cacheDisabled: true });
    if (throttled) {
      await session.send('Network.emulateNetworkConditions', MOBILE_NETWORK);
      await session.send('Emulation.setCPUThrottlingRate', { rate: 4 });
    }
    await page.evaluateOnNewDocument(watchStart);
    await page.goto(url, { waitUntil: 'load', timeout: 120000 });
    await page.waitForFunction(() => window.loadMarks.running !== undefined, { timeout: 120000 });
    await page.waitForNetworkIdle({ idleTime: 1000, timeout: 120000 });
    await page.focus('#editor');
    await page.keyboard.press('Tab');
    await page.waitForFunction(() => window.loadMarks.offered !== undefined, { timeout: 120000 });
    return await page.evaluate(() => {
      const entry = (e) => ({
        name: e.name,
        start: e.startTime,
        end: e.responseEnd,
        transferred: e.transferSize,
        encoded: e.encodedBodySize,
        decoded: e.decodedBodySize,
      });
      return {
        marks: window.loadMarks,
        fetches: [
          ...performance.getEntriesByType('navigation'),
          ...performance.getEntriesByType('resource'),
        ].map(entry),
      };
    });
  } finally {
    await context.close();
  }
}

// Bytes on the wire (headers included) that a first visit took, until the
// service worker has precached every file and is in charge.
async function firstVisitBytes(browser) {
  const { server, url } = await serveDirectory(path.resolve(site), 0);
  const sockets = [];
  server.on('connection', (socket) => sockets.push(socket));
  const context = await browser.createBrowserContext();
  try {
    const page = await context.newPage();
    await page.goto(url, { waitUntil: 'load', timeout: 120000 });
    await page.waitForFunction(() => navigator.serviceWorker.controller !== null, {
      timeout: 120000,
    });
    return sockets.reduce((total, socket) => total + socket.bytesWritten, 0);
  } finally {
    await context.close();
    server.close();
  }
}

const sum = (fetches, key) => fetches.reduce((total, f) => total + f[key], 0);
const kib = (bytes) => `${(bytes / KiB).toFixed(1)} KiB`;
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const verdict = (ok) => (ok ? 'meets the goal' : 'MISSES the goal');

const session = await startBrowser(path.resolve(site));
let quick;
const timed = [];
try {
  quick = await load(session.browser, session.url, { throttled: false });
  quick.visit = await firstVisitBytes(session.browser);
  for (let run = 0; run < RUNS; ++run) {
    timed.push(await load(session.browser, session.url, { throttled: true }));
  }
} finally {
  await session.close();
}

const { marks } = quick;
const fetches = quick.fetches.filter((f) => f.start < marks.tab);
const atExport = quick.fetches.filter((f) => f.start >= marks.tab);
const beforeFrame = fetches.filter((f) => f.start < marks.firstFrame);
const transferred = sum(fetches, 'transferred');
const decoded = sum(fetches, 'decoded');
const early = sum(beforeFrame, 'decoded');
console.log(
  'fetched at first load, then at the first export (transferred, uncompressed, started at):',
);
for (const f of quick.fetches) {
  console.log(
    `  ${new URL(f.name).pathname.padEnd(44)} ${kib(f.transferred).padStart(11)} ` +
      `${kib(f.decoded).padStart(11)}  ${f.start.toFixed(0).padStart(5)} ms`,
  );
}
console.log(`first load, transferred:        ${kib(transferred)}`);
console.log(`first load, uncompressed:       ${kib(decoded)}`);
console.log(
  `before the first frame:         ${kib(early)} uncompressed in ${beforeFrame.length} files   ` +
    `(goal <= 150 KiB: ${verdict(early <= 150 * KiB)})`,
);
console.log(
  `at the first export:            ${kib(sum(atExport, 'transferred'))} ` +
    `(${kib(sum(atExport, 'decoded'))} uncompressed) in ${atExport.length} files`,
);

console.log(
  `first visit, all it took:       ${kib(quick.visit)}   (goal <= 450 KiB: ${verdict(quick.visit <= 450 * KiB)})`,
);

const view = (run) =>
  run.fetches.find((f) => /\/(solid|preview)[^/]*\.js$/.test(new URL(f.name).pathname));
const running = median(timed.map((run) => run.marks.running));
const firstFrame = median(timed.map((run) => run.marks.firstFrame));
const viewEnd = median(timed.map((run) => view(run)?.end ?? NaN));
console.log(`mobile conditions, median of ${RUNS} loads:`);
console.log(`  first frame:                  ${(firstFrame / 1000).toFixed(2)} s`);
console.log(
  `  running:                      ${(running / 1000).toFixed(2)} s   (goal < 1.5 s: ${verdict(running < 1500)})`,
);
console.log(`  3D view's code arrived:       ${(viewEnd / 1000).toFixed(2)} s`);
const offered = median(timed.map((run) => run.marks.offered - run.marks.tab));
console.log(`  first export offered:         ${(offered / 1000).toFixed(2)} s after its Tab`);
console.log(
  `  each load's running:          ${timed.map((run) => (run.marks.running / 1000).toFixed(2)).join(' ')} s`,
);
