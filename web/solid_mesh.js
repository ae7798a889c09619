// The solid as drawn: the region between the whole Bézier profile (from its
// first control point to its last) and the drawn axis line (through both
// axis ends), turned about that line, as one closed, outward-wound triangle
// mesh made with the Manifold library (manifold-3d).
//
// Smooth: the curve is cut into chords and the turn into segments so finely
// that no facet strays more than FACET_TOLERANCE from the true surface, and
// no finer. Printable: every piece is one closed manifold body. Pieces that
// would touch only along a circle or at a point (where the profile crosses
// itself, the axis or an end's cap) are kept clear of each other by a small
// cut round each such point: a slicer then sees separate bodies, as it would
// print them, instead of a seam no printer can make.

export const MM_PER_PIXEL = 0.1;
// How far a facet may lie from the true surface, in millimetres, shared
// equally by the curve's chords and the turn's segments (the two strays add
// up where the chord and the segment both cut inside).
const FACET_TOLERANCE = 0.05;
const CHORD_TOLERANCE = FACET_TOLERANCE / 2;
const TURN_TOLERANCE = FACET_TOLERANCE / 2;
// How far round a point where pieces touch the cut reaches (millimetres):
// well below what a printer can make, and far above the rounding of single
// precision coordinates, so the pieces stay apart in every file.
const CLEARANCE = 0.025;
const CLEARANCE_SIDES = 16;
// Two places of the section's outline nearer than this (millimetres) touch:
// far below what anyone draws or prints, far above the rounding of single
// precision coordinates, which would join them in a file.
const TOUCHING = 1e-3;
// Corners that stray less than this (millimetres) from the outline without
// them go: the near-duplicates and slivers where the profile retraces itself,
// which single precision would fold onto each other.
const SLIVER = 1e-4;
// Cuts round touching places, each pass clearing what the last one's left.
const CLEARING_PASSES = 3;
// A region thinner on average than this (millimetres) is rounding, not a
// solid: a profile on the axis, at one point or retracing itself.
const THINNEST = 1e-4;
// Halving the curve this often leaves pieces far below a pixel.
const DEEPEST = 24;

// The section's coordinates for the drawn axis through `a` and `b`: a point
// of the editor to [distance from the axis, place along it], in
// millimetres, the place measured upward, or null for an axis of no length.
// Up is the axis's end toward the editor's top; along a level axis its end
// toward the editor's right (the editor turned a quarter turn anticlockwise).
function sectionFrame(a, b) {
  const [dx, dy] = [b.x - a.x, b.y - a.y];
  const length = Math.hypot(dx, dy);
  if (length === 0) {
    return null;
  }
  const flip = dy > 0 || (dy === 0 && dx < 0) ? -1 : 1;
  const [ux, uy] = [(flip * dx) / length, (flip * dy) / length];
  return ({ x, y }) => {
    const [px, py] = [x - a.x, y - a.y];
    return [(px * uy - py * ux) * MM_PER_PIXEL, (px * ux + py * uy) * MM_PER_PIXEL];
  };
}

const mix = (p, q) => [(p[0] + q[0]) / 2, (p[1] + q[1]) / 2];

// Appends to `out` the ends of chords that follow the cubic p0..p3 within
// CHORD_TOLERANCE (p0 itself excluded), halving it where it is not yet flat:
// a chord strays from its piece by at most 3/4 of the larger second
// difference of the piece's control points.
function flatten(p0, p1, p2, p3, out, depth = 0) {
  const bend = Math.max(
    Math.hypot(p0[0] - 2 * p1[0] + p2[0], p0[1] - 2 * p1[1] + p2[1]),
    Math.hypot(p1[0] - 2 * p2[0] + p3[0], p1[1] - 2 * p2[1] + p3[1]),
  );
  if (0.75 * bend <= CHORD_TOLERANCE || depth === DEEPEST) {
    out.push(p3);
    return;
  }
  const [p01, p12, p23] = [mix(p0, p1), mix(p1, p2), mix(p2, p3)];
  const [p012, p123] = [mix(p01, p12), mix(p12, p23)];
  const middle = mix(p012, p123);
  flatten(p0, p01, p012, middle, out, depth + 1);
  flatten(middle, p123, p23, p3, out, depth + 1);
}

