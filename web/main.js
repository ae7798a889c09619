// Starts the editor (the program built to WebAssembly) and shows what it
// tells the page: its caption, its state, its messages and each exported file,
// offered as object.3ds and as the solid as drawn in four other formats, with
// the solid's size.
// Scripts and tests read the state from <body>: data-state (loading, running,
// ended, failed), data-exit-code once the program has ended, data-exports;
// each offered link's data-export names the export it holds;
// window.kestrovan.presents counts the frames presented since the page loaded,
// window.kestrovan.resting is true while the editor rests with nothing left
// to handle (every message it got has been handled and presented), and
// window.kestrovan.points holds the six points where the program has them.
import createKestrovan from './kestrovan.js';
import './fit.js';
import './focus.js';
import { fingerPress } from './finger_press.js';
import { FORMATS, SOLID_FILE_NAMES, SOLID_FORMATS } from './formats.js';
import { createPointFields } from './point_fields.js';
import { START_POINTS, readScenePoints, visiblePixel } from './scene_points.js';
// The wasm's name in the built site, which changes with its contents.
import wasmFile from './kestrovan.wasm';

const body = document.body;
const editor = document.getElementById('editor');
const message = document.getElementById('message');
const ended = document.getElementById('ended');
const restart = document.getElementById('restart');
const solidNote = document.getElementById('solid-note');
const announcer = document.getElementById('announce');
const previewCanvas = document.getElementById('preview');
const keyButtons = { Tab: 'press-tab', Escape: 'press-escape' };

// The program finds its wasm beside this script, under its name in the site.
const wasmUrl = new URL(wasmFile, import.meta.url).href;
const locateFile = (file, prefix) => (file.endsWith('.wasm') ? wasmUrl : prefix + file);

// Phones and tablets can hand a file to another app (a slicer, say). What
// they can share depends on the file's kind, so each offered file is asked
// about. A share that fails is said here; one the user cancels is not.
const canShare = (file) => navigator.canShare?.({ files: [file] }) ?? false;
const shareNote = Object.assign(document.createElement('p'), { id: 'share-note' });
shareNote.setAttribute('role', 'status');
document.getElementById('offers').after(shareNote);

// An offered file, one of FORMATS: its link (an <a download>), the size
// beside it and, where the browser can share that file, its share button;
// and what the page says of the format, if anything, under the offers.
function offerSlot(format) {
  const item = document.createElement('li');
  const link = Object.assign(document.createElement('a'), {
    id: format.id,
    download: format.file,
    hidden: true,
    title: format.title,
    textContent: format.maker === null ? `Download ${format.file}` : format.file,
  });
  const size = Object.assign(document.createElement('span'), { id: `${format.id}-size` });
  const share = Object.assign(document.createElement('button'), {
    type: 'button',
    className: 'share',
    hidden: true,
    textContent: 'Share',
  });
  item.append(link, ' ', size, ' ', share);
  // Said once the file is offered, so the page before an export stays short.
  const note = Object.assign(document.createElement('p'), { textContent: format.note ?? '' });
  note.hidden = true;
  solidNote.after(note);
  document.getElementById('offers').append(item);
  const slot = { format, link, size, share, note, url: null, file: null };
  share.addEventListener('click', () => {
    const { name } = slot.file;
    shareNote.textContent = '';
    navigator.share({ files: [slot.file], title: name }).catch((error) => {
      if (error.name !== 'AbortError') {
        shareNote.textContent = `${name} could not be shared: ${error.message}`;
      }
    });
  });
  return slot;
}
const slots = FORMATS.map(offerSlot);

// Chunks the page fetches when first wanted, so that the editor's start waits
// for nothing but the program: `name`'s chunk, by `firstImport` (which the
// build turns into its address). A failed fetch is tried again the next time
// it is wanted. A browser may keep a failed fetch of a module for the page's
// life (Firefox does), so a retry asks for the same chunk, as index.html
// names it, under another address.
function whenWanted(name, firstImport) {
  let loading = null;
  let attempts = 0;
  return () => {
    if (loading === null) {
      attempts += 1;
      const file = document.querySelector(`meta[name="chunk-${name}"]`)?.content;
      // An address in a variable: the build leaves this import as it is.
      const again = `./${file}?attempt=${attempts}`;
      loading = attempts === 1 || file === undefined ? firstImport() : import(again);
      loading.catch(() => {
        loading = null;
      });
    }
    return loading;
  };
}

