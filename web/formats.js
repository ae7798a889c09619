// The files the page offers for every export, in the order it lists them:
// the program's own object.3ds, byte for byte, and the solid as drawn in the
// formats other tools take, each made by the maker of that name in
// solid_files.js. A new format is one entry here and its maker there; the
// page's links and messages and the tests all come from this table.
export const FORMATS = [
  {
    id: 'download',
    file: 'object.3ds',
    title: 'The program\u2019s own file, a 3D Studio mesh: any 3DS importer, Blender',
    maker: null,
    // What the page says of it, once: it is not the solid the others hold.
    note: 'object.3ds is the program\u2019s own file: the profile turned about a line through the editor\u2019s corner parallel to the axis, as the program has always written it.',
  },
  {
    id: 'download-3mf',
    file: 'object.3mf',
    title: '3MF in millimetres, +Z up: slicers for 3D printing (PrusaSlicer, Cura, Bambu Studio)',
    maker: '3mf',
  },
  {
    id: 'download-glb',
    file: 'object.glb',
    title: 'Binary glTF 2.0 in metres, +Y up: game engines, the web, model viewers, Blender',
    maker: 'glb',
  },
  {
    id: 'download-stl',
    file: 'object.stl',
    title: 'Binary STL in millimetres, +Z up: slicers for 3D printing, Blender',
    maker: 'stl',
  },
  {
    id: 'download-obj',
    file: 'object.obj',
    title: 'Wavefront OBJ in millimetres, +Y up: Blender, three.js and most 3D tools',
    maker: 'obj',
  },
];

// The formats made from the solid, and their names as a sentence lists them.
export const SOLID_FORMATS = FORMATS.filter((format) => format.maker !== null);
export const SOLID_FILE_NAMES = new Intl.ListFormat('en-GB').format(
  SOLID_FORMATS.map((format) => format.file),
);
