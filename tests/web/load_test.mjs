// How the built site loads. node load_test.mjs SITE FRAME_CHECK [GROUP...]
//   served_light       the whole site, as served (gzip but for the icons),
//                      fits the first visit's byte budget, and what the
//                      editor's first frame needs a small share of it; files
//                      named after their contents are cached for good, the
//                      others checked every time; wasm as application/wasm
//   view_arrives_late  the 3D view's code held back by the server: the editor
//                      runs before it is even asked for, the view says it is
//                      loading, and a Tab pressed meanwhile is shown and
//                      offered in all four formats once it arrives
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import zlib from 'node:zlib';

import { serveDirectory } from '../../web/server.mjs';
import {
  check,
  checkNoProblems,
  openPage,
  runGroups,
  solidPixels,
  waitForRest,
  waitForState,
} from '../../harness/browser.mjs';

const site = path.resolve(process.argv[2] ?? '.');
const KiB = 1024;
const VIEW_CHUNK = /^solid-[A-Z0-9]{8}\.js$/;
const AT_FIRST_EXPORT = /^manifold-[A-Z0-9]{8}\.(js|wasm)$/;
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
      files.some((name) => VIEW_CHUNK.test(name)) &&
        files.filter((name) => AT_FIRST_EXPORT.test(name)).length === 2,
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
      const chunkAsked = asked.find(({ name }) => VIEW_CHUNK.test(name)).at;
      const runningAt = await page.evaluate(() => window.runningAt);
      // Both clocks are the system's; a browser may blur its own by a millisecond.
      check(
        chunkAsked >= runningAt - 2,
        `the 3D view was asked for ${runningAt - chunkAsked} ms before the editor ran: ${JSON.stringify(asked)}`,
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
        () =>
          ['download', 'download-glb', 'download-stl', 'download-obj']
            .map((id) => document.getElementById(id))
            .filter((link) => !link.hidden && link.dataset.export === '1').length,
      );
      check(offered === 4, `${offered} of the four files are offered`);
      const solid = (await solidPixels(page)).count;
      check(solid > 2000, `the 3D view shows the solid in only ${solid} pixels`);
      checkNoProblems(page);
    } finally {
      release();
      server.close();
    }
  },
};

await runGroups(groups);