// The 3D view, the other formats and the geometry library that makes the
// solid (Manifold, about 510 KiB with its loader, 200 KiB compressed) come as
// one chunk, fetched once the editor runs (or at the first export, should
// that come first; or once it has ended, should it never run), the moment
// the service worker would fetch them for its cache anyway. Until the chunk
// is there the view says so. It is an addition: without it the editor runs
// and object.3ds is offered all the same.
const previewNote = document.getElementById('preview-note');
const previewHint = [...previewNote.childNodes];
previewNote.textContent = 'The 3D view is loading\u2026';
const solidChunk = whenWanted('solid', () => import('./solid.js'));
let preview = Promise.resolve(null);
let shownChunk = null;
function loadSolidTools() {
  const tools = solidChunk();
  if (tools !== shownChunk) {
    shownChunk = tools;
    preview = tools
      .then((module) => {
        previewNote.replaceChildren(...previewHint);
        return module.createPreview(document.getElementById('preview'), previewNote);
      })
      .catch((error) => {
        previewNote.textContent = `The 3D view is not available: ${error.message}`;
        return null;
      });
  }
  return tools;
}

let exports = 0;
let presents = 0;
let resting = false;
// The six points, P0, P1, P2, P3, A, B, as { x, y, hidden }, read from each
// frame the program presents.
let scenePoints = START_POINTS;
// Read every frame, so properties, not DOM attributes: setting one would
// make the browser restyle the page on every present.
window.kestrovan = Object.freeze({
  get presents() {
    return presents;
  },
  get resting() {
    return resting;
  },
  get points() {
    return scenePoints.map((point) => ({ ...point }));
  },
});

// Where the pointer last was over the editor, in canvas pixels: where a drag
// may have just put a point, which settles one at the editor's edge (its
// square is drawn clamped inside) or just hidden. Only positions inside are
// delivered to the program.
let pointerAt = null;
for (const type of ['pointerdown', 'pointermove']) {
  editor.addEventListener(type, (event) => {
    const box = editor.getBoundingClientRect();
    const x = Math.floor(((event.clientX - box.left) * editor.width) / box.width);
    const y = Math.floor(((event.clientY - box.top) * editor.height) / box.height);
    if (x >= 0 && x < editor.width && y >= 0 && y < editor.height) {
      pointerAt = { x, y };
    }
  });
}
// Where a press picks each point: a pixel of its square that shows it.
let grips = [];
function readPoints(words) {
  if (words !== null) {
    scenePoints = readScenePoints(words, scenePoints, pointerAt === null ? [] : [pointerAt]);
    grips = scenePoints.map((point, k) => visiblePixel(words, point, k));
    pointFields.show(scenePoints);
  }
}

// Moves point k to (x, y) as the mouse would: a press on its square, a move
// there, a release. False when nothing was sent (the point hidden, the
// editor not running, or a pointer holding it). A move asked for while one
// is on its way waits until the program has handled it and rests: only then
// does the picture show where the square is.
let moving = false;
let nextMove = null;
function movePoint(k, x, y) {
  if (moving) {
    nextMove = [k, x, y];
    return true;
  }
  const grip = grips[k];
  if (program?.mouse === undefined || grip === null || !program.mouse('press', ...grip)) {
    return false;
  }
  program.mouse('move', x, y);
  program.mouse('release', x, y);
  pointerAt = { x, y };
  moving = true;
  return true;
}
function moveHandled() {
  moving = false;
  const next = nextMove;
  nextMove = null;
  if (next === null || !movePoint(...next)) {
    pointFields.settled();
  }
}
const pointFields = createPointFields(document.getElementById('points'), editor, movePoint);
pointFields.show(scenePoints);

// Says once, politely, what changed: the solid made, the end. Moves are not
// said: the fields carry them.
function announce(text) {
  announcer.textContent = text;
}

// Replaces what `slot` offers with `bytes`, named `name`, or withdraws it
// (null), freeing the address of the file it offered before.
function replaceOffer(slot, bytes, name = slot.format.file) {
  if (slot.url !== null) {
    URL.revokeObjectURL(slot.url);
    slot.url = null;
  }
  slot.link.hidden = bytes === null;
  slot.note.hidden = bytes === null || slot.format.note === undefined;
  if (bytes === null) {
    slot.share.hidden = true;
    slot.link.removeAttribute('href');
    slot.size.textContent = '';
    slot.file = null;
    delete slot.link.dataset.export;
    return;
  }
  slot.file = new File([bytes], name, { type: 'application/octet-stream' });
  slot.url = URL.createObjectURL(slot.file);
  slot.link.href = slot.url;
  slot.share.hidden = !canShare(slot.file);
  slot.link.dataset.export = String(exports);
  slot.size.textContent = `(${bytes.length.toLocaleString('en')} bytes)`;
}

const NO_SOLID =
  'The profile encloses no area with the axis, so there is no solid: ' +
  `${SOLID_FILE_NAMES} are not offered.`;

const millimetres = (length, space = '\u00a0') => `${length.toFixed(length < 1 ? 3 : 1)}${space}mm`;

