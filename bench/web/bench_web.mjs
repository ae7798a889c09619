// The browser edition's speed in headless Chromium on this machine, with no
// input (not a test: figures to read against the goals).
//
//   node bench/web/bench_web.mjs WEB_BUILD NATIVE_BENCH
//
// WEB_BUILD is the web preset's build folder (site/ and bench/web/ in it),
// NATIVE_BENCH the native kestrovan_bench. Reports:
//   - frame-loop passes per second of the real page (goal >= 100), counted as
//     presents over a few seconds
//   - the present's median cost with a one-pixel read-back that waits for it
//     (goal <= 2 ms)
//   - render_frame in wasm against native render_frame in the same run
//     (goal <= 3x)
import { execFile } from 'node:child_process';
import path from 'node:path';
import { promisify } from 'node:util';

import { startBrowser, openPage, waitForState } from '../../tests/web/harness.mjs';

const [webBuild, nativeBench] = process.argv.slice(2);
if (!webBuild || !nativeBench) {
  console.error('usage: node bench/web/bench_web.mjs WEB_BUILD NATIVE_BENCH');
  process.exit(2);
}
const COUNT_SECONDS = 5;

// Cross-origin isolation gives performance.now() 5 us steps instead of 100 us.
const session = await startBrowser(path.resolve(webBuild), {
  'Cross-Origin-Opener-Policy': 'same-origin',
  'Cross-Origin-Embedder-Policy': 'require-corp',
});
let passes;
let wasm;
try {
  const page = await openPage(session.browser, `${session.url}site/`, {
    beforeLoad: () => {
      window.presents = 0;
      const put = CanvasRenderingContext2D.prototype.putImageData;
      CanvasRenderingContext2D.prototype.putImageData = function (...args) {
        window.presents += 1;
        return put.apply(this, args);
      };
    },
  });
  await waitForState(page, 'running');
  await new Promise((resolve) => setTimeout(resolve, 1000));
  const before = await page.evaluate(() => [window.presents, performance.now()]);
  await new Promise((resolve) => setTimeout(resolve, COUNT_SECONDS * 1000));
  const after = await page.evaluate(() => [window.presents, performance.now()]);
  passes = (after[0] - before[0]) / ((after[1] - before[1]) / 1000);
  await page.close();

  const bench = await openPage(session.browser, `${session.url}bench/web/bench.html`);
  await bench.waitForFunction(() => window.benchResult !== undefined, { timeout: 120000 });
  wasm = await bench.evaluate(() => ({ ...window.benchResult, isolated: window.crossOriginIsolated }));
} finally {
  await session.close();
}

const { stdout } = await promisify(execFile)(nativeBench, [
  '--benchmark_filter=^render_frame$', '--benchmark_format=json', '--benchmark_repetitions=5',
  '--benchmark_report_aggregates_only=true',
]);
const median = JSON.parse(stdout).benchmarks.find((b) => b.aggregate_name === 'median');
const toMs = { ns: 1e-6, us: 1e-3, ms: 1, s: 1000 };
const nativeMs = median.real_time * toMs[median.time_unit];

const verdict = (ok) => (ok ? 'meets the goal' : 'MISSES the goal');
const ratio = wasm.render_median_ms / nativeMs;
console.log(`timer steps: ${wasm.isolated ? '5 us (cross-origin isolated)' : '100 us'}`);
console.log(`passes per second:         ${passes.toFixed(1)}   (goal >= 100: ${verdict(passes >= 100)})`);
console.log(`present with read-back:    ${wasm.present_median_ms.toFixed(3)} ms median   (goal <= 2 ms: ${verdict(wasm.present_median_ms <= 2)})`);
console.log(`render_frame, wasm:        ${wasm.render_median_ms.toFixed(3)} ms median, ${wasm.render_mean_ms.toFixed(3)} ms mean`);
console.log(`render_frame, native:      ${nativeMs.toFixed(3)} ms median of 5`);
console.log(`wasm / native:             ${ratio.toFixed(2)} x   (goal <= 3: ${verdict(ratio <= 3)})`);
