// The exported solid for the tools people take it to: the solid as drawn
// (solid_mesh.js), stood upright on the ground at life size (one editor
// pixel is 0.1 mm), written by three.js's exporters as binary glTF
// (object.glb: metres, +Y up, as glTF requires), binary STL (object.stl:
// millimetres, +Z up, as slicers read it) and OBJ (object.obj: millimetres,
// +Y up, as Blender and three.js read it), and as 3MF (object.3mf:
// millimetres, +Z up, as the 3MF format defines them) with
// @jscadui/3mf-export's model and fflate's zip. Nothing here draws, so the
// files are made wherever the page runs, with or without WebGL.
import { BufferAttribute, BufferGeometry, Mesh, MeshStandardMaterial } from 'three';
import { GLTFExporter } from 'three/addons/exporters/GLTFExporter.js';
import { STLExporter } from 'three/addons/exporters/STLExporter.js';
import { OBJExporter } from 'three/addons/exporters/OBJExporter.js';
import { FileForRelThumbnail, fileForContentTypes, to3dmodel } from '@jscadui/3mf-export';
import { strToU8, zipSync } from 'fflate';

import { makeSolid } from './solid_mesh.js';

// The 3MF package: its content types, its relationships naming the model,
// and the model, one object holding every piece. No dates, inside or on the
// zip's entries, so one scene always gives the same bytes.
const MODEL_PATH = '3D/3dmodel.model';
const ZIP_DATE = new Date(1980, 0, 1);
// Deflate's fastest level: a file a tenth larger than at its default, in a
// third of the time, which the 150 ms from Tab to files has no room for.
const ZIP_LEVEL = 1;
function package3mf({ zUp }) {
  const { attributes, index } = zUp.geometry;
  const model = to3dmodel({
    meshes: [{ id: 1, vertices: attributes.position.array, indices: index.array, name: 'object' }],
    items: [{ objectID: 1 }],
    // Nine digits give back every single-precision coordinate.
    precision: 9,
    header: { unit: 'millimeter', title: 'object', application: 'Kestrovan', creationDate: null },
  });
  const relationships = new FileForRelThumbnail();
  relationships.add3dModel(`/${MODEL_PATH}`);
  const file = (text) => [strToU8(text), { mtime: ZIP_DATE, level: ZIP_LEVEL }];
  return zipSync({
    [fileForContentTypes.name]: file(fileForContentTypes.content),
    [relationships.name]: file(relationships.content),
    [MODEL_PATH]: file(model),
  });
}

// Each format's bytes, by its maker's name in the page's table of formats,
// from the solid's meshes: in millimetres with +Y up, in metres with +Y up,
// and in millimetres with +Z up.
const MAKERS = {
  '3mf': package3mf,
  glb: async ({ metres }) =>
    new Uint8Array(await new GLTFExporter().parseAsync(metres, { binary: true })),
  stl: ({ zUp }) => {
    const stl = new STLExporter().parse(zUp, { binary: true });
    return new Uint8Array(stl.buffer, stl.byteOffset, stl.byteLength);
  },
  obj: ({ millimetres }) => new TextEncoder().encode(new OBJExporter().parse(millimetres)),
};

export const MAKER_NAMES = Object.keys(MAKERS);

// `positions` (x y z, z up) with each vertex mapped by `place(x, y, z)`.
function mapped(positions, place) {
  const out = new Float32Array(positions.length);
  for (let i = 0; i < positions.length; i += 3) {
    out.set(place(positions[i], positions[i + 1], positions[i + 2]), i);
  }
  return out;
}

function meshOf(positions, indices) {
  const geometry = new BufferGeometry();
  geometry.setAttribute('position', new BufferAttribute(positions, 3));
  geometry.setIndex(new BufferAttribute(indices, 1));
  geometry.computeBoundingBox();
  const mesh = new Mesh(geometry, new MeshStandardMaterial());
  mesh.name = 'object';
  return mesh;
}

// For the scene's six `points` (P0, P1, P2, P3, A, B as { x, y } in editor
// pixels), made by each of `makers` (names in MAKERS) with the geometry
// library `manifold`: { files (a Uint8Array by maker's name), geometry (the
// solid in millimetres, +Y up, for the 3D view), height and width as drawn
// (millimetres), pieces }, or { files: null } when there is no solid.
export async function solidFiles(points, makers, manifold) {
  const solid = makeSolid(points, manifold);
  if (solid === null) {
    return { files: null };
  }
  const { positions, indices } = solid;
  // A quarter turn about x takes +Z up to +Y up: (x, y, z) -> (x, z, -y).
  const yUp = mapped(positions, (x, y, z) => [x, z, -y]);
  const inMetres = mapped(yUp, (x, y, z) => [x / 1000, y / 1000, z / 1000]);
  const meshes = [yUp, inMetres, positions].map((p) => meshOf(p, indices));
  const [millimetres, metres, zUp] = meshes;
  try {
    const made = makers.map(async (maker) => [
      maker,
      await MAKERS[maker]({ millimetres, metres, zUp }),
    ]);
    return {
      files: Object.fromEntries(await Promise.all(made)),
      geometry: millimetres.geometry,
      height: solid.height,
      width: solid.width,
      pieces: solid.pieces,
    };
  } finally {
    // The 3D view takes the millimetre geometry and disposes of it.
    meshes.forEach((mesh) => mesh.material.dispose());
    metres.geometry.dispose();
    zUp.geometry.dispose();
  }
}