// Offers exactly these bytes under the program's name for them (object.3ds)
// and beside them the solid that `made` holds (solid_files.js), or says why
// there is none, and shows it in the 3D view.
function offer(name, bytes, made) {
  exports += 1;
  for (const slot of slots) {
    if (slot.format.maker === null) {
      replaceOffer(slot, bytes, name);
      slot.link.download = name;
      slot.link.textContent = `Download ${name}`;
    } else {
      replaceOffer(slot, made.files?.[slot.format.maker] ?? null);
    }
  }
  solidNote.textContent =
    made.files === null
      ? (made.reason ?? NO_SOLID)
      : `The solid is ${millimetres(made.height)} tall and ${millimetres(made.width)} wide` +
        (made.pieces > 1 ? `, in ${made.pieces} separate pieces.` : '.');
  // Named for what it shows, with plain spaces (a name is heard, not wrapped).
  previewCanvas.setAttribute(
    'aria-label',
    made.files === null
      ? 'No solid'
      : `The solid, ${millimetres(made.height, ' ')} tall and ${millimetres(made.width, ' ')} wide`,
  );
  announce(
    made.files === null
      ? `Export ${exports}: ${name} offered alone. ${solidNote.textContent}`
      : `Export ${exports}: the solid made, ${name} and ${SOLID_FILE_NAMES} offered. ${solidNote.textContent}`,
  );
  body.dataset.exports = String(exports);
  preview.then((view) => view?.show(made.geometry ?? null));
}

// Exports are offered one by one in the order they came, each once its other
// formats are made, so the offers always describe the same export: the
// solid of the six points as the frame before the Tab showed them.
let offering = Promise.resolve();
function offerExport(name, bytes) {
  const tools = loadSolidTools();
  const points = scenePoints;
  offering = offering
    .then(async () => {
      const makers = SOLID_FORMATS.map((format) => format.maker);
      const made = await tools
        .then((module) => module.solidFiles(points, makers))
        .catch((error) => ({
          files: null,
          reason: `${SOLID_FILE_NAMES} could not be made: ${error.message}`,
        }));
      offer(name, bytes, made);
    })
    .catch((error) => {
      // Keep the chain going: a later export is offered all the same.
      console.error(`The export could not be offered: ${error.message}`);
    });
}

// The installable page works offline after one visit: its service worker
// (sw.js, made by the build) keeps every file it needs. It is fetched after
// the editor's first frame, which it never delays.
let workerAsked = false;
function registerWorker() {
  if (!workerAsked && 'serviceWorker' in navigator) {
    workerAsked = true;
    navigator.serviceWorker.register('sw.js').catch((error) => {
      console.warn(`The page will not work offline: ${error.message}`);
    });
  }
}

// The program while it runs (its Module), for the keys on screen and the
// points' fields; dropped when it ends, so an ended program is not kept.
let program = null;
function setRunning(running) {
  for (const id of Object.values(keyButtons)) {
    document.getElementById(id).disabled = !running;
  }
  pointFields.enable(running);
}

function start() {
  body.dataset.state = 'loading';
  scenePoints = START_POINTS;
  moving = false;
  nextMove = null;
  pointFields.settled();
  pointFields.show(scenePoints);
  announce('');
  delete body.dataset.exitCode;
  message.textContent = '';
  ended.textContent = '';
  restart.hidden = true;
  // The hooks the program calls, as web_library.js lists them.
  const page = {
    title(text) {
      document.title = text;
    },
    running() {
      body.dataset.state = 'running';
      setRunning(true);
      // After this turn, in which the editor draws its first frame.
      setTimeout(() => {
        loadSolidTools();
        registerWorker();
      });
    },
    message(text) {
      message.textContent = text;
    },
    exported(name, bytes) {
      offerExport(name, bytes);
    },
    presented(words) {
      presents += 1;
      readPoints(words);
    },
    resting(on) {
      resting = on;
      if (on && moving) {
        // Once the program is off the stack.
        queueMicrotask(moveHandled);
      }
    },
    fingerPress(x, y) {
      return fingerPress(editor, x, y);
    },
    ended(code) {
      program = null;
      setRunning(false);
      body.dataset.exitCode = String(code);
      body.dataset.state = code === 0 ? 'ended' : 'failed';
      ended.textContent = `The editor has ended (exit code ${code}).`;
      announce(`${message.textContent} ${ended.textContent}`.trim());
      restart.hidden = false;
      loadSolidTools();
    },
  };
  // The object given becomes the program's Module, so it is the program from
  // the start. (Its ready promise's callbacks run only after the program's
  // first turn, in which a failed start has already ended: taking the
  // program from there would keep a dead one.)
  program = { page, locateFile };
  createKestrovan(program).catch((error) => {
    // The program could not be loaded at all.
    program = null;
    message.textContent = `The editor could not be loaded: ${error.message ?? error}`;
    announce(message.textContent);
    body.dataset.state = 'failed';
    restart.hidden = false;
    loadSolidTools();
  });
}

// The keys on screen act as the keyboard's. Pressing one never takes the
// keyboard focus from the editor, so its keys go on working.
for (const [key, id] of Object.entries(keyButtons)) {
  const button = document.getElementById(id);
  for (const type of ['pointerdown', 'mousedown']) {
    button.addEventListener(type, (event) => event.preventDefault());
  }
  button.addEventListener('click', () => program?.pressKey(key));
}

restart.addEventListener('click', start);
start();
