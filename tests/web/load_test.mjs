// How the built site loads. node load_test.mjs SITE FRAME_CHECK [GROUP...]
//   served_light       the whole site, as served (gzip but for the icons),
//                      fits the first visit's byte budget, and what the
//                      editor's first frame needs a small share of it; files
//                      named after their contents are cached for good, the
//                      others checked every time; wasm as application/wasm
//   view_arrives_late  the 3D view's code held back by the server: the editor
//                      runs before it, the geometry library or the service
//                      worker is even asked for (by the page or the worker),
//                      the view says it is loading, and a Tab pressed
//                      meanwhile is shown and offered in all five formats
//                      once it arrives
//   chunk_fails_once   the 3D view's chunk, or the geometry library, refused
//                      once: the export offers object.3ds alone and says why,
//                      and the next one all five
//   offline            after one visit the page is installable (Chromium's
//                      check) and, with the server gone, starts at its address
//                      with any query and offers all five files; a second build deployed over the first is
//                      in use on the second visit after it
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import zlib from 'node:zlib';

import { serveDirectory } from '../../web/server.mjs';
import { FORMATS } from '../../web/formats.js';
import { writeServiceWorker } from '../../web/service_worker.mjs';
import {
  check,
  checkExports,
  checkNoProblems,
  openPage,
  runGroups,
  solidPixels,
  startEditor,
  waitForRest,
  waitForState,
} from '../../harness/browser.mjs';

const site = path.resolve(process.argv[2] ?? '.');
const KiB = 1024;
const VIEW_CHUNK = /^solid-[A-Z0-9]{8}\.js$/;
const GEOMETRY = /^manifold-[A-Z0-9]{8}\.wasm$/;
// What the page fetches, or has its service worker fetch, once the editor runs.
const ONCE_RUNNING = new RegExp(`${VIEW_CHUNK.source}|${GEOMETRY.source}|^sw\\.js$`);
const FIRST_FRAME = /^(index\.html|(main|kestrovan|style)-[A-Z0-9]{8}\.(js|wasm|css))$/;
const CONTENT_NAMED = /-[A-Z0-9]{8}\./;
const FOREVER = 'public, max-age=31536000, immutable';

// The answer to a GET of `url` as the server sent it: { headers, body }.
function get(url, headers) {
  return new Promise((resolve, reject) => {
    http
      .get(url, { headers }, (response) => {
        const chunks = [];
        response.on('data', (chunk) => chunks.push(chunk));
        response.on('end', () =>
          resolve({ headers: response.headers, body: Buffer.concat(chunks) }),
        );
      })
      .on('error', reject);
  });
}

