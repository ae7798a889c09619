// Fits the editor to the window. It is shown at one canvas pixel to one CSS
// pixel when the window holds it whole beside the panel; otherwise it is
// scaled down uniformly to the largest size that fits, never below half a
// device pixel a canvas pixel, where every dot still shows (below that the
// page scrolls). Only its CSS size changes: the 1280 x 1024 backing store, its
// pixels and the mapping of the pointer onto them stay as they are. The
// "actual size" control shows it at one to one whatever the window. A window
// narrower than it is tall, or too narrow for the editor at its smallest
// beside the panel, gets the panel below, the editor fitted to its width and
// to its height with the keys on screen, which lead the panel, in sight too.
const editor = document.getElementById('editor');
const main = document.querySelector('main');
const keys = document.querySelector('.keys');
const actualSize = document.getElementById('actual-size');

// In CSS pixels a canvas pixel: half a device pixel.
const smallestScale = () => 0.5 / window.devicePixelRatio;
// 1280 : 1024 is 5 : 4, so a scale in 256ths gives whole CSS pixels both ways.
const SCALE_STEPS = 256;

function cssLength(name) {
  return parseFloat(getComputedStyle(document.documentElement).getPropertyValue(name));
}

// The scale for an editor that may take up to `room` times its size.
function fittedScale(room) {
  if (room >= 1) {
    return 1;
  }
  // With a fractional device pixel ratio (1.25 and 1.5 are common on
  // laptops), one canvas pixel to one device pixel is sharp where the scales
  // near it blur: take it whenever it fits.
  const ratio = window.devicePixelRatio;
  if (!Number.isInteger(ratio) && 1 / ratio <= room && 1 / ratio >= smallestScale()) {
    return 1 / ratio;
  }
  const scale = Math.max(smallestScale(), Math.floor(room * SCALE_STEPS) / SCALE_STEPS);
  // The browser's smoothing samples the canvas once a device pixel. Just
  // above half a device pixel a canvas pixel, a lone dot can fall almost
  // wholly between two samples and vanish (seen in Firefox up to 0.512); at
  // exactly one half every sample is the mean of four canvas pixels.
  const deviceScale = scale * ratio;
  return deviceScale > 0.5 && deviceScale < 0.52 ? 0.5 / ratio : scale;
}

function fit() {
  // The viewport without its scroll bars.
  const width = document.documentElement.clientWidth;
  const height = document.documentElement.clientHeight;
  const padding = cssLength('--page-padding');
  const gap = cssLength('--gap');
  const widthBeside = (width - 2 * padding - gap - cssLength('--panel-min')) / editor.width;
  const beside = width >= height && widthBeside >= (actualSize.checked ? 1 : smallestScale());
  main.dataset.layout = beside ? 'beside' : 'below';

  const room = beside
    ? Math.min(widthBeside, (height - 2 * padding) / editor.height)
    : Math.min(
        (width - 2 * padding) / editor.width,
        (height - 2 * padding - gap - keys.offsetHeight) / editor.height,
      );
  const scale = actualSize.checked ? 1 : fittedScale(room);
  editor.style.width = `${editor.width * scale}px`;
  editor.style.height = `${editor.height * scale}px`;
  // Below one device pixel a canvas pixel, nearest neighbour would drop rows
  // and columns (style.css smooths instead); at or above it, nearest
  // neighbour keeps every pixel sharp.
  editor.classList.toggle('smoothed', scale * window.devicePixelRatio < 0.999);
}

// A new device pixel ratio (browser zoom, another monitor) may come without a
// new viewport size.
function watchPixelRatio() {
  matchMedia(`(resolution: ${window.devicePixelRatio}dppx)`).addEventListener(
    'change',
    () => {
      fit();
      watchPixelRatio();
    },
    { once: true },
  );
}

// The root element's box follows the viewport and its scroll bars. Fitting
// waits for the next frame: resizing the editor from inside the observer
// would resize the root again within the same observation.
new ResizeObserver(() => requestAnimationFrame(fit)).observe(document.documentElement);
actualSize.addEventListener('change', fit);
watchPixelRatio();
fit();
