// Starts the editor (the program built to WebAssembly) and shows what it
// tells the page: its caption, its state, its messages and each exported file.
// Scripts and tests read the state from <body>: data-state (loading, running,
// ended, failed), data-exit-code once the program has ended, data-exports;
// window.kestrovan.presents counts the frames presented since the page loaded.
import createKestrovan from './kestrovan.js';
import './fit.js';
import './focus.js';

const body = document.body;
const message = document.getElementById('message');
const ended = document.getElementById('ended');
const restart = document.getElementById('restart');
const download = document.getElementById('download');
const downloadSize = document.getElementById('download-size');

// The 3D view is an addition: the editor runs even if it cannot be shown.
const preview = import('./preview.js')
  .then((module) => module.createPreview(document.getElementById('preview'),
    document.getElementById('preview-note')))
  .catch((error) => {
    document.getElementById('preview-note').textContent = `The 3D view is not available: ${error.message}`;
    return null;
  });

let exports = 0;
let offeredUrl = null;
let presents = 0;
// Read every frame, so a property, not a DOM attribute: setting one would
// make the browser restyle the page on every present.
window.kestrovan = Object.freeze({
  get presents() {
    return presents;
  },
});

// Offers exactly these bytes as object.3ds and shows them in the 3D view.
function offer(bytes) {
  const url = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
  if (offeredUrl !== null) {
    URL.revokeObjectURL(offeredUrl);
  }
  offeredUrl = url;
  download.href = url;
  download.hidden = false;
  downloadSize.textContent = `(${bytes.length.toLocaleString('en')} bytes)`;
  exports += 1;
  body.dataset.exports = String(exports);
  preview.then((view) => view?.show(bytes));
}

function start() {
  body.dataset.state = 'loading';
  delete body.dataset.exitCode;
  message.textContent = '';
  ended.textContent = '';
  restart.hidden = true;
  const page = {
    title(text) {
      document.title = text;
    },
    running() {
      body.dataset.state = 'running';
    },
    message(text) {
      message.textContent = text;
    },
    exported(bytes) {
      offer(bytes);
    },
    presented() {
      presents += 1;
    },
    ended(code) {
      body.dataset.exitCode = String(code);
      body.dataset.state = code === 0 ? 'ended' : 'failed';
      ended.textContent = `The editor has ended (exit code ${code}).`;
      restart.hidden = false;
    },
  };
  createKestrovan({ page }).catch((error) => {
    // The program could not be loaded at all.
    message.textContent = `The editor could not be loaded: ${error.message ?? error}`;
    body.dataset.state = 'failed';
    restart.hidden = false;
  });
}

restart.addEventListener('click', start);
start();
