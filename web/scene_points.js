// Where the program has its six points, read from the picture it presents:
// the top byte of each word is the program's own map of which pixel selects
// which point, so the page learns the points without the program or the
// platform layer telling it anything.
//
// Each point's handle is a 5 x 5 square that lies to the left of the point
// (columns x-5..x-1, rows y-2..y+2), drawn with the point clamped so the
// square fits the frame. The handles are drawn in the order P0, P1, P2, P3,
// A, B and the lines and curve dots over them, so where they meet the later
// one shows. A point's position follows from its visible pixels: a centre
// fits when every visible pixel of the point lies in its square and every
// other pixel of its square shows something drawn later.
export const FRAME_WIDTH = 1280;
export const FRAME_HEIGHT = 1024;
// P0, P1, P2, P3, A, B: where the editor starts.
export const START_POINTS = [
  [10, 20],
  [40, 400],
  [500, 90],
  [600, 700],
  [100, 100],
  [400, 400],
].map(([x, y]) => ({ x, y, hidden: false }));

const RED = 0xff0000;
const CYAN = 0x00ffff;
const GREEN = 0x00ff00; // the lines
const WHITE = 0xffffff; // the curve dots
const BACKGROUND = 0xff000000 | 0; // as a signed word (below)
const AXIS_A = 0xfd;
const AXIS_B = 0xfe;
const OVER_ALL_HANDLES = 6;
const NOTHING = -1;
// Around a point's last known place, how far a search looks before the whole
// picture is read (a drag's moves are mostly this short).
const NEAR = 48;

// What a word shows, as its place in the drawing order: 0..5 a handle (P0 to
// B), OVER_ALL_HANDLES a line or curve dot, NOTHING the background.
function layer(word) {
  const id = (word >>> 24) & 0xff;
  const colour = word & 0xffffff;
  if (colour === RED) {
    return id < 4 ? id : NOTHING;
  }
  if (colour === CYAN) {
    return id === AXIS_A ? 4 : id === AXIS_B ? 5 : NOTHING;
  }
  return colour === GREEN || colour === WHITE ? OVER_ALL_HANDLES : NOTHING;
}

// Where the handle of a point at (x, y) is drawn: the point clamped.
const drawnX = (x) => Math.min(Math.max(x, 5), FRAME_WIDTH - 5);
const drawnY = (y) => Math.min(Math.max(y, 5), FRAME_HEIGHT - 5);

// Grows the bounds of handle k's visible pixels to take in (x, y).
function takeIn(bounds, k, x, y) {
  const b = bounds[k];
  if (b === null) {
    bounds[k] = { left: x, right: x, top: y, bottom: y };
  } else {
    b.left = Math.min(b.left, x);
    b.right = Math.max(b.right, x);
    b.top = Math.min(b.top, y);
    b.bottom = Math.max(b.bottom, y);
  }
}

// The bounds of handle k's visible pixels within the given rectangle.
function boundsNear(words, k, left, top, right, bottom) {
  const bounds = [null];
  for (let y = top; y < bottom; ++y) {
    for (let x = left; x < right; ++x) {
      const word = words[y * FRAME_WIDTH + x];
      if (word !== BACKGROUND && layer(word) === k) {
        takeIn(bounds, 0, x, y);
      }
    }
  }
  return bounds[0];
}

// The bounds of every handle's visible pixels in the whole picture, in one
// pass that looks only at what is not background (a few thousand words).
function allBounds(words) {
  const bounds = [null, null, null, null, null, null];
  for (let i = 0; i < words.length; ++i) {
    if (words[i] !== BACKGROUND) {
      const k = layer(words[i]);
      if (k >= 0 && k < OVER_ALL_HANDLES) {
        takeIn(bounds, k, i % FRAME_WIDTH, Math.floor(i / FRAME_WIDTH));
      }
    }
  }
  return bounds;
}

// Whether handle k drawn at (cx, cy) explains the picture: nothing drawn
// before it shows in its square.
function fits(words, k, cx, cy) {
  for (let y = cy - 2; y <= cy + 2; ++y) {
    for (let x = cx - 5; x < cx; ++x) {
      if (layer(words[y * FRAME_WIDTH + x]) < k) {
        return false;
      }
    }
  }
  return true;
}

