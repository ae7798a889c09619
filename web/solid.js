// What the page does with an exported solid beyond offering object.3ds: the
// 3D view and the solid in the other formats, with the parts of three.js they
// use and the geometry library that makes the solid (Manifold). One chunk,
// which the page loads once the editor runs, so the editor's start never
// waits for it; it is ready (the library compiled and set up) when its
// import is, and a failure to load any of it fails the import.
import startManifold from 'manifold-3d';
import manifoldWasm from 'manifold-3d/manifold.wasm';

import { MAKER_NAMES, solidFiles as solidFilesWith } from './solid_files.js';

export { createPreview } from './preview.js';

const manifold = await startManifold({
  locateFile: () => new URL(manifoldWasm, import.meta.url).href,
});
manifold.setup();

// Every file made once as the chunk loads, for the start scene: the first
// Tab then finds the code compiled and is as quick as the rest (a cold first
// one took twice as long).
const START_SCENE = [
  [10, 20],
  [40, 400],
  [500, 90],
  [600, 700],
  [100, 100],
  [400, 400],
].map(([x, y]) => ({ x, y }));
(await solidFilesWith(START_SCENE, MAKER_NAMES, manifold)).geometry.dispose();

// The solid files for the scene's six points (solid_files.js).
export const solidFiles = (points, makers) => solidFilesWith(points, makers, manifold);
