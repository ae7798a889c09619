// The solid offered as object.3mf, object.glb, object.stl and object.obj
// beside object.3ds, read back with three.js's own loaders (object.3mf's
// model from its zip) and checked by the Khronos glTF validator.
// node formats_test.mjs SITE FRAME_CHECK [GROUP...]
//   same_solid  without WebGL: nothing offered before an export; after drags
//               and a Tab each file holds the solid as drawn (see
//               checkSolids), also about a level axis; an axis of no length
//               has object.3ds offered alone
//   valid_glb_and_held_tab
//               the validator finds no errors in object.glb; the start scene
//               crosses the axis, a profile folds back over its end's cap,
//               another retraces a line across the axis, and each is
//               manifold pieces all the same; a held Tab
//               replaces all five offers together; a profile without area
//               has object.3ds offered alone
import { Box3, BufferAttribute, BufferGeometry, Mesh, Vector3 } from 'three';
import { GLTFLoader } from 'three/addons/loaders/GLTFLoader.js';
import { OBJLoader } from 'three/addons/loaders/OBJLoader.js';
import { STLLoader } from 'three/addons/loaders/STLLoader.js';
import { TDSLoader } from 'three/addons/loaders/TDSLoader.js';
import validator from 'gltf-validator';
import { strFromU8, unzipSync } from 'fflate';

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
            // As base64, which crosses to the test far quicker than numbers.
            const read = new FileReader();
            const loaded = new Promise((resolve) => (read.onload = resolve));
            if (!link.hidden) {
              read.readAsDataURL(await (await fetch(link.href)).blob());
              await loaded;
            }
            const bytes = link.hidden ? null : read.result.split(',')[1];
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
    offer.bytes &&= Buffer.from(offer.bytes, 'base64');
  });
  return seen;
}

const READERS = {
  '3ds': (data) => new TDSLoader().parse(data, ''),
  glb: async (data) => (await new GLTFLoader().parseAsync(data, '')).scene,
  stl: (data) => new Mesh(new STLLoader().parse(data)),
  obj: (data) => new OBJLoader().parse(Buffer.from(data).toString('latin1')),
  // The model in millimetres (read back here), its triangles by their corners.
  '3mf': (data) => {
    const model = strFromU8(unzipSync(new Uint8Array(data))['3D/3dmodel.model']);
    check(/<model unit="millimeter"/.test(model), `object.3mf: ${model.slice(0, 300)}`);
    const numbers = (tag) =>
      [...model.matchAll(new RegExp(`<${tag} ([^/]*)/>`, 'g'))].flatMap(([, fields]) =>
        [...fields.matchAll(/"([^"]*)"/g)].map(([, n]) => Number(n)),
      );
    const [vertices, triangles] = [numbers('vertex'), numbers('triangle')];
    return new Mesh(
      new BufferGeometry().setAttribute(
        'position',
        new BufferAttribute(
          new Float32Array(triangles.flatMap((v) => vertices.slice(3 * v, 3 * v + 3))),
          3,
        ),
      ),
    );
  },
};
// Each file's coordinates to millimetres with y up (3MF and STL have z up).
const zUp = (v) => v.set(v.x, v.z, -v.y);
const TO_MM_Y_UP = { glb: (v) => v.multiplyScalar(1000), stl: zUp, '3mf': zUp };

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

