// What the page does with an exported solid beyond offering object.3ds: the
// 3D view and the solid in the other formats. Built as one chunk with the
// parts of three.js both use, which the page loads once the editor runs, so
// the editor's start never waits for it; the geometry library that makes the
// solid is a chunk of its own, loaded at the first export.
export { createPreview } from './preview.js';
export { solidFiles } from './solid_files.js';
