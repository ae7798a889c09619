// The solid offered as object.glb, object.stl and object.obj beside
// object.3ds, read back here with three.js's own loaders and checked by the
// Khronos glTF validator.
//
//   node formats_test.mjs SITE FRAME_CHECK [GROUP...]
//
// Groups (each in a fresh browser, the site served on a free port):
//   same_solid   with no WebGL (so no 3D view): nothing is offered before an
//                export; after a drag and a Tab every file holds the 760
//                triangles of object.3ds, corner for corner, same winding
//   valid_glb    the glTF validator finds no errors in object.glb, for the
//                initial scene and for a solid of zero size, whose other
//                files hold its triangles too
//   held_tab     a held Tab replaces all four offers together, each with its
//                size, and frees the addresses of the files it replaced
import { Matrix4, Mesh, Vector3 } from 'three';
import { GLTFLoader } from 'three/addons/loaders/GLTFLoader.js';
import { OBJLoader } from 'three/addons/loaders/OBJLoader.js';
import { STLLoader } from 'three/addons/loaders/STLLoader.js';
import { TDSLoader } from 'three/addons/loaders/TDSLoader.js';
import validator from 'gltf-validator';

import { START, check, checkNoProblems, drag, openPage, runGroups, waitForState } from './harness.mjs';

const OFFERS = { '3ds': 'download', glb: 'download-glb', stl: 'download-stl', obj: 'download-obj' };
const TRIANGLES = 760;

async function startEditor(browser, url, options) {
  const page = await openPage(browser, url, options);
  await waitForState(page, 'running');
  return page;
}

async function waitForExports(page, count) {
  await page.waitForFunction((n) => Number(document.body.dataset.exports) >= n, { timeout: 10000 }, count)
    .catch(() => {});
  const got = await page.evaluate(() => Number(document.body.dataset.exports));
  check(got === count, `data-exports is ${got}, expected ${count}`);
}

// What each link offers: { href, hidden, export, size, bytes } by format.
async function offers(page) {
  const seen = await page.evaluate(async (ids) => {
    const result = {};
    for (const [format, id] of Object.entries(ids)) {
      const link = document.getElementById(id);
      let base64 = null;
      if (!link.hidden && link.href) {
        const bytes = new Uint8Array(await (await fetch(link.href)).arrayBuffer());
        let text = '';
        for (const b of bytes) text += String.fromCharCode(b);
        base64 = btoa(text);
      }
      result[format] = { href: link.getAttribute('href'), hidden: link.hidden, export: link.dataset.export,
        size: document.getElementById(`${id}-size`).textContent, base64 };
    }
    return result;
  }, OFFERS);
  for (const offer of Object.values(seen)) {
    offer.bytes = offer.base64 === null ? null : Buffer.from(offer.base64, 'base64');
  }
  return seen;
}

const arrayBuffer = (bytes) => bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.length);

// Every triangle's corners in world coordinates, nine numbers a triangle,
// rounded to single precision, in the order the object holds them.
function triangleCorners(object) {
  const corners = [];
  const corner = new Vector3();
  object.updateMatrixWorld(true);
  object.traverse((node) => {
    if (!node.isMesh) {
      return;
    }
    const position = node.geometry.attributes.position;
    const index = node.geometry.index;
    const count = index === null ? position.count : index.count;
    const world = new Matrix4().copy(node.matrixWorld);
    for (let i = 0; i < count; ++i) {
      corner.fromBufferAttribute(position, index === null ? i : index.getX(i)).applyMatrix4(world);
      corners.push(Math.fround(corner.x), Math.fround(corner.y), Math.fround(corner.z));
    }
  });
  return corners;
}

async function readOffered(format, bytes) {
  if (format === '3ds') {
    return new TDSLoader().parse(arrayBuffer(bytes), '');
  }
  if (format === 'glb') {
    return (await new GLTFLoader().parseAsync(arrayBuffer(bytes), '')).scene;
  }
  if (format === 'stl') {
    return new Mesh(new STLLoader().parse(arrayBuffer(bytes)));
  }
  return new OBJLoader().parse(bytes.toString('latin1'));
}

// Checks that each offered file holds the triangles of object.3ds.
async function checkSameSolid(seen, what) {
  const expected = triangleCorners(await readOffered('3ds', seen['3ds'].bytes));
  check(expected.length === TRIANGLES * 9, `object.3ds holds ${expected.length / 9} triangles (${what})`);
  for (const format of ['glb', 'stl', 'obj']) {
    check(seen[format].bytes !== null, `object.${format} is not offered (${what})`);
    const corners = triangleCorners(await readOffered(format, seen[format].bytes));
    check(corners.length === expected.length, `object.${format} holds ${corners.length / 9} triangles (${what})`);
    const first = corners.findIndex((value, i) => value !== expected[i]);
    check(first < 0, `object.${format}, triangle ${Math.floor(first / 9)}, corner ${Math.floor(first % 9 / 3)}: ` +
      `${corners.slice(first - first % 3, first - first % 3 + 3)}, object.3ds has ` +
      `${expected.slice(first - first % 3, first - first % 3 + 3)} (${what})`);
  }
}