// The exact solid as drawn, in mm, from the scene's points ({ P0: [x, y],
// ... }): the region between the whole curve (finely sampled) and the axis
// through A and B, each side counted by its distance from the axis, turned
// a full circle; its volume (Pappus, slice by slice along the axis), height,
// width and the height of its centroid.
function expectedSolid({ P0, P1, P2, P3, A, B }) {
  const [dx, dy] = [B[0] - A[0], B[1] - A[1]];
  const length = Math.hypot(dx, dy) * (dy < 0 || (dy === 0 && dx > 0) ? 1 : -1);
  const curve = Array.from({ length: 2001 }, (_, i) => {
    const [t, u] = [i / 2000, 1 - i / 2000];
    const w = [u * u * u, 3 * u * u * t, 3 * u * t * t, t * t * t];
    const [x, y] = [0, 1].map((k) => [P0, P1, P2, P3].reduce((sum, p, j) => sum + w[j] * p[k], 0));
    return [
      ((x - A[0]) * dy - (y - A[1]) * dx) / length / 10,
      ((x - A[0]) * dx + (y - A[1]) * dy) / length / 10,
    ];
  });
  const heights = curve.map(([, h]) => h);
  const [low, high] = [Math.min(...heights), Math.max(...heights)];
  const polygon = [[0, curve[0][1]], ...curve, [0, curve.at(-1)[1]]];
  const edges = polygon.map(([r1, h1], i) => [r1, h1, ...polygon[(i + 1) % polygon.length]]);
  const SLICES = 4000;
  let [moment, raised] = [0, 0]; // of the area about the axis, the region folded onto one side
  for (let slice = 0; slice < SLICES; ++slice) {
    const h = low + ((slice + 0.5) * (high - low)) / SLICES;
    const crossings = edges
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
      const ring = b > from ? ((b * b - from * from) / 2) * ((high - low) / SLICES) : 0;
      [moment, raised] = [moment + ring, raised + ring * (h - low)];
      reached = Math.max(reached, b);
    }
  }
  const width = 2 * Math.max(...curve.map(([r]) => Math.abs(r)));
  return { volume: 2 * Math.PI * moment, height: high - low, width, centroid: raised / moment };
}

const solidNote = (page) => page.$eval('#solid-note', (note) => note.textContent);

