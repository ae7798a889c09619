// A static file server for the browser edition's site, on 127.0.0.1 only,
// answering as a production host should: compressed when the browser accepts
// gzip, files named after their contents cached for good, everything else
// (index.html, the service worker, the manifest and its icons) checked again
// on every visit.
//
//   node web/server.mjs DIR [PORT]    serve DIR (default port 8080)
//
// Also imported by the browser tests and benchmarks, which serve the built
// site on a free port (port 0) each.
import fs from 'node:fs/promises';
import http from 'node:http';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { promisify } from 'node:util';
import zlib from 'node:zlib';

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.json': 'application/json',
  '.webmanifest': 'application/manifest+json',
  '.map': 'application/json',
  '.wasm': 'application/wasm',
  '.png': 'image/png',
};
// PNG is compressed already; everything else here shrinks to a third or less.
const COMPRESSIBLE = new Set([
  '.html',
  '.css',
  '.js',
  '.mjs',
  '.json',
  '.webmanifest',
  '.map',
  '.wasm',
]);
// The build names each bundle, style sheet and wasm NAME-HASH.EXT, the hash
// (eight capital letters or digits) taken from the contents: such a name
// never stands for other bytes, so browsers may keep the file for a year
// without asking again. Source maps are left out: only the code is hashed.
const CONTENT_NAMED = /-[A-Z0-9]{8}\.(js|mjs|css|wasm)$/;
const FOREVER = 'public, max-age=31536000, immutable';

const gzip = promisify(zlib.gzip);

// Whether an Accept-Encoding header lets us answer with gzip ("gzip;q=0" and
// "identity" alone do not).
export function acceptsGzip(header = '') {
  let gzipQuality = null;
  let anyQuality = null;
  for (const part of header.toLowerCase().split(',')) {
    const [coding, ...params] = part
      .trim()
      .split(';')
      .map((s) => s.trim());
    const q = params.find((p) => p.startsWith('q='));
    const quality = q === undefined ? 1 : Number(q.slice(2));
    if (coding === 'gzip' || coding === 'x-gzip') {
      gzipQuality = quality;
    } else if (coding === '*') {
      anyQuality = quality;
    }
  }
  return (gzipQuality ?? anyQuality ?? 0) > 0;
}

// Resolves with { server, url } once listening. Only files inside `root` are
// served; anything else is 404. `headers` are added to every answer.
// `beforeAnswer(urlPath)`, when given, is awaited before each answer: tests
// note what the page asked for, and when, and hold back a file there, or
// refuse it with the HTTP status it returns.
export async function serveDirectory(root, port = 0, headers = {}, { beforeAnswer = null } = {}) {
  const base = path.resolve(root);
  // Compressed bodies by file, made once per version of the file.
  const compressed = new Map();
  async function gzipped(file, stat, body) {
    const key = `${stat.mtimeMs}:${stat.size}`;
    const known = compressed.get(file);
    if (known?.key === key) {
      return known.body;
    }
    const packed = await gzip(body, { level: zlib.constants.Z_BEST_COMPRESSION });
    compressed.set(file, { key, body: packed });
    return packed;
  }

  const server = http.createServer(async (request, response) => {
    let urlPath = null;
    let file = null;
    try {
      urlPath = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
      file = path.join(base, urlPath.endsWith('/') ? `${urlPath}index.html` : urlPath);
    } catch {
      file = null;
    }
    const refused = beforeAnswer === null ? undefined : await beforeAnswer(urlPath);
    if (refused !== undefined) {
      response.writeHead(refused).end();
      return;
    }
    if (
      file === null ||
      (file !== base && !file.startsWith(base + path.sep)) ||
      (request.method !== 'GET' && request.method !== 'HEAD')
    ) {
      response.writeHead(404).end();
      return;
    }
    try {
      const stat = await fs.stat(file);
      const extension = path.extname(file);
      const tag = `W/"${stat.size.toString(16)}-${Math.trunc(stat.mtimeMs).toString(16)}"`;
      const answer = {
        'Content-Type': TYPES[extension] ?? 'application/octet-stream',
        'Cache-Control': CONTENT_NAMED.test(file) ? FOREVER : 'no-cache',
        ETag: tag,
      };
      if (COMPRESSIBLE.has(extension)) {
        answer.Vary = 'Accept-Encoding';
      }
      if (request.headers['if-none-match'] === tag) {
        response.writeHead(304, { ...answer, ...headers }).end();
        return;
      }
      let body = await fs.readFile(file);
      if (COMPRESSIBLE.has(extension) && acceptsGzip(request.headers['accept-encoding'])) {
        body = await gzipped(file, stat, body);
        answer['Content-Encoding'] = 'gzip';
      }
      answer['Content-Length'] = body.length;
      response.writeHead(200, { ...answer, ...headers });
      response.end(request.method === 'HEAD' ? undefined : body);
    } catch {
      response.writeHead(404).end();
    }
  });
  await new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, '127.0.0.1', resolve);
  });
  return { server, url: `http://127.0.0.1:${server.address().port}/` };
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const [root, port = '8080'] = process.argv.slice(2);
  if (!root) {
    console.error('usage: node web/server.mjs DIR [PORT]');
    process.exit(2);
  }
  try {
    await fs.access(path.join(root, 'index.html'));
  } catch {
    console.error(`server: ${root}/index.html is missing (build the site with make web)`);
    process.exit(2);
  }
  const { url } = await serveDirectory(root, Number(port));
  console.log(`Kestrovan in the browser: ${url}  (Ctrl+C stops the server)`);
}
