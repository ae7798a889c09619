// The profile as it lies against the rotation axis, read back from the bytes
// of object.3ds: for each of its samples, its distance from the axis (signed
// by the side of the axis it lies on) and its place along the axis, measured
// upward, both in editor pixels.
//
// The file's rings are the samples turned about the axis, which runs through
// the editor's origin in its plane. The first ring is turned a quarter turn
// out of that plane: each of its vertices is the axis direction times its
// sample's place along the axis, plus the sample's signed distance from the
// axis along z. So the axis direction is the direction of the vertex
// farthest from the origin in x and y, and the rest follows.
//
// "Up" is the axis direction toward the top of the editor (smaller y); along
// a level axis it is toward the editor's right, as if the editor were turned
// a quarter turn anticlockwise.

const SAMPLES = 20;
const VERTEX_COUNT_AT = 31;
const VERTICES_AT = 33;
const MAIN_CHUNK = 0x4d4d;
const VERTEX_LIST_CHUNK = 0x4110;
const VERTEX_LIST_AT = 25;

// [[distance, place], ...] for the samples in the profile's order, or null
// when the file has no axis direction to tell: then every sample sits at the
// axis's origin (or the axis has no length) and there is nothing to turn.
export function readOutline(bytes) {
  const data = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const vertices = data.byteLength >= VERTICES_AT ? data.getUint16(VERTEX_COUNT_AT, true) : 0;
  if (
    data.byteLength < VERTICES_AT + 12 * vertices ||
    data.getUint16(0, true) !== MAIN_CHUNK ||
    data.getUint16(VERTEX_LIST_AT, true) !== VERTEX_LIST_CHUNK ||
    vertices < SAMPLES ||
    vertices % SAMPLES !== 0
  ) {
    throw new Error('object.3ds does not hold rings of the profile');
  }
  const ring = [];
  for (let i = 0; i < SAMPLES; ++i) {
    const at = VERTICES_AT + 12 * i;
    ring.push([0, 4, 8].map((offset) => data.getFloat32(at + offset, true)));
  }
  const far = ring.reduce((best, v) =>
    Math.hypot(v[0], v[1]) > Math.hypot(best[0], best[1]) ? v : best,
  );
  const length = Math.hypot(far[0], far[1]);
  if (length === 0) {
    return null;
  }
  // The far vertex's y is exactly 0 when, and only when, the axis is level.
  const flip = far[1] > 0 || (far[1] === 0 && far[0] < 0) ? -1 : 1;
  const up = [(flip * far[0]) / length, (flip * far[1]) / length];
  return ring.map(([x, y, z]) => [z, x * up[0] + y * up[1]]);
}
