// The solid offered as object.glb, object.stl and object.obj beside
// object.3ds, read back with three.js's own loaders and checked by the
// Khronos glTF validator. node formats_test.mjs SITE FRAME_CHECK [GROUP...]
//   same_solid  without WebGL: nothing offered before an export; after a drag
//               and a Tab each file holds object.3ds's triangles exactly
//   valid_glb_and_held_tab
//               the validator finds no errors in object.glb, for the initial
//               scene and for a solid of zero size; a held Tab replaces all
//               four offers together
import { Mesh, Vector3 } from 'three';
import { GLTFLoader } from 'three/addons/loaders/GLTFLoader.js';
import { OBJLoader } from 'three/addons/loaders/OBJLoader.js';
import { STLLoader } from 'three/addons/loaders/STLLoader.js';
import { TDSLoader } from 'three/addons/loaders/TDSLoader.js';
import validator from 'gltf-validator';

import {
  START,
  check,
  checkNoProblems,
  drag,
  runGroups,
  checkExports,
  startEditor,
} from '../../harness/browser.mjs';

const LINKS = { '3ds': 'download', glb: 'download-glb', stl: 'download-stl', obj: 'download-obj' };

// What each link offers, by format: { href, hidden, export, size, bytes }.
async function offers(page) {
  const seen = await page.evaluate(
    async (links) =>
      Object.fromEntries(
        await Promise.all(
          Object.entries(links).map(async ([format, id]) => {
            const link = document.getElementById(id);
            const bytes = link.hidden
              ? null
              : Array.from(new Uint8Array(await (await fetch(link.href)).arrayBuffer()));
            return [
              format,
              {
                href: link.getAttribute('href'),
                hidden: link.hidden,
                export: link.dataset.export,
                size: document.getElementById(`${id}-size`).textContent,
                bytes,
              },
            ];
          }),
        ),
      ),
    LINKS,
  );
  Object.values(seen).forEach((offer) => {
    offer.bytes &&= Buffer.from(offer.bytes);
  });
  return seen;
}

const READERS = {
  '3ds': (data) => new TDSLoader().parse(data, ''),
  glb: async (data) => (await new GLTFLoader().parseAsync(data, '')).scene,
  stl: (data) => new Mesh(new STLLoader().parse(data)),
  obj: (data) => new OBJLoader().parse(Buffer.from(data).toString('latin1')),
};

// Every triangle's corners in world coordinates as single-precision numbers,
// nine a triangle, in the order the file holds them.
async function triangleCorners(format, bytes) {
  const object = await READERS[format](
    bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.length),
  );
  const corners = [];
  const corner = new Vector3();
  object.updateMatrixWorld(true);
  object.traverse((node) => {
    if (node.isMesh) {
      const {
        geometry: {
          attributes: { position },
          index,
        },
      } = node;
      for (let i = 0; i < (index ?? position).count; ++i) {
        corner.fromBufferAttribute(position, index?.getX(i) ?? i).applyMatrix4(node.matrixWorld);
        corners.push(Math.fround(corner.x), Math.fround(corner.y), Math.fround(corner.z));
      }
    }
  });
  return corners;
}

async function checkSameSolid(seen, what) {
  const expected = await triangleCorners('3ds', seen['3ds'].bytes);
  check(expected.length === 760 * 9, `object.3ds holds ${expected.length / 9} triangles (${what})`);
  for (const format of ['glb', 'stl', 'obj']) {
    const corners = await triangleCorners(format, seen[format].bytes);
    const first =
      corners.length === expected.length ? corners.findIndex((v, i) => v !== expected[i]) : 0;
    const at = first - (first % 3);
    check(
      first < 0,
      `object.${format} (${corners.length / 9} triangles), triangle ${Math.floor(at / 9)}: corner ` +
        `${corners.slice(at, at + 3)}, object.3ds has ${expected.slice(at, at + 3)} (${what})`,
    );
  }
}

// Fails on any error; returns the validator's other messages.
async function validate(glb, what) {
  const { issues, info } = await validator.validateBytes(new Uint8Array(glb));
  const messages = issues.messages.map(
    (m) => `${m.code} ${m.pointer ?? ''}: ${m.message} (${what})`,
  );
  check(
    issues.numErrors === 0,
    `the glTF validator finds errors in object.glb:\n${messages.join('\n')}`,
  );
  check(
    !info.hasTextures && info.materialCount === 1 && info.maxAttributes === 1,
    `object.glb holds more than the solid (${what}): ${JSON.stringify(info)}`,
  );
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
    check(
      Object.values(await offers(page)).every((offer) => offer.hidden),
      'a file is offered before any export',
    );
    await drag(page, START.P2, [650, 250]);
    await page.keyboard.press('Tab');
    await checkExports(page, 1);
    const seen = await offers(page);
    await checkSameSolid(seen, 'P2 dragged');
    await page
      .waitForFunction(
        () => document.getElementById('preview-note').textContent.includes('not available'),
        { timeout: 10000 },
      )
      .catch(() => check(false, 'the 3D view did without WebGL'));
    checkNoProblems(page);
  },

  async valid_glb_and_held_tab({ browser, url }) {
    const page = await startEditor(browser, url);
    await page.keyboard.press('Tab');
    await checkExports(page, 1);
    const first = await offers(page);
    const notes = await validate(first.glb.bytes, 'initial scene');
    console.log(
      Object.entries(first)
        .map(([f, o]) => `object.${f}: ${o.bytes.length} bytes`)
        .join(', '),
    );

    // A held Tab, the first press and then the browser's repeats, replaces
    // all four offers together.
    for (let press = 0; press < 4; ++press) {
      await page.keyboard.down('Tab');
    }
    await checkExports(page, 5);
    await page.keyboard.up('Tab');
    for (const [format, offer] of Object.entries(await offers(page))) {
      check(
        offer.export === '5' && offer.href !== first[format].href,
        `object.${format} is from export ${offer.export}`,
      );
      check(
        offer.bytes.equals(first[format].bytes),
        `object.${format} differs between two exports of one scene`,
      );
      check(
        offer.size === `(${offer.bytes.length.toLocaleString('en')} bytes)`,
        `object.${format} has ${offer.bytes.length} bytes but says ${offer.size}`,
      );
    }
    // Every control point on one pixel of the axis: all vertices in one place
    // (up to rounding), every triangle of zero area.
    for (const point of ['P0', 'P1', 'P2', 'P3']) {
      await drag(page, START[point], [250, 250]);
    }
    await page.keyboard.press('Tab');
    await checkExports(page, 6);
    const point = await offers(page);
    notes.push(...(await validate(point.glb.bytes, 'zero size')));
    await checkSameSolid(point, 'zero size');
    console.log(`glTF validator: ${notes.length === 0 ? 'no messages' : notes.join('\n')}`);
    checkNoProblems(page);
    // A fetch of a freed address fails (and counts as a problem of the page).
    const freed = await page.evaluate(
      async (hrefs) =>
        Promise.all(
          hrefs.map((href) =>
            fetch(href).then(
              () => false,
              () => true,
            ),
          ),
        ),
      Object.values(first).map((offer) => offer.href),
    );
    check(freed.every(Boolean), `replaced offers' addresses still answer: ${freed}`);
  },
};

await runGroups(groups);
