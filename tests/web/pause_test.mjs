// The frame loop's pause in the browser edition.
//
//   node pause_test.mjs SITE FRAME_CHECK [GROUP...]
//
// Groups:
//   hidden_rest_and_input   an idle editor presents frames but puts no
//                           unchanged picture on the canvas again; a hidden
//                           tab rests (no frames) until input; a Tab sent to
//                           it meanwhile ends the rest: its messages are
//                           worked off, each with a frame, the export is
//                           offered, and the editor rests again
import {
  check,
  checkFrame,
  checkNoProblems,
  nativeFrame,
  openPage,
  runGroups,
  waitForState,
} from '../../harness/browser.mjs';

const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const presents = (page) => page.evaluate(() => window.kestrovan.presents);

// Waits until no frame has been presented for `quiet` ms; the count then.
async function waitForRest(page, what, quiet = 500) {
  const deadline = Date.now() + 10000;
  let count = await presents(page);
  while (Date.now() < deadline) {
    await pause(quiet);
    const now = await presents(page);
    if (now === count) {
      return count;
    }
    count = now;
  }
  check(false, `the editor never rests ${what}`);
  return count;
}

const groups = {
  async hidden_rest_and_input({ browser, url, work, frameCheck }) {
    const countPuts = () => {
      window.puts = 0;
      const put = CanvasRenderingContext2D.prototype.putImageData;
      CanvasRenderingContext2D.prototype.putImageData = function (...args) {
        window.puts += 1;
        return put.apply(this, args);
      };
    };
    const page = await openPage(browser, url, { beforeLoad: countPuts });
    await waitForState(page, 'running');
    await checkFrame(page, await nativeFrame(frameCheck, work), { what: 'the initial frame' });
    const puts = await page.evaluate(() => window.puts);
    const shown = await presents(page);
    await page.waitForFunction(
      (n) => window.kestrovan.presents >= n,
      { timeout: 10000 },
      shown + 10,
    );
    check(
      (await page.evaluate(() => window.puts)) === puts,
      'an unchanged picture was put on the canvas again',
    );

    const other = await browser.newPage();
    await other.bringToFront();
    check(
      (await page.evaluate(() => document.visibilityState)) === 'hidden',
      'the editor tab is not hidden',
    );
    const resting = await waitForRest(page, 'in a hidden tab');

    // Key down, its character and key up: three messages, each ending the
    // rest it arrives in and handled in a pass of its own with a frame.
    // (Keys, unlike mouse moves, reach a hidden tab at once.)
    // A hidden tab's timers may run as seldom as once a second, so the
    // passes that follow are waited for, not timed (and polled for: a hidden
    // tab draws no animation frames).
    await page.keyboard.press('Tab');
    await page
      .waitForFunction(
        (n) => window.kestrovan.presents >= n && document.body.dataset.exports === '1',
        { timeout: 10000, polling: 50 },
        resting + 3,
      )
      .catch(() => {});
    const afterInput = await waitForRest(page, 'after input in a hidden tab', 1500);
    check(
      afterInput >= resting + 3,
      `${afterInput - resting} frames for the Tab key's three messages`,
    );
    check(
      (await page.evaluate(() => document.body.dataset.exports)) === '1',
      'Tab in a hidden tab exported nothing',
    );
    check(
      (await page.evaluate(() => document.visibilityState)) === 'hidden',
      'the editor tab was shown meanwhile',
    );
    checkNoProblems(page);
  },
};

await runGroups(groups);
