// What the page does with an exported solid beyond offering object.3ds: the
// 3D view and the solid in the other formats, with the parts of three.js they
// use and the geometry library that makes the solid (Manifold). One chunk,
// which the page loads once the editor runs, so the editor's start never
// waits for it; it is ready (the library compiled and set up) when its
// import is, and a failure to load any of it fails the import.
import startManifold from 'manifold-3d';
import manifoldWasm from 'manifold-3d/manifold.wasm';

import { solidFiles as solidFilesWith } from './solid_files.js';

export { createPreview } from './preview.js';

const manifold = await startManifold({
  locateFile: () => new URL(manifoldWasm, import.meta.url).href,
});
manifold.setup();

// The solid files for the scene's six points (solid_files.js).
export const solidFiles = (points, makers) => solidFilesWith(points, makers, manifold);
