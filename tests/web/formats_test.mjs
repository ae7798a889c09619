// The solid offered as object.glb, object.stl and object.obj beside
// object.3ds, read back with three.js's own loaders and checked by the
// Khronos glTF validator. node formats_test.mjs SITE FRAME_CHECK [GROUP...]
//   same_solid  without WebGL: nothing offered or fetched for it before an
//               export; after drags and a Tab each file holds the solid the
//               profile sweeps about the axis (see checkSolids), also about a
//               level axis; an axis of no length has object.3ds offered alone
//   valid_glb_and_held_tab
//               the validator finds no errors in object.glb; the start scene
//               crosses the axis and is closed and outward all the same; a
//               held Tab replaces all four offers together; a profile without
//               area has object.3ds offered alone
import { Box3, Mesh, Vector3 } from 'three';
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
import { FORMATS } from '../../web/formats.js';

// Each offered link's id by its file's extension, from the page's own table.
const LINKS = Object.fromEntries(FORMATS.map(({ id, file }) => [file.split('.').pop(), id]));

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
// Each file's coordinates to millimetres with y up.
const TO_MM_Y_UP = { glb: (v) => v.multiplyScalar(1000), stl: (v) => v.set(v.x, v.z, -v.y) };

// Every triangle's corners in world coordinates, nine a triangle, in the
// order the file holds them.
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
        corners.push(...(TO_MM_Y_UP[format]?.(corner) ?? corner).toArray());
      }
    }
  });
  return corners;
}

// The solid in mm from object.3ds's first ring (each vertex the axis
// direction A -> B times its sample's place along the axis, plus its signed
// distance from the axis along z): the volume that the region between the
// samples and the axis sweeps in 20 steps, each side of the axis counted by
// its distance from it, worked out slice by slice along the axis; its height,
// width and the height of its widest place.
function expectedSolid(tds, [ax, ay]) {
  const length = Math.hypot(ax, ay) * (ay < 0 || (ay === 0 && ax > 0) ? 1 : -1);
  const outline = Array.from({ length: 20 }, (_, i) => {
    const [x, y, z] = [0, 4, 8].map((k) => tds.readFloatLE(33 + 12 * i + k));
    return [z / 10, (x * ax + y * ay) / length / 10];
  });
  const heights = outline.map(([, h]) => h);
  const [low, high] = [Math.min(...heights), Math.max(...heights)];
  const widest = outline.reduce((w, p) => (Math.abs(p[0]) > Math.abs(w[0]) ? p : w));
  const polygon = [[0, outline[0][1]], ...outline, [0, outline.at(-1)[1]]];
  const SLICES = 20000;
  let moment = 0; // of the area about the axis, the region folded onto one side
  for (let slice = 0; slice < SLICES; ++slice) {
    const h = low + ((slice + 0.5) * (high - low)) / SLICES;
    const crossings = polygon
      .map(([r1, h1], i) => [r1, h1, ...polygon[(i + 1) % polygon.length]])
      .filter(([, h1, , h2]) => h1 <= h !== h2 <= h)
      .map(([r1, h1, r2, h2]) => [r1 + ((h - h1) * (r2 - r1)) / (h2 - h1), h2 > h1 ? 1 : -1])
      .sort((a, b) => a[0] - b[0]);
    const spans = [];
    let winding = 0;
    for (const [r, turn] of crossings) {
      if (winding === 0) spans.push([r]);
      winding += turn;
      if (winding === 0) spans.at(-1).push(r);
    }
    const folded = spans
      .map(([a, b]) => (a >= 0 ? [a, b] : b <= 0 ? [-b, -a] : [0, Math.max(-a, b)]))
      .sort((a, b) => a[0] - b[0]);
    let reached = 0;
    for (const [a, b] of folded) {
      const from = Math.max(a, reached);
      moment += b > from ? ((b * b - from * from) / 2) * ((high - low) / SLICES) : 0;
      reached = Math.max(reached, b);
    }
  }
  return {
    volume: 20 * Math.sin(Math.PI / 10) * moment,
    height: high - low,
    width: 2 * Math.abs(widest[0]),
    widestAt: widest[1] - low,
  };
}

const solidNote = (page) => page.$eval('#solid-note', (note) => note.textContent);