async function until(condition, what, timeout = 10000) {
  const deadline = Date.now() + timeout;
  while (!condition()) {
    check(Date.now() < deadline, what);
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
}

const groups = {
  async served_light({ url }) {
    const files = fs
      .readdirSync(site, { recursive: true })
      .filter((name) => fs.statSync(path.join(site, name)).isFile() && !name.endsWith('.map'));
    let served = 0;
    let firstFrame = 0;
    for (const name of files) {
      const bytes = fs.readFileSync(path.join(site, name));
      const { headers, body } = await get(new URL(name, url), {
        'Accept-Encoding': 'gzip, deflate, br',
      });
      const packed = !name.endsWith('.png');
      check(
        headers['content-encoding'] === (packed ? 'gzip' : undefined) &&
          (packed ? zlib.gunzipSync(body) : body).equals(bytes),
        `${name} is served with Content-Encoding ${headers['content-encoding']}`,
      );
      check(
        headers['cache-control'] === (CONTENT_NAMED.test(name) ? FOREVER : 'no-cache'),
        `${name} is served with Cache-Control: ${headers['cache-control']}`,
      );
      check(
        !name.endsWith('.wasm') || headers['content-type'] === 'application/wasm',
        `${name} is served as ${headers['content-type']}`,
      );
      served += body.length;
      firstFrame += FIRST_FRAME.test(name) ? body.length : 0;
    }
    console.log(
      `${files.length} files, ${(served / KiB).toFixed(1)} KiB as served, ` +
        `${(firstFrame / KiB).toFixed(1)} KiB before the first frame`,
    );
    check(
      files.some((name) => VIEW_CHUNK.test(name)) && files.some((name) => GEOMETRY.test(name)),
      `no 3D view chunk or geometry library among ${files}`,
    );
    check(served <= 450 * KiB, `the site is ${served} bytes as served, over 450 KiB`);
    check(firstFrame <= 150 * KiB, `the first frame needs ${firstFrame} bytes, over 150 KiB`);
    const { headers } = await get(new URL('index.html', url), {});
    check(
      headers['content-encoding'] === undefined,
      'gzip sent to a client that did not ask for it',
    );
  },

  async view_arrives_late({ browser }) {
    const asked = [];
    let release;
    const held = new Promise((resolve) => {
      release = resolve;
    });
    const { server, url } = await serveDirectory(
      site,
      0,
      {},
      {
        beforeAnswer: async (urlPath) => {
          const name = path.posix.basename(urlPath ?? '');
          asked.push({ name, at: Date.now() });
          if (VIEW_CHUNK.test(name)) {
            await held;
          }
          // A slow start leaves time for anything asked too early to show.
          if (/^kestrovan-[A-Z0-9]{8}\.wasm$/.test(name)) {
            await new Promise((resolve) => setTimeout(resolve, 500));
          }
        },
      },
    );
    try {
      // When the page said it runs, on the clock the server's log uses.
      const page = await openPage(browser, url, {
        beforeLoad: () => {
          new MutationObserver(() => {
            if (document.body?.dataset.state === 'running') {
              window.runningAt ??= Date.now();
            }
          }).observe(document, {
            subtree: true,
            attributes: true,
            attributeFilter: ['data-state'],
          });
        },
      });
      await waitForState(page, 'running');
      await until(
        () => asked.some(({ name }) => VIEW_CHUNK.test(name)),
        'the 3D view was never asked for',
      );
      const note = () => page.evaluate(() => document.getElementById('preview-note').textContent);
      check(
        (await note()).includes('loading'),
        `while the 3D view loads it says '${await note()}'`,
      );

      await page.keyboard.press('Tab');
      await waitForRest(page);
      release();
      await page
        .waitForFunction(
          () =>
            document.body.dataset.exports === '1' && document.getElementById('preview-note').hidden,
          { timeout: 20000 },
        )
        .catch(async () =>
          check(
            false,
            `after the 3D view arrived: exports ${await page.evaluate(
              () => document.body.dataset.exports,
            )}, note '${await note()}'`,
          ),
        );
      const offered = await page.evaluate(
        (ids) =>
          ids
            .map((id) => document.getElementById(id))
            .filter((link) => !link.hidden && link.dataset.export === '1').length,
        FORMATS.map((format) => format.id),
      );
      check(offered === 5, `${offered} of the five files are offered`);
      // The server sees the worker's fetches too. Both clocks are the
      // system's; a browser may blur its own by a millisecond.
      const runningAt = await page.evaluate(() => window.runningAt);
      const later = asked.filter(({ name }) => ONCE_RUNNING.test(name));
      check(
        later.length >= 3 && later.every(({ at }) => at >= runningAt - 2),
        `asked for before the editor ran at ${runningAt}: ${JSON.stringify(later)}`,
      );
      const solid = (await solidPixels(page)).count;
      check(solid > 2000, `the 3D view shows the solid in only ${solid} pixels`);
      checkNoProblems(page);
    } finally {
      release();
      server.close();
    }
  },

  async chunk_fails_once({ browser }) {
    for (const chunk of [VIEW_CHUNK, GEOMETRY]) {
      let refuse = true;
      const { server, url } = await serveDirectory(
        site,
        0,
        {},
        {
          beforeAnswer: (urlPath) =>
            refuse && chunk.test(path.posix.basename(urlPath ?? '')) ? 503 : undefined,
        },
      );
      try {
        const page = await startEditor(browser, url);
        const exported = async (count) => {
          await page.keyboard.press('Tab');
          await checkExports(page, count);
          return page.$$eval('#offers a:not([hidden])', (links) => links.map((link) => link.id));
        };
        const alone = await exported(1);
        const note = await page.$eval('#solid-note', (element) => element.textContent);
        check(
          alone.join() === 'download' && note.includes('could not be made'),
          `${chunk} refused: ${alone} offered, the page says '${note}'`,
        );
        refuse = false;
        const all = await exported(2);
        check(all.length === 5, `${chunk} back: ${all} offered`);
        await page.close();
      } finally {
        server.close();
      }
    }
  },

  async offline({ browser, engine, work }) {
    const deployed = path.join(work, `deployed-${engine}`);
    fs.cpSync(site, deployed, { recursive: true });
    const { server, url } = await serveDirectory(deployed, 0);
    try {
      // Chromium tells installability only outside a private context.
      const visits = engine === 'chromium' ? browser.browser().defaultBrowserContext() : browser;
      const page = await startEditor(visits, url);
      await page.waitForFunction(() => navigator.serviceWorker.controller !== null);
      if (engine === 'chromium') {
        const cdp = await page.createCDPSession();
        const { installabilityErrors: errors } = await cdp.send('Page.getInstallabilityErrors');
        check(errors.length === 0, `not installable: ${JSON.stringify(errors)}`);
      }
      // A second build, its page and its worker. A visit has the browser look
      // for a new worker (asked here at once, as it may wait to); the test
      // waits until a new one is in charge (one left waiting for good shows
      // below).
      const index = path.join(deployed, 'index.html');
      const html = fs.readFileSync(index, 'utf8');
      fs.writeFileSync(index, html.replace('</head>', '<meta name="build" content="2" /></head>'));
      await writeServiceWorker(deployed);
      await page.reload();
      await page.evaluate(async () => {
        const registration = await navigator.serviceWorker.getRegistration();
        const before = registration.active;
        await registration.update();
        for (let wait = 0; wait < 600 && registration.active === before; ++wait) {
          await new Promise((resolve) => setTimeout(resolve, 50));
        }
      });
      await page.reload();
      const second = () => page.$$eval('meta[name="build"]', (found) => found.length === 1);
      check(await second(), 'the second visit after a new build still shows the old page');

      server.closeAllConnections();
      await new Promise((resolve) => server.close(resolve));
      // A shared or bookmarked address may carry a query of any kind.
      for (const address of ['index.html?x=1', '?utm_source=share']) {
        await page.goto(new URL(address, url).href);
        await waitForState(page, 'running');
      }
      await page.keyboard.press('Tab');
      await checkExports(page, 1);
      const offered = await page.$$eval('#offers a:not([hidden])', (links) => links.length);
      check(offered === 5 && (await second()), `offline, ${offered} files are offered`);
    } finally {
      server.close();
    }
  },
};

await runGroups(groups);
