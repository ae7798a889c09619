// The exported solid for the tools people take it to: the closed solid that
// turning the profile about the axis sweeps (solid_mesh.js), read from the
// object.3ds bytes (solid_outline.js), stood upright on the ground at life
// size (one editor pixel is 0.1 mm) and written by three.js's exporters as
// binary glTF (object.glb: metres, +Y up, as glTF requires), binary STL
// (object.stl: millimetres, +Z up, as slicers read it) and OBJ (object.obj:
// millimetres, +Y up, as OBJ readers assume). Nothing here draws, so the
// files are made wherever the page runs, with or without WebGL.
import { BufferAttribute, BufferGeometry, Mesh, MeshStandardMaterial } from 'three';
import { GLTFExporter } from 'three/addons/exporters/GLTFExporter.js';
import { STLExporter } from 'three/addons/exporters/STLExporter.js';
import { OBJExporter } from 'three/addons/exporters/OBJExporter.js';

import { readOutline } from './solid_outline.js';
import { makeSolid } from './solid_mesh.js';

// Each format's bytes, by its maker's name in the page's table of formats, from the
// solid's meshes: in millimetres with +Y up, in metres with +Y up, and in
// millimetres with +Z up.
const MAKERS = {
  glb: async ({ metres }) =>
    new Uint8Array(await new GLTFExporter().parseAsync(metres, { binary: true })),
  stl: ({ zUp }) => {
    const stl = new STLExporter().parse(zUp, { binary: true });
    return new Uint8Array(stl.buffer, stl.byteOffset, stl.byteLength);
  },
  obj: ({ millimetres }) => new TextEncoder().encode(new OBJExporter().parse(millimetres)),
};

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

// For the object.3ds `bytes`, made by each of `makers` (names in MAKERS) with
// the geometry library `manifold`:
// { files (a Uint8Array by maker's name),
// geometry (the solid in millimetres, +Y up, for the 3D view), height and
// width (millimetres) }, or { files: null } when there is no solid.
export async function solidFiles(bytes, makers, manifold) {
  const solid = makeSolid(readOutline(bytes), manifold);
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
    const { min, max } = millimetres.geometry.boundingBox;
    return {
      files: Object.fromEntries(await Promise.all(made)),
      geometry: millimetres.geometry,
      height: max.y - min.y,
      width: max.x - min.x,
    };
  } finally {
    // The 3D view takes the millimetre geometry and disposes of it.
    meshes.forEach((mesh) => mesh.material.dispose());
    metres.geometry.dispose();
    zUp.geometry.dispose();
  }
}
