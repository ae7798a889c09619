// Where a finger's press on the editor lands. A handle is a 5 x 5 square of
// canvas pixels, 3 CSS pixels on a tablet and 1.5 on a phone, far smaller
// than a fingertip: a press goes to the handle whose visible square lies
// nearest the contact point within REACH CSS pixels (measured to the
// nearest visible pixel of the square, 0 on it), even where a line or a curve
// dot lies under the finger, and lands on that nearest pixel, so the
// program's own pick selects the handle. The picture tells which square is
// where: handles are its only red and cyan pixels, and where squares overlap
// it shows the one that a press there selects. Windows offers applications
// the same (touch target adjustment); browsers do it for links.
const REACH = 24;
const isHandle = (r, g, b) =>
  (r === 255 && g === 0 && b === 0) || (r === 0 && g === 255 && b === 255);

// The canvas pixel [column, row] a press at canvas position (x, y), in
// fractions of a pixel, goes to, or null when no handle is in reach.
export function fingerPress(canvas, x, y) {
  const box = canvas.getBoundingClientRect();
  const across = box.width / canvas.width; // CSS pixels a canvas pixel
  const down = box.height / canvas.height;
  const left = Math.max(0, Math.floor(x - REACH / across));
  const top = Math.max(0, Math.floor(y - REACH / down));
  const right = Math.min(canvas.width, Math.ceil(x + REACH / across) + 1);
  const bottom = Math.min(canvas.height, Math.ceil(y + REACH / down) + 1);
  if (right <= left || bottom <= top) {
    return null;
  }
  const { data } = canvas.getContext('2d').getImageData(left, top, right - left, bottom - top);
  let nearest = null;
  let distance = REACH;
  for (let row = top; row < bottom; ++row) {
    for (let column = left; column < right; ++column) {
      const at = 4 * ((row - top) * (right - left) + (column - left));
      if (!isHandle(data[at], data[at + 1], data[at + 2])) {
        continue;
      }
      const dx = Math.max(0, column - x, x - (column + 1)) * across;
      const dy = Math.max(0, row - y, y - (row + 1)) * down;
      const d = Math.hypot(dx, dy);
      if (d < distance || (nearest === null && d === distance)) {
        nearest = [column, row];
        distance = d;
      }
    }
  }
  return nearest;
}