// Each offered file closed (every edge in two triangles, wound opposite
// ways), outward, upright on the ground about the vertical axis through the
// origin, life-size, of the expected volume; the page's size.
async function checkSolids(page, seen, axis, what) {
  const tds = await triangleCorners('3ds', seen['3ds'].bytes);
  check(tds.length === 760 * 9, `object.3ds holds ${tds.length / 9} triangles (${what})`);
  const [want, near] = [expectedSolid(seen['3ds'].bytes, axis), (a, b) => Math.abs(a - b) < 1e-3];
  for (const format of ['glb', 'stl', 'obj']) {
    check(!seen[format].hidden, `object.${format} is not offered (${what})`);
    const corners = await triangleCorners(format, seen[format].bytes);
    const [edges, box, widest] = [new Set(), new Box3(), new Vector3()];
    let volume = 0;
    for (let t = 0; t < corners.length; t += 9) {
      const abc = [0, 3, 6].map((k) => new Vector3().fromArray(corners, t + k));
      abc.forEach((p, k) => {
        edges.add(`${p.toArray()}>${abc[(k + 1) % 3].toArray()}`);
        box.expandByPoint(p);
        widest.copy(Math.hypot(p.x, p.z) > Math.hypot(widest.x, widest.z) ? p : widest);
      });
      volume += abc[0].dot(abc[1].cross(abc[2])) / 6;
    }
    const open = [...edges].filter((e) => !edges.has(e.split('>').reverse().join('>')));
    const got = { volume, height: box.max.y, width: box.max.x - box.min.x, widestAt: widest.y };
    check(
      edges.size === corners.length / 3 && open.length === 0 && volume > 0,
      `object.${format}, ${what}: ${open.length} open edges, volume ${volume}`,
    );
    check(
      box.min.y === 0 &&
        near(box.min.x, -box.max.x) &&
        near(box.min.z, -box.max.z) &&
        ['height', 'width', 'widestAt'].every((key) => near(got[key], want[key])) &&
        Math.abs(volume - want.volume) <= want.volume * 1e-3,
      `object.${format}, ${what}: ${JSON.stringify(got)} from ${box.min.toArray()}, ` +
        `expected ${JSON.stringify(want)}`,
    );
  }
  const note = await solidNote(page);
  check(
    note.includes(`${want.height.toFixed(1)}\u00a0mm tall`),
    `the page says '${note}' of a solid ${want.height} mm tall (${what})`,
  );
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
    await page
      .waitForFunction(
        () => document.getElementById('preview-note').textContent.includes('not available'),
        { timeout: 10000 },
      )
      .catch(() => check(false, 'the 3D view did without WebGL'));
    const early = await page.evaluate(() =>
      performance.getEntriesByType('resource').map((r) => r.name),
    );
    check(!early.some((name) => name.includes('manifold')), `fetched before an export: ${early}`);
    // A profile wholly on one side of an axis that is neither level nor
    // at 45 degrees.
    await drag(page, START.P2, [200, 500]);
    await drag(page, START.B, [500, 250]);
    await page.keyboard.press('Tab');
    await checkExports(page, 1);
    const seen = await offers(page);
    await checkSolids(page, seen, [400, 150], 'P2 and B dragged');
    await validate(seen.glb.bytes, 'P2 and B dragged');
    // A level axis, its end toward the editor's right up; then one of no
    // length: no solid, object.3ds alone, and the page says why.
    await drag(page, START.A, [150, 700]);
    await drag(page, [500, 250], [650, 700]);
    await page.keyboard.press('Tab');
    await checkExports(page, 2);
    await checkSolids(page, await offers(page), [500, 0], 'a level axis');
    await drag(page, [650, 699], [150, 700]);
    await page.keyboard.press('Tab');
    await checkExports(page, 3);
    const none = Object.values(await offers(page)).map((offer) => offer.hidden);
    check(
      none.join() === 'false,true,true,true' && (await solidNote(page)).includes('no area'),
      `an axis of no length: hidden ${none}, the page says '${await solidNote(page)}'`,
    );
    checkNoProblems(page);
  },

  async valid_glb_and_held_tab({ browser, url }) {
    const page = await startEditor(browser, url);
    await page.keyboard.press('Tab');
    await checkExports(page, 1);
    const first = await offers(page);
    const notes = await validate(first.glb.bytes, 'initial scene');
    await checkSolids(page, first, [300, 300], 'initial scene');
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
    // Every control point on one pixel of the axis: no area, no solid.
    for (const point of ['P0', 'P1', 'P2', 'P3']) {
      await drag(page, START[point], [250, 250]);
    }
    await page.keyboard.press('Tab');
    await checkExports(page, 6);
    const point = await offers(page);
    check(
      point['3ds'].export === '6' && ['glb', 'stl', 'obj'].every((f) => point[f].hidden),
      `a profile without area: ${JSON.stringify(Object.values(point).map((o) => o.hidden))}`,
    );
    check((await solidNote(page)).includes('no area'), 'the page does not say why only object.3ds');
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
