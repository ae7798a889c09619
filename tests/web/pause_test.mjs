// The frame loop's pause in the browser edition.
//
//   node pause_test.mjs SITE FRAME_CHECK [GROUP...]
//
// Groups:
//   rest_and_input   an idle editor presents nothing over ten minutes of the
//                    page's own time (Chromium's virtual time; Firefox waits
//                    two seconds), in sight or in a hidden tab; a fast drag
//                    presents at most a frame a message and ends where the
//                    pointer did; a Tab sent to a hidden tab gives exactly one
//                    frame for each of its three messages, puts no unchanged
//                    picture on the canvas again, exports, and the editor
//                    rests again; the tab shown again ends a rest with one
//                    frame; a lost drawing context shows no frame, and
//                    restored, one frame put
import {
  START,
  check,
  checkFrame,
  checkNoProblems,
  engineOf,
  nativeFrame,
  openPage,
  runGroups,
  startEditor,
  viewportPoint,
  waitForRest,
  waitForState,
} from '../../harness/browser.mjs';

const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const presents = (page) => page.evaluate(() => window.kestrovan.presents);

// A rest that kept any timer would wake and present. The page's time stops
// after it in Chromium: the page's last check.
async function checkIdle(page, what) {
  const resting = await waitForRest(page);
  if (engineOf(page) === 'chromium') {
    const cdp = await page.createCDPSession();
    const spent = new Promise((resolve) => cdp.once('Emulation.virtualTimeBudgetExpired', resolve));
    await cdp.send('Emulation.setVirtualTimePolicy', { policy: 'advance', budget: 600000 });
    await spent;
  } else {
    await pause(2000);
  }
  const idle = (await presents(page)) - resting;
  check(idle === 0, `an idle editor presented ${idle} frames ${what}`);
}

// The frames and puts on the canvas that `action` leads to, once at rest.
async function framesAndPuts(page, action) {
  const [frames, puts] = [await waitForRest(page), await page.evaluate(() => window.puts)];
  await action();
  return [(await waitForRest(page)) - frames, (await page.evaluate(() => window.puts)) - puts];
}

const groups = {
  async rest_and_input({ browser, url, work, frameCheck }) {
    const countPuts = () => {
      window.puts = 0;
      const put = CanvasRenderingContext2D.prototype.putImageData;
      CanvasRenderingContext2D.prototype.putImageData = function (...args) {
        window.puts += 1;
        return put.apply(this, args);
      };
    };
    await checkIdle(await startEditor(browser, url), 'in sight');
    const page = await openPage(browser, url, { beforeLoad: countPuts });
    await waitForState(page, 'running');

    // P2 grabbed and dragged by 12 moves sent as fast as the page takes them:
    // with the grab, the press and the release, at most 15 messages.
    const before = await waitForRest(page);
    const [x, y] = await viewportPoint(page, START.P2[0] - 3, START.P2[1]);
    await page.mouse.move(x, y);
    await page.mouse.down();
    for (let step = 1; step <= 12; ++step) {
      await page.mouse.move(x + 10 * step, y + 10 * step);
    }
    await page.mouse.up();
    const dragged = (await waitForRest(page)) - before;
    check(dragged >= 3 && dragged <= 15, `${dragged} frames for a drag of 15 messages`);
    await checkFrame(page, await nativeFrame(frameCheck, work, ['P2=617,210']), {
      what: 'P2 where the fast drag ended',
    });

    const other = await browser.newPage();
    await other.bringToFront();
    check(
      (await page.evaluate(() => document.visibilityState)) === 'hidden',
      'the editor tab is not hidden',
    );

    // Key down, its character and key up: three messages, each handled in a
    // pass of its own with a frame. (Keys, unlike mouse moves, reach a hidden
    // tab at once; its timers may run as seldom as once a second.) Tab leaves
    // the picture as it was, so nothing is put on the canvas again.
    const puts = await page.evaluate(() => window.puts);
    const resting = await presents(page);
    await page.keyboard.press('Tab');
    await page
      .waitForFunction(() => document.body.dataset.exports === '1' && window.kestrovan.resting, {
        timeout: 10000,
        polling: 50,
      })
      .catch(() => check(false, 'Tab in a hidden tab exported nothing, or no rest followed'));
    const frames = (await presents(page)) - resting;
    check(frames === 3, `${frames} frames for the Tab key's three messages`);
    check(
      (await page.evaluate(() => window.puts)) === puts,
      'an unchanged picture was put on the canvas again',
    );
    check(
      (await page.evaluate(() => document.visibilityState)) === 'hidden',
      'the editor tab was shown meanwhile',
    );

    // Shown again, one frame; with the context lost, a key's three passes
    // show nothing and say so; the context restored (cleared), one frame put.
    const shown = await framesAndPuts(page, () => page.bringToFront());
    check(shown.join() === '1,0', `showing the tab gave [frames, puts] ${shown}`);
    await page.evaluate(() => {
      window.lost = true;
      CanvasRenderingContext2D.prototype.isContextLost = () => window.lost;
    });
    const lost = await framesAndPuts(page, () => page.keyboard.press('KeyA'));
    check(lost.join() === '0,0', `a lost context gave [frames, puts] ${lost}`);
    const restored = await framesAndPuts(page, () =>
      page.$eval('#editor', (editor) => {
        window.lost = false;
        editor.dispatchEvent(new Event('contextrestored'));
      }),
    );
    check(restored.join() === '1,1', `a restored context gave [frames, puts] ${restored}`);
    await other.bringToFront();
    await checkIdle(page, 'in a hidden tab');
    checkNoProblems(page);
  },
};

await runGroups(groups);