// The point's coordinate from where its handle is drawn: exact unless the
// handle sits at a clamp, where the point may lie anywhere up to the edge;
// there the likeliest of `guesses` that the clamp explains, else the clamp.
function unclamp(drawn, clamp, guesses) {
  return guesses.find((guess) => clamp(guess) === drawn) ?? drawn;
}

// The six points, P0, P1, P2, P3, A, B, as { x, y, hidden } in editor pixels,
// from a presented frame's words (rows of FRAME_WIDTH words, top-down).
// `previous` holds the points as last known; a point none of whose square
// shows keeps its previous place, hidden. `hints` are places the pointer or
// keys may have just put a point, which settle a handle at the frame's edge.
export function readScenePoints(frameWords, previous = START_POINTS, hints = []) {
  // Signed words stay small integers for the engine, several times faster to
  // read than unsigned ones above 2^31.
  const words = new Int32Array(frameWords.buffer, frameWords.byteOffset, frameWords.length);
  // Near each point's last place first; the whole picture only when a
  // point seen last time is not wholly there (moved far, or just hidden). A
  // hidden point cannot be picked, so it shows again where it was.
  let whole = null;
  const found = previous.map((point, k) => {
    const left = Math.max(0, drawnX(point.x) - 5 - NEAR);
    const right = Math.min(FRAME_WIDTH, drawnX(point.x) + NEAR);
    const top = Math.max(0, drawnY(point.y) - 2 - NEAR);
    const bottom = Math.min(FRAME_HEIGHT, drawnY(point.y) + 3 + NEAR);
    const b = boundsNear(words, k, left, top, right, bottom);
    // Every pixel its square may have lies inside what was read.
    const inside =
      b !== null &&
      (b.right - 4 >= left || left === 0) &&
      (b.left + 4 < right || right === FRAME_WIDTH) &&
      (b.bottom - 4 >= top || top === 0) &&
      (b.top + 4 < bottom || bottom === FRAME_HEIGHT);
    if (inside || (b === null && point.hidden)) {
      return b;
    }
    whole ??= allBounds(words);
    return whole[k];
  });
  return previous.map((point, k) => {
    const b = found[k];
    if (b === null) {
      // Just hidden: covered where it was, or put where a hint says by the
      // move that hid it, if its square is wholly covered there.
      const covered = (at) => fits(words, k, drawnX(at.x), drawnY(at.y));
      const moved = point.hidden || covered(point) ? undefined : hints.find(covered);
      return { x: (moved ?? point).x, y: (moved ?? point).y, hidden: true };
    }
    const guesses = [...hints, point];
    // Every centre whose square holds the visible pixels and fits; the one
    // nearest a guess when several do (the rest of the square hidden).
    let best = null;
    for (let cy = Math.max(5, b.bottom - 2); cy <= Math.min(FRAME_HEIGHT - 5, b.top + 2); ++cy) {
      for (let cx = Math.max(5, b.right + 1); cx <= Math.min(FRAME_WIDTH - 5, b.left + 5); ++cx) {
        if (!fits(words, k, cx, cy)) {
          continue;
        }
        const distance = Math.min(
          ...guesses.map((g) => Math.abs(drawnX(g.x) - cx) + Math.abs(drawnY(g.y) - cy)),
        );
        if (best === null || distance < best.distance) {
          best = { cx, cy, distance };
        }
      }
    }
    if (best === null) {
      return { x: point.x, y: point.y, hidden: true };
    }
    // A hint counts where it explains the whole square; the previous place
    // along either axis it explains.
    const onSquare = hints.filter((g) => drawnX(g.x) === best.cx && drawnY(g.y) === best.cy);
    return {
      x: unclamp(
        best.cx,
        drawnX,
        [...onSquare, point].map((g) => g.x),
      ),
      y: unclamp(
        best.cy,
        drawnY,
        [...onSquare, point].map((g) => g.y),
      ),
      hidden: false,
    };
  });
}

// A pixel [column, row] of point k's square that shows it, where a press
// picks it, or null when none does.
export function visiblePixel(words, point, k) {
  const cx = drawnX(point.x);
  const cy = drawnY(point.y);
  // The middle first, then outwards: a press there is plainly on the square.
  const order = [0, -1, 1, -2, 2];
  for (const dy of order) {
    for (const dx of order) {
      const x = cx - 3 + dx;
      const y = cy + dy;
      if (layer(words[y * FRAME_WIDTH + x]) === k) {
        return [x, y];
      }
    }
  }
  return null;
}
