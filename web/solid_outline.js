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
// The chunks from the file's main chunk down to the mesh's vertex list. Each
// starts with its 16-bit id and a 32-bit length counting its header, its data
// and the chunks inside; an object's data begins with its name, ended by a
// zero byte.
const PATH = [0x4d4d, 0x3d3d, 0x4000, 0x4100, 0x4110];
const OBJECT = 0x4000;
const HEADER_BYTES = 6;

// The data of the first chunk `id` among the chunks in data[start, end), as
// [start, end), or null.
function findChunk(data, id, start, end) {
  for (let at = start; at + HEADER_BYTES <= end;) {
    const length = data.getUint32(at + 2, true);
    if (length < HEADER_BYTES || length > end - at) {
      return null;
    }
    if (data.getUint16(at, true) === id) {
      return [at + HEADER_BYTES, at + length];
    }
    at += length;
  }
  return null;
}

// The vertex list's vertices: [start, count], or null.
function findVertices(data) {
  let inside = [0, data.byteLength];
  for (const id of PATH) {
    inside = findChunk(data, id, ...inside);
    if (inside === null) {
      return null;
    }
    if (id === OBJECT) {
      let name = inside[0];
      while (name < inside[1] && data.getUint8(name) !== 0) {
        ++name;
      }
      inside = [name + 1, inside[1]];
    }
  }
  const [start, end] = inside;
  const count = end - start >= 2 ? data.getUint16(start, true) : 0;
  return start + 2 + 12 * count <= end ? [start + 2, count] : null;
}

// [[distance, place], ...] for the samples in the profile's order, or null
// when the file has no axis direction to tell: then every sample sits at the
// axis's origin (or the axis has no length) and there is nothing to turn.
export function readOutline(bytes) {
  const data = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const [vertices, count] = findVertices(data) ?? [0, 0];
  if (count < SAMPLES || count % SAMPLES !== 0) {
    throw new Error('object.3ds does not hold rings of the profile');
  }
  const ring = [];
  for (let i = 0; i < SAMPLES; ++i) {
    const at = vertices + 12 * i;
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
