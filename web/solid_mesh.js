// The solid that turning the profile about the axis sweeps, as one closed,
// outward-wound triangle mesh, made by the Manifold library (manifold-3d),
// which the page loads at the first export.

// As many steps round the axis as object.3ds has rings.
const SEGMENTS = 20;
export const MM_PER_PIXEL = 0.1;
// A region between the profile and the axis thinner on average than this
// (in millimetres) is rounding, not a solid: a profile on the axis, at one
// point or retracing itself, or an axis of no length.
const THINNEST = 1e-4;

// The solid for `outline` (readOutline's [[distance, place], ...] in pixels),
// made with `manifold` (the library, set up), in millimetres, the axis along z, pointing up, through the origin, the
// lowest point at z = 0: { positions (Float32Array, x y z a vertex),
// indices (Uint32Array, three a triangle, counter-clockwise seen from
// outside) }, or null when the profile encloses no area with the axis.
export function makeSolid(outline, { CrossSection }) {
  if (outline === null) {
    return null;
  }
  // The region between the profile and the axis: the samples as drawn and
  // their feet on the axis. Every part of it counts, whichever way the
  // outline winds there (the non-zero rule); a part beyond the axis counts
  // by its distance from it, so the region is joined with its mirror image
  // and turned (which keeps only the side of positive x).
  const points = outline.map(([distance, place]) => [
    distance * MM_PER_PIXEL,
    place * MM_PER_PIXEL,
  ]);
  points.unshift([0, points[0][1]]);
  points.push([0, points.at(-1)[1]]);
  const made = [];
  const keep = (object) => (made.push(object), object);
  try {
    const region = keep(new CrossSection([points], 'NonZero'));
    const both = keep(region.add(keep(region.mirror([1, 0]))));
    const { min, max } = both.bounds();
    if (both.isEmpty() || both.area() <= THINNEST * (max[0] - min[0] + max[1] - min[1])) {
      return null;
    }
    const solid = keep(both.revolve(SEGMENTS));
    if (solid.status() !== 'NoError' || solid.isEmpty()) {
      throw new Error(`the solid could not be made (${solid.status()})`);
    }
    return groundedMesh(solid.getMesh());
  } finally {
    made.forEach((object) => object.delete());
  }
}

// Only the vertices the triangles use (the library's mesh may hold unused
// ones on the axis), moved down so the lowest is at z = 0.
function groundedMesh({ numProp, vertProperties, triVerts }) {
  const renumbered = new Map();
  const indices = new Uint32Array(triVerts.length);
  triVerts.forEach((vertex, i) => {
    if (!renumbered.has(vertex)) {
      renumbered.set(vertex, renumbered.size);
    }
    indices[i] = renumbered.get(vertex);
  });
  const positions = new Float32Array(3 * renumbered.size);
  let lowest = Infinity;
  for (const [vertex, index] of renumbered) {
    positions.set(vertProperties.subarray(vertex * numProp, vertex * numProp + 3), 3 * index);
    lowest = Math.min(lowest, positions[3 * index + 2]);
  }
  for (let z = 2; z < positions.length; z += 3) {
    positions[z] -= lowest;
  }
  return { positions, indices };
}
