// The exported solid in the formats other tools read, made from the
// object.3ds bytes by three.js's own 3DS loader and exporters: binary glTF
// (object.glb), binary STL (object.stl) and OBJ (object.obj). Nothing here
// draws, so the files are made wherever the page runs, with or without WebGL.
import { MeshStandardMaterial } from 'three';
import { TDSLoader } from 'three/addons/loaders/TDSLoader.js';
import { GLTFExporter } from 'three/addons/exporters/GLTFExporter.js';
import { STLExporter } from 'three/addons/exporters/STLExporter.js';
import { OBJExporter } from 'three/addons/exporters/OBJExporter.js';

// The solid as the file holds it: its vertices and triangles, untransformed.
// The loader also gives each mesh vertex normals and a Phong material, which
// are not in the file (and glTF cannot express Phong): the normals go, and a
// plain standard material stands in, since glTF writes one for every mesh.
function readSolid(bytes) {
  const group = new TDSLoader().parse(
    bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.length),
    '',
  );
  group.traverse((node) => {
    if (node.isMesh) {
      node.geometry.deleteAttribute('normal');
      node.material.dispose();
      node.material = new MeshStandardMaterial();
    }
  });
  group.updateMatrixWorld(true);
  return group;
}

function dispose(group) {
  group.traverse((node) => {
    if (node.isMesh) {
      node.geometry.dispose();
      node.material.dispose();
    }
  });
}

// The three files for the object.3ds `bytes`, each as bytes:
// { glb, stl, obj } (Uint8Arrays).
export async function solidFiles(bytes) {
  const solid = readSolid(bytes);
  try {
    const glb = await new GLTFExporter().parseAsync(solid, { binary: true });
    const stl = new STLExporter().parse(solid, { binary: true });
    const obj = new OBJExporter().parse(solid);
    return {
      glb: new Uint8Array(glb),
      stl: new Uint8Array(stl.buffer, stl.byteOffset, stl.byteLength),
      obj: new TextEncoder().encode(obj),
    };
  } finally {
    dispose(solid);
  }
}
