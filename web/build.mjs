// Builds the browser edition's site from our readable sources in web/ and the
// program (kestrovan.js and kestrovan.wasm, as Emscripten writes them):
//
//   node web/build.mjs PROGRAM_DIR SITE_DIR [METAFILE]
//
// esbuild bundles and minifies, with source maps beside the bundles:
//   - main.js with the program's kestrovan.js: all the editor needs to start,
//     with the wasm beside it (its name is passed to the program);
//   - solid.js, the 3D view and the other formats with exactly the parts of
//     three.js they use and the geometry library's loader, split off as a
//     chunk that main.js loads once the editor runs (the service worker
//     precaches it then too), with the library's wasm beside it;
//   - style.css.
// Each is named NAME-HASH.EXT after its contents, so a host may let browsers
// keep it for good; index.html is written with those names. Beside them, under
// fixed names: the web app manifest and its icons (rendered with rsvg-convert
// from the desktop icon), and the service worker (service_worker.mjs). Nothing
// else lands in SITE_DIR. METAFILE, when given, receives esbuild's account of
// what went into each bundle.
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { execFileSync } from 'node:child_process';

import * as esbuild from 'esbuild';

import { writeServiceWorker } from './service_worker.mjs';

const [programDir, siteDir, metafilePath] = process.argv.slice(2);
if (!programDir || !siteDir) {
  console.error('usage: node web/build.mjs PROGRAM_DIR SITE_DIR [METAFILE]');
  process.exit(2);
}
const webDir = path.dirname(fileURLToPath(import.meta.url));

// main.js imports the program as './kestrovan.js' and './kestrovan.wasm':
// both are found in PROGRAM_DIR, where the program's build writes them.
const programFiles = {
  name: 'program-files',
  setup(build) {
    build.onResolve({ filter: /^\.\/kestrovan\.(js|wasm)$/ }, (args) => ({
      path: path.resolve(programDir, path.basename(args.path)),
    }));
  },
};

const result = await esbuild.build({
  entryPoints: [path.join(webDir, 'main.js'), path.join(webDir, 'style.css')],
  outdir: siteDir,
  bundle: true,
  splitting: true,
  format: 'esm',
  minify: true,
  sourcemap: 'linked',
  entryNames: '[name]-[hash]',
  chunkNames: '[name]-[hash]',
  assetNames: '[name]-[hash]',
  // The wasm is not bundled: importing it gives its file name in the site.
  loader: { '.wasm': 'file' },
  plugins: [programFiles],
  // The geometry library's loader reaches for these only when it runs in
  // Node: in the browser they stay unresolved and unused.
  external: ['module', 'fs', 'path', 'url'],
  metafile: true,
  logLevel: 'warning',
});

// The output that comes from the entry point `source`, as a name in the site.
function outputOf(source) {
  const wanted = path.resolve(webDir, source);
  const found = Object.entries(result.metafile.outputs).find(
    ([, output]) => output.entryPoint !== undefined && path.resolve(output.entryPoint) === wanted,
  );
  if (found === undefined) {
    throw new Error(`esbuild wrote nothing for ${source}`);
  }
  return path.relative(siteDir, found[0]).split(path.sep).join('/');
}

// index.html refers to main.js and style.css by their source names.
let html = fs.readFileSync(path.join(webDir, 'index.html'), 'utf8');
for (const [attribute, source] of [
  ['src', 'main.js'],
  ['href', 'style.css'],
]) {
  const reference = `${attribute}="${source}"`;
  if (html.split(reference).length !== 2) {
    throw new Error(`index.html must refer to ${source} once, as ${reference}`);
  }
  html = html.replace(reference, `${attribute}="${outputOf(source)}"`);
}
// The wasm is asked for as soon as the page is, not once the page script has
// run: the program's fetch of it then finds it on its way.
const wasm = Object.keys(result.metafile.outputs).find((output) => output.endsWith('.wasm'));
const script = html.indexOf('<script type="module"');
if (wasm === undefined || script < 0) {
  throw new Error('no wasm in the build, or no module script in index.html');
}
const preload = `<link rel="preload" href="${path.relative(siteDir, wasm)}" as="fetch" crossorigin>`;
// The page asks again for a chunk that failed to load under another address
// made from its name here (main.js says why).
const chunks = Object.keys(result.metafile.outputs)
  .map((output) => path.basename(output).match(/^(solid)-[A-Z0-9]{8}\.js$/))
  .filter((match) => match !== null)
  .map(([file, name]) => `<meta name="chunk-${name}" content="${file}" />\n    `);
html = `${html.slice(0, script)}${chunks.join('')}${preload}\n    ${html.slice(script)}`;
fs.writeFileSync(path.join(siteDir, 'index.html'), html);

// Installable: the manifest, with the program's own icon at the sizes a phone
// or a desktop asks for, and once more inset on a full black square for
// launchers that crop icons to their own shape (all of it within the middle
// 80 %, as "maskable" requires).
const ICON = path.join(webDir, '..', 'packaging', 'io.github.kestrovan.Kestrovan.svg');
const BACKGROUND = '#202024';
const icons = [
  { src: 'icon-192.png', sizes: '192x192', type: 'image/png', purpose: 'any' },
  { src: 'icon-512.png', sizes: '512x512', type: 'image/png', purpose: 'any' },
  { src: 'icon-maskable-512.png', sizes: '512x512', type: 'image/png', purpose: 'maskable' },
];
for (const { src, sizes, purpose } of icons) {
  const side = sizes.split('x')[0];
  const drawn =
    purpose === 'maskable'
      ? ['--width', '360', '--height', '360', '--page-width', side, '--page-height', side]
      : ['--width', side, '--height', side];
  const inset = purpose === 'maskable' ? ['--left', '76', '--top', '76', '-b', '#000000'] : [];
  execFileSync('rsvg-convert', [
    ...[...drawn, ...inset, '--format', 'png'],
    ...['--output', path.join(siteDir, src), ICON],
  ]);
}
const manifest = {
  id: './',
  name: 'Kestrovan',
  short_name: 'Kestrovan',
  description: 'A tiny lathe modeller: drag a Bézier profile and an axis, and take the solid away.',
  start_url: './',
  scope: './',
  display: 'standalone',
  background_color: BACKGROUND,
  theme_color: BACKGROUND,
  icons,
};
fs.writeFileSync(
  path.join(siteDir, 'manifest.webmanifest'),
  `${JSON.stringify(manifest, null, 2)}\n`,
);
await writeServiceWorker(siteDir);

if (metafilePath) {
  fs.writeFileSync(metafilePath, JSON.stringify(result.metafile, null, 1));
}
