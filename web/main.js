// Starts the editor (the program built to WebAssembly) and shows what it
// tells the page: its caption, its state, its messages and each exported file,
// offered as object.3ds and as the closed solid it sweeps in three other
// formats, with the solid's size.
// Scripts and tests read the state from <body>: data-state (loading, running,
// ended, failed), data-exit-code once the program has ended, data-exports;
// each offered link's data-export names the export it holds;
// window.kestrovan.presents counts the frames presented since the page loaded,
// and window.kestrovan.resting is true while the editor rests with nothing
// left to handle (every message it got has been handled and presented).
import createKestrovan from './kestrovan.js';
import './fit.js';
import './focus.js';
// The wasm's name in the built site, which changes with its contents.
import wasmFile from './kestrovan.wasm';

const body = document.body;
const message = document.getElementById('message');
const ended = document.getElementById('ended');
const restart = document.getElementById('restart');
const solidNote = document.getElementById('solid-note');

// The program finds its wasm beside this script, under its name in the site.
const wasmUrl = new URL(wasmFile, import.meta.url).href;
const locateFile = (file, prefix) => (file.endsWith('.wasm') ? wasmUrl : prefix + file);

// An offered file: its link (an <a download>) and the size beside it.
function offerSlot(id) {
  return {
    link: document.getElementById(id),
    size: document.getElementById(`${id}-size`),
    url: null,
  };
}
const tdsOffer = offerSlot('download');
const otherOffers = {
  glb: offerSlot('download-glb'),
  stl: offerSlot('download-stl'),
  obj: offerSlot('download-obj'),
};

// The 3D view and the other formats come as one chunk, fetched once the
// editor runs (or at the first export, should that come first; or once it
// has ended, should it never run): the editor's start waits for nothing but
// the program. Until the chunk is there the view says so. The geometry
// library the solid is made with comes later still, at the first export
// (solid_mesh.js). Both are additions: without them the editor runs and
// object.3ds is offered all the same.
const previewNote = document.getElementById('preview-note');
const previewHint = [...previewNote.childNodes];
previewNote.textContent = 'The 3D view is loading\u2026';
let preview = null;
let makeSolidFiles = null;
function loadSolidTools() {
  if (preview !== null) {
    return;
  }
  const tools = import('./solid.js');
  preview = tools
    .then((module) => {
      previewNote.replaceChildren(...previewHint);
      return module.createPreview(document.getElementById('preview'), previewNote);
    })
    .catch((error) => {
      previewNote.textContent = `The 3D view is not available: ${error.message}`;
      return null;
    });
  makeSolidFiles = tools
    .then((module) => module.solidFiles)
    .catch((error) => () => Promise.reject(error));
}

let exports = 0;
let presents = 0;
let resting = false;
// Read every frame, so properties, not DOM attributes: setting one would
// make the browser restyle the page on every present.
window.kestrovan = Object.freeze({
  get presents() {
    return presents;
  },
  get resting() {
    return resting;
  },
});

// Replaces what `slot` offers with `bytes`, or withdraws it (null), freeing
// the address of the file it offered before.
function replaceOffer(slot, bytes) {
  if (slot.url !== null) {
    URL.revokeObjectURL(slot.url);
    slot.url = null;
  }
  if (bytes === null) {
    slot.link.hidden = true;
    slot.link.removeAttribute('href');
    slot.size.textContent = '';
    delete slot.link.dataset.export;
    return;
  }
  slot.url = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
  slot.link.href = slot.url;
  slot.link.hidden = false;
  slot.link.dataset.export = String(exports);
  slot.size.textContent = `(${bytes.length.toLocaleString('en')} bytes)`;
}

const millimetres = (length) => `${length.toFixed(length < 1 ? 3 : 1)}\u00a0mm`;

// Offers exactly these bytes under the program's name for them (object.3ds)
// and beside them the solid that `made` holds (solid_files.js), or says why
// there is none, and shows it in the 3D view.
function offer(name, bytes, made) {
  exports += 1;
  replaceOffer(tdsOffer, bytes);
  tdsOffer.link.download = name;
  tdsOffer.link.textContent = `Download ${name}`;
  for (const [format, slot] of Object.entries(otherOffers)) {
    replaceOffer(slot, made.files?.[format] ?? null);
  }
  solidNote.textContent =
    made.files === null
      ? made.reason
      : `The solid is ${millimetres(made.height)} tall and ${millimetres(made.width)} wide.`;
  body.dataset.exports = String(exports);
  preview.then((view) => view?.show(made.geometry ?? null));
}

// Exports are offered one by one in the order they came, each once its other
// formats are made, so the four offers always describe the same export.
let offering = Promise.resolve();
function offerExport(name, bytes) {
  loadSolidTools();
  offering = offering
    .then(async () => {
      const solidFiles = await makeSolidFiles;
      const made = await solidFiles(bytes).catch((error) => ({
        files: null,
        reason: `object.glb, object.stl and object.obj could not be made: ${error.message}`,
      }));
      offer(name, bytes, made);
    })
    .catch((error) => {
      // Keep the chain going: a later export is offered all the same.
      console.error(`The export could not be offered: ${error.message}`);
    });
}

function start() {
  body.dataset.state = 'loading';
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
      // After this turn, in which the editor draws its first frame.
      setTimeout(loadSolidTools);
    },
    message(text) {
      message.textContent = text;
    },
    exported(name, bytes) {
      offerExport(name, bytes);
    },
    presented() {
      presents += 1;
    },
    resting(on) {
      resting = on;
    },
    ended(code) {
      body.dataset.exitCode = String(code);
      body.dataset.state = code === 0 ? 'ended' : 'failed';
      ended.textContent = `The editor has ended (exit code ${code}).`;
      restart.hidden = false;
      loadSolidTools();
    },
  };
  createKestrovan({ page, locateFile }).catch((error) => {
    // The program could not be loaded at all.
    message.textContent = `The editor could not be loaded: ${error.message ?? error}`;
    body.dataset.state = 'failed';
    restart.hidden = false;
    loadSolidTools();
  });
}

restart.addEventListener('click', start);
start();