function distanceToSegment([x, y], [ax, ay], [bx, by]) {
  const [dx, dy] = [bx - ax, by - ay];
  const squared = dx * dx + dy * dy;
  const t = squared === 0 ? 0 : Math.max(0, Math.min(1, ((x - ax) * dx + (y - ay) * dy) / squared));
  return Math.hypot(x - ax - t * dx, y - ay - t * dy);
}

// The places where the outline (rings of points) touches itself: a corner
// on another ring's or a non-neighbouring side of its own ring. There the
// region is pinched, and turned it would not be manifold.
function touchingPlaces(rings) {
  const places = [];
  rings.forEach((ring, r) => {
    ring.forEach((corner, i) => {
      const touches = rings.some((other, s) =>
        other.some((from, j) => {
          const to = other[(j + 1) % other.length];
          const beside = s === r && (j === i || (j + 1) % other.length === i);
          return !beside && distanceToSegment(corner, from, to) < TOUCHING;
        }),
      );
      if (touches) {
        places.push(corner);
      }
    });
  });
  return places;
}

// A ring round `centre` reaching CLEARANCE, anticlockwise.
const clearing = ([cx, cy]) =>
  Array.from({ length: CLEARANCE_SIDES }, (_, k) => {
    const angle = (2 * Math.PI * k) / CLEARANCE_SIDES;
    return [cx + CLEARANCE * Math.cos(angle), cy + CLEARANCE * Math.sin(angle)];
  });

// Segments round the axis for the largest radius: a segment's chord strays
// r (1 - cos(pi / n)) from its circle. A multiple of four, so the solid is
// as wide across as it is deep.
function segmentsFor(radius) {
  const fewest = radius <= TURN_TOLERANCE ? 4 : Math.PI / Math.acos(1 - TURN_TOLERANCE / radius);
  return 4 * Math.ceil(fewest / 4);
}

// The solid for `points` (P0, P1, P2, P3, A, B as { x, y } in editor
// pixels), made with `manifold` (the library, set up), in millimetres, the
// axis along z, pointing up, through the origin, the lowest point at z = 0:
// { positions (Float32Array, x y z a vertex), indices (Uint32Array, three a
// triangle, counter-clockwise seen from outside), pieces, height, width },
// or null when the profile encloses no area with the axis.
export function makeSolid(points, { CrossSection }) {
  const toSection = sectionFrame(points[4], points[5]);
  if (toSection === null) {
    return null;
  }
  const [p0, p1, p2, p3] = points.slice(0, 4).map(toSection);
  // The region between the profile and the axis: the curve and each end's
  // foot on the axis. Every part of it counts, whichever way the outline
  // winds there (the non-zero rule); a part beyond the axis counts by its
  // distance from it, so the region is joined with its mirror image.
  const outline = [[0, p0[1]], p0];
  flatten(p0, p1, p2, p3, outline);
  outline.push([0, p3[1]]);
  const made = [];
  const keep = (object) => (made.push(object), object);
  try {
    const region = keep(new CrossSection([outline], 'NonZero'));
    let both = keep(keep(region.add(keep(region.mirror([1, 0])))).simplify(SLIVER));
    for (let pass = 0; pass < CLEARING_PASSES; ++pass) {
      const touching = touchingPlaces(both.toPolygons());
      if (touching.length === 0) {
        break;
      }
      both = keep(keep(both.subtract(touching.map(clearing))).simplify(SLIVER));
    }
    const { min, max } = both.bounds();
    if (both.isEmpty() || both.area() <= THINNEST * (max[0] - min[0] + max[1] - min[1])) {
      return null;
    }
    // The side of positive distance is what turns.
    const side = keep(
      CrossSection.square([max[0] + 1, max[1] - min[1] + 2]).translate([0, min[1] - 1]),
    );
    const half = keep(keep(both.intersect(side)).simplify(SLIVER));
    const pieces = half.decompose();
    made.push(...pieces);
    const solid = keep(half.revolve(segmentsFor(max[0])));
    if (solid.status() !== 'NoError' || solid.isEmpty()) {
      throw new Error(`the solid could not be made (${solid.status()})`);
    }
    return {
      ...groundedMesh(solid.getMesh()),
      pieces: pieces.length,
      height: max[1] - min[1],
      width: 2 * max[0],
    };
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