// The validator's report on a .glb; fails on any error, returns the other messages.
async function validate(glb, what) {
  const report = await validator.validateBytes(new Uint8Array(glb));
  const messages = report.issues.messages.map((m) => `${['error', 'warning', 'info', 'hint'][m.severity]} ` +
    `${m.code} ${m.pointer ?? ''}: ${m.message}`);
  check(report.issues.numErrors === 0, `the glTF validator finds errors in object.glb (${what}):\n${messages.join('\n')}`);
  return messages;
}

const groups = {
  async same_solid({ browser, url }) {
    const page = await startEditor(browser, url, {
      beforeLoad: () => {
        const getContext = HTMLCanvasElement.prototype.getContext;
        HTMLCanvasElement.prototype.getContext = function (type, ...rest) {
          return type.startsWith('webgl') ? null : getContext.call(this, type, ...rest);
        };
      },
    });
    const before = await offers(page);
    check(Object.values(before).every((offer) => offer.hidden), 'a file is offered before any export');
    await drag(page, START.P2, [650, 250]);
    await page.keyboard.press('Tab');
    await waitForExports(page, 1);
    const seen = await offers(page);
    await checkSameSolid(seen, 'P2 dragged');
    await page.waitForFunction(() => document.getElementById('preview-note').textContent.includes('not available'),
      { timeout: 10000 }).catch(() => check(false, 'the 3D view did without WebGL'));
    // The solid and nothing else: no normals, textures or pictures of ours.
    const gltf = (await new GLTFLoader().parseAsync(arrayBuffer(seen.glb.bytes), '')).parser.json;
    check(JSON.stringify(gltf.meshes.map((mesh) => mesh.primitives.map((p) => Object.keys(p.attributes)))) ===
      '[[["POSITION"]]]' && !gltf.textures && !gltf.images, `object.glb holds more than the solid: ${JSON.stringify(gltf)}`);
    checkNoProblems(page);
  },

  async valid_glb({ browser, url }) {
    const page = await startEditor(browser, url);
    await page.keyboard.press('Tab');
    await waitForExports(page, 1);
    const initial = await offers(page);
    const notes = await validate(initial.glb.bytes, 'initial scene');
    console.log(`initial scene: ${Object.entries(initial).map(([f, o]) => `object.${f} ${o.bytes.length} bytes`).join(', ')}`);

    // All control points on one pixel of the axis: every vertex in one place.
    for (const point of ['P0', 'P1', 'P2', 'P3']) {
      await drag(page, START[point], [250, 250]);
    }
    await page.keyboard.press('Tab');
    await waitForExports(page, 2);
    const point = await offers(page);
    notes.push(...await validate(point.glb.bytes, 'zero size'));
    await checkSameSolid(point, 'zero size');
    console.log(`glTF validator: ${notes.length === 0 ? 'no messages' : `\n${notes.join('\n')}`}`);
    checkNoProblems(page);
  },

  async held_tab({ browser, url }) {
    const page = await startEditor(browser, url);
    await page.keyboard.press('Tab');
    await waitForExports(page, 1);
    const first = await offers(page);
    // The first press and then the browser's repeats.
    await page.keyboard.down('Tab');
    for (let repeat = 0; repeat < 3; ++repeat) {
      await page.keyboard.down('Tab');
    }
    await waitForExports(page, 5);
    await page.keyboard.up('Tab');
    const last = await offers(page);
    for (const [format, offer] of Object.entries(last)) {
      check(offer.export === '5', `object.${format} offers export ${offer.export}, expected 5`);
      check(offer.href !== first[format].href, `the held Tab did not replace object.${format}`);
      check(offer.bytes.equals(first[format].bytes), `object.${format} differs between two exports of one scene`);
      check(offer.size === `(${offer.bytes.length.toLocaleString('en')} bytes)`,
        `object.${format} has ${offer.bytes.length} bytes but says ${offer.size}`);
    }
    checkNoProblems(page);
    // (A fetch of a freed address fails, which the page's problems would count.)
    const freed = await page.evaluate(async (hrefs) => Promise.all(hrefs.map(
      (href) => fetch(href).then(() => false, () => true))), Object.values(first).map((offer) => offer.href));
    check(freed.every(Boolean), `addresses of replaced offers still answer: ${freed}`);
  },
};

await runGroups(groups);
