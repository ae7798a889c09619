// The six points as controls (#points), for a keyboard, a screen reader, or
// anyone who would rather not drag: per point a group with its x and y in
// editor pixels and a "Place" toggle. The fields always show where the
// program has the point, whoever moved it. A change here reaches the program
// as the mouse's own press on the point's square, move and release, so its
// pick and drag decide, exactly as for a mouse drag to the same place.
//
//   Up / Down           one pixel      Page Up / Page Down   ten pixels
//   a typed number      on Enter, or when the field is left
//   Place               the next press in the editor puts the point there
import { FRAME_HEIGHT, FRAME_WIDTH } from './scene_points.js';

const NAMES = [
  'Profile point 1',
  'Profile point 2',
  'Profile point 3',
  'Profile point 4',
  'Axis end 1',
  'Axis end 2',
];
const STEPS = { ArrowUp: 1, ArrowDown: -1, PageUp: 10, PageDown: -10 };
const LIMITS = { x: FRAME_WIDTH - 1, y: FRAME_HEIGHT - 1 };

// `moveTo(k, x, y)` moves point k (the page delivers it; false when it could
// not); `editor` is the editor's canvas, whose next press "Place" takes.
export function createPointFields(panel, editor, moveTo) {
  let points = [];
  let placing = null; // the point whose Place is on
  // Where the keys last sent each point, until the program has handled it:
  // the next key steps from there.
  let aims = [];

  const groups = NAMES.map((name, k) => {
    // Enabled while the editor runs.
    const group = Object.assign(document.createElement('fieldset'), { disabled: true });
    const legend = Object.assign(document.createElement('legend'), { textContent: name });
    const hiddenNote = Object.assign(document.createElement('span'), {
      id: `point-${k}-hidden`,
      className: 'hidden-note',
      textContent: 'hidden under another square: it cannot be moved',
      hidden: true,
    });
    const fields = {};
    const labels = ['x', 'y'].map((axis) => {
      const input = Object.assign(document.createElement('input'), {
        type: 'number',
        min: '0',
        max: String(LIMITS[axis]),
        step: '1',
        id: `point-${k}-${axis}`,
      });
      input.setAttribute('aria-label', `${name} ${axis}`);
      input.setAttribute('aria-describedby', hiddenNote.id);
      fields[axis] = input;
      const label = Object.assign(document.createElement('label'), { htmlFor: input.id });
      label.append(`${axis} `, input);
      return label;
    });
    const place = Object.assign(document.createElement('button'), {
      type: 'button',
      className: 'place',
    });
    place.setAttribute('aria-pressed', 'false');
    place.append(
      'Place',
      Object.assign(document.createElement('span'), {
        className: 'visually-hidden',
        textContent: ` ${name}`,
      }),
    );
    group.append(legend, ...labels, place, hiddenNote);
    panel.append(group);
    return { fields, place, hiddenNote, edited: { x: false, y: false } };
  });

  const clamp = (value, axis) => Math.min(Math.max(Math.round(value), 0), LIMITS[axis]);

  // Moves point k along `axis` to `value` (clamped); a hidden point stays.
  function set(k, axis, value) {
    const point = aims[k] ?? points[k];
    groups[k].edited[axis] = false;
    if (point === undefined || point.hidden || !Number.isFinite(value)) {
      show(points);
      return;
    }
    const to = { x: point.x, y: point.y, [axis]: clamp(value, axis) };
    if ((to.x !== point.x || to.y !== point.y) && moveTo(k, to.x, to.y)) {
      aims[k] = { ...to, hidden: false };
    }
    show(points);
  }

  groups.forEach(({ fields, place, edited }, k) => {
    for (const [axis, input] of Object.entries(fields)) {
      input.addEventListener('keydown', (event) => {
        if (event.key in STEPS) {
          event.preventDefault();
          set(k, axis, (aims[k] ?? points[k])?.[axis] + STEPS[event.key]);
        } else if (event.key === 'Enter') {
          event.preventDefault();
          set(k, axis, input.valueAsNumber);
        }
      });
      input.addEventListener('input', () => {
        edited[axis] = true;
      });
      input.addEventListener('change', () => {
        if (edited[axis]) {
          set(k, axis, input.valueAsNumber);
        }
      });
    }
    place.addEventListener('click', () => setPlacing(placing === k ? null : k));
  });

  function setPlacing(k) {
    placing = k;
    groups.forEach(({ place }, j) => place.setAttribute('aria-pressed', String(j === k)));
    editor.classList.toggle('placing', k !== null);
  }

  // The next press in the editor, by any pointer, puts the point there
  // instead of picking: it never reaches the program as a press of its own.
  editor.parentElement.addEventListener(
    'pointerdown',
    (event) => {
      if (placing === null || event.target !== editor || event.button !== 0) {
        return;
      }
      event.preventDefault();
      event.stopPropagation();
      const box = editor.getBoundingClientRect();
      const x = Math.floor(((event.clientX - box.left) * editor.width) / box.width);
      const y = Math.floor(((event.clientY - box.top) * editor.height) / box.height);
      if (points[placing] && !points[placing].hidden && moveTo(placing, x, y)) {
        aims[placing] = { x, y, hidden: false };
        setPlacing(null);
      }
    },
    { capture: true },
  );

  // Shows `next`, the points where the program has them (a point on its way
  // where it is going); a field being typed in keeps what is typed until it
  // is entered or left.
  function show(next) {
    points = next;
    groups.forEach(({ fields, hiddenNote, edited }, k) => {
      const point = aims[k] ?? points[k];
      for (const axis of ['x', 'y']) {
        if (!edited[axis] && fields[axis].value !== String(point[axis])) {
          fields[axis].value = String(point[axis]);
        }
        fields[axis].readOnly = point.hidden;
      }
      hiddenNote.hidden = !point.hidden;
    });
  }

  // Only a running editor takes moves.
  function enable(on) {
    panel.querySelectorAll('fieldset').forEach((group) => {
      group.disabled = !on;
    });
    if (!on) {
      setPlacing(null);
    }
  }

  // Every move sent has been handled: the points shown are where they went.
  function settled() {
    aims = [];
    show(points);
  }

  return { show, enable, settled };
}
