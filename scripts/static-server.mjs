// A static file server for the browser edition's site, on 127.0.0.1 only.
//
//   node scripts/static-server.mjs DIR [PORT]    serve DIR (default port 8080)
//
// Also imported by the browser tests and benchmarks, which serve the built
// site on a free port (port 0) each.
import fs from 'node:fs/promises';
import http from 'node:http';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.json': 'application/json',
  '.wasm': 'application/wasm',
  '.png': 'image/png',
};

// Resolves with { server, url } once listening. Only files inside `root` are
// served; anything else is 404. `headers` are added to every answer.
export async function serveDirectory(root, port = 0, headers = {}) {
  const base = path.resolve(root);
  const server = http.createServer(async (request, response) => {
    let file;
    try {
      const urlPath = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
      file = path.join(base, urlPath.endsWith('/') ? `${urlPath}index.html` : urlPath);
    } catch {
      file = null;
    }
    if (file === null || (file !== base && !file.startsWith(base + path.sep)) ||
        (request.method !== 'GET' && request.method !== 'HEAD')) {
      response.writeHead(404).end();
      return;
    }
    try {
      const body = await fs.readFile(file);
      response.writeHead(200, {
        'Content-Type': TYPES[path.extname(file)] ?? 'application/octet-stream',
        'Content-Length': body.length,
        'Cache-Control': 'no-cache',
        ...headers,
      });
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
    console.error('usage: node scripts/static-server.mjs DIR [PORT]');
    process.exit(2);
  }
  try {
    await fs.access(path.join(root, 'index.html'));
  } catch {
    console.error(`static-server: ${root}/index.html is missing (build the site with make web)`);
    process.exit(2);
  }
  const { url } = await serveDirectory(root, Number(port));
  console.log(`Kestrovan in the browser: ${url}  (Ctrl+C stops the server)`);
}