// Each offered file closed and manifold (every edge in two triangles, wound
// opposite ways; round every corner one fan of triangles), outward, upright
// on the ground about the vertical axis through the origin, life-size, the
// solid as drawn within 0.05 mm (its volume within 0.05 mm of its surface);
// the page's size and count of pieces.
async function checkSolids(page, seen, scene, what, pieces = 1) {
  const want = expectedSolid({ ...START, ...scene });
  const near = (a, b) => Math.abs(a - b) <= 0.05;
  for (const format of ['3mf', 'glb', 'stl', 'obj']) {
    check(!seen[format].hidden, `object.${format} is not offered (${what})`);
    const corners = await triangleCorners(format, seen[format].bytes);
    const [edges, fans, box] = [new Set(), new Map(), new Box3()];
    let [volume, area, raised] = [0, 0, 0];
    for (let t = 0; t < corners.length; t += 9) {
      const abc = [0, 3, 6].map((k) => new Vector3().fromArray(corners, t + k));
      const keys = abc.map((p) => p.toArray().join());
      keys.forEach((key, k) => {
        edges.add(`${key}>${keys[(k + 1) % 3]}`);
        fans.set(key, [...(fans.get(key) ?? []), [keys[(k + 1) % 3], keys[(k + 2) % 3]]]);
        box.expandByPoint(abc[k]);
      });
      const tetrahedron = abc[0].dot(abc[1].clone().cross(abc[2])) / 6;
      volume += tetrahedron;
      raised += (tetrahedron * (abc[0].y + abc[1].y + abc[2].y)) / 4;
      area += abc[1].clone().sub(abc[0]).cross(abc[2].clone().sub(abc[0])).length() / 2;
    }
    const open = [...edges].filter((e) => !edges.has(e.split('>').reverse().join('>')));
    // A corner where pieces meet has its triangles in more than one fan.
    const pinched = [...fans.values()].filter((fan) => {
      const next = new Map(fan);
      let [at, steps] = [fan[0][0], 0];
      do [at, steps] = [next.get(at), steps + 1];
      while (at !== fan[0][0] && at !== undefined && steps <= fan.length);
      return steps !== fan.length;
    });
    const got = {
      volume,
      height: box.max.y,
      width: box.max.x - box.min.x,
      centroid: raised / volume,
    };
    check(
      edges.size === corners.length / 3 && open.length === 0 && pinched.length === 0 && volume > 0,
      `object.${format}, ${what}: ${open.length} open edges, ${pinched.length} pinched corners`,
    );
    check(
      box.min.y === 0 &&
        near(box.min.x, -box.max.x) &&
        near(box.min.z, -box.max.z) &&
        ['height', 'width', 'centroid'].every((key) => near(got[key], want[key])) &&
        Math.abs(volume - want.volume) <= 0.05 * area,
      `object.${format}, ${what}: ${JSON.stringify(got)} from ${box.min.toArray()}, ` +
        `expected ${JSON.stringify(want)} within 0.05 mm (${0.05 * area} mm³)`,
    );
  }
  const note = await solidNote(page);
  check(
    note.includes(`${want.height.toFixed(1)}\u00a0mm tall`) &&
      note.includes(pieces > 1 ? `in ${pieces} separate pieces` : 'wide.'),
    `the page says '${note}' of a solid ${want.height} mm tall in ${pieces} pieces (${what})`,
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
        // A browser that shares all but 3DS files; a failed share, and a cancelled one.
        navigator.canShare = ({ files }) => !files[0].name.endsWith('.3ds');
        navigator.share = ({ files: [{ name }] }) =>
          Promise.reject(new DOMException('No', name.endsWith('stl') ? 'AbortError' : 'DataError'));
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
    // A profile crossing an axis that is neither level nor at 45 degrees
    // and runs nowhere near the editor's corner.
    await drag(page, START.P2, [200, 500]);
    await drag(page, START.B, [500, 250]);
    await page.keyboard.press('Tab');
    await checkExports(page, 1);
    const seen = await offers(page);
    await checkSolids(page, seen, { P2: [200, 500], B: [500, 250] }, 'P2 and B dragged', 2);
    await validate(seen.glb.bytes, 'P2 and B dragged');
    const shared = async (format) => {
      await page.click(`#download-${format} ~ .share`);
      await new Promise((resolve) => setTimeout(resolve, 100));
      return page.$eval('#share-note', (note) => note.textContent);
    };
    const offered = await page.$$eval('.share', (buttons) => buttons.map((b) => b.hidden).join());
    const [failed, cancelled] = [await shared('glb'), await shared('stl')];
    check(
      offered === 'true,false,false,false,false' && failed.includes('object.glb') && !cancelled,
      `share offered ${offered}; failed: '${failed}', cancelled: '${cancelled}'`,
    );
    // A level axis, its end toward the editor's right up; then one of no
    // length: no solid, object.3ds alone, and the page says why.
    await drag(page, START.A, [150, 700]);
    await drag(page, [500, 250], [650, 700]);
    await page.keyboard.press('Tab');
    await checkExports(page, 2);
    const level = { P2: [200, 500], A: [150, 700], B: [650, 700] };
    await checkSolids(page, await offers(page), level, 'a level axis');
    await drag(page, [650, 699], [150, 700]);
    await page.keyboard.press('Tab');
    await checkExports(page, 3);
    const none = Object.values(await offers(page)).map((offer) => offer.hidden);
    check(
      none.join() === 'false,true,true,true,true' && (await solidNote(page)).includes('no area'),
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
    await checkSolids(page, first, {}, 'initial scene', 3);
    console.log(
      Object.entries(first)
        .map(([f, o]) => `object.${f}: ${o.bytes.length} bytes`)
        .join(', '),
    );

    // A held Tab, the first press and then the browser's repeats, replaces
    // all five offers together.
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
    // The profile folded back across its first end's cap: two bodies that
    // would touch along a circle.
    await drag(page, START.P2, [700, 700]);
    await page.keyboard.press('Tab');
    await checkExports(page, 6);
    await checkSolids(page, await offers(page), { P2: [700, 700] }, 'folded back', 2);
    // A straight profile that runs across the axis and back over itself.
    const retraced = { P0: [150, 300], P1: [550, 300], P3: [450, 300], P2: [50, 300] };
    for (const [point, to] of Object.entries(retraced)) {
      await drag(page, point === 'P2' ? [700, 700] : START[point], to);
    }
    await page.keyboard.press('Tab');
    await checkExports(page, 7);
    await checkSolids(page, await offers(page), retraced, 'retraced', 2);
    // Every control point on one pixel of the axis: no area, no solid. Each
    // is taken below the line along its middle row.
    for (const [x, y] of Object.values(retraced)) {
      await drag(page, [x, y + 2], [250, 250]);
    }
    await page.keyboard.press('Tab');
    await checkExports(page, 8);
    const point = await offers(page);
    check(
      point['3ds'].export === '8' && ['3mf', 'glb', 'stl', 'obj'].every((f) => point[f].hidden),
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
