// The page on common screens, in Chromium and Firefox: what must be in sight
// is, the keys come back to the editor after the 3D view is turned, and the
// scaled-down editor still maps the pointer and shows every mark.
//
//   node layout_test.mjs SITE FRAME_CHECK [GROUP...]
//
// Groups (each in a fresh browser context of each engine):
//   in_sight          at 1366x657 and 1280x600 nothing scrolls and the editor,
//                     the 3D view, help, the fit control, the offer with its
//                     size and the end notice with "Start again" are in the
//                     viewport; the fit control switches to actual size and
//                     back; after turning the 3D view Tab exports, and after
//                     a click on empty page Escape ends, with no click on the
//                     editor, while a control keeps the focus it takes; a
//                     portrait window has the panel below; on phones and
//                     tablets nothing scrolls sideways and the editor is in
//                     sight whole at the largest scale that fits, with the
//                     keys on screen; axe-core's WCAG 2.2 A and AA rules find
//                     nothing, running, after an export and ended
//   scaled_editor     at 1366x657 a drag and Tab offer the export of the scene
//                     at the floor-mapped pointer pixels; every pixel the frame
//                     draws leaves a visible mark at its scaled place; at
//                     device pixel ratio 1.5 the editor is shown one canvas
//                     pixel to one device pixel, exactly
import {
  FRAME_HEIGHT,
  FRAME_WIDTH,
  START,
  check,
  checkAccessible,
  checkExports,
  checkFrame,
  checkNoProblems,
  nativeExport,
  nativeFrame,
  offeredBytes,
  pacedMouse,
  runGroups,
  screenshotElement,
  waitForRest,
  waitForState,
  startEditor,
} from '../../harness/browser.mjs';

const LAPTOPS = [
  [1366, 657],
  [1280, 600],
];
// Phones and tablets, upright and on their side: the viewport, device pixels
// a CSS pixel, and the editor's scale (in 256ths, whole CSS pixels both ways).
const HANDHELDS = [
  [390, 844, 3, 74],
  [844, 390, 3, 93],
  [820, 1180, 2, 160],
  [1180, 820, 2, 170],
];

// The viewport box of each selector, or why it is not wholly in sight.
async function boxes(page, selectors) {
  return page.evaluate((list) => {
    const view = document.documentElement;
    const result = {};
    for (const selector of list) {
      const element = document.querySelector(selector);
      const box = element?.getBoundingClientRect();
      const shown =
        element !== null && element.checkVisibility() && box.width > 0 && box.height > 0;
      const inside =
        shown &&
        box.left >= 0 &&
        box.top >= 0 &&
        box.right <= view.clientWidth &&
        box.bottom <= view.clientHeight;
      result[selector] = {
        left: box?.left,
        top: box?.top,
        width: box?.width,
        height: box?.height,
        problem: shown
          ? inside
            ? null
            : `${selector} reaches out of the viewport`
          : `${selector} is not shown`,
      };
    }
    return result;
  }, selectors);
}

async function checkInSight(page, selectors, when) {
  const found = await boxes(page, selectors);
  const problems = Object.values(found)
    .map((box) => box.problem)
    .filter((problem) => problem !== null);
  check(problems.length === 0, `${when}: ${problems.join('; ')}`);
  return found;
}

async function checkNoScrolling(page, when) {
  const scroll = await page.evaluate(() => {
    window.scrollTo(50, 50);
    const view = document.documentElement;
    return [
      view.scrollWidth,
      view.scrollHeight,
      view.clientWidth,
      view.clientHeight,
      window.scrollX,
      window.scrollY,
    ];
  });
  check(
    scroll[0] <= scroll[2] && scroll[1] <= scroll[3] && scroll[4] === 0 && scroll[5] === 0,
    `${when}: the page scrolls (content ${scroll[0]}x${scroll[1]} in ${scroll[2]}x${scroll[3]})`,
  );
}

const groups = {
  async in_sight({ browser, url }) {
    for (const [width, height] of LAPTOPS) {
      const at = `at ${width}x${height}`;
      const page = await startEditor(browser, url, { width, height });
      await checkNoScrolling(page, at);
      await checkAccessible(page, `${at} running`);
      const found = await checkInSight(page, ['#editor', '#preview', '.help', '#actual-size'], at);
      const editor = found['#editor'];
      check(
        Math.abs(editor.width / editor.height - FRAME_WIDTH / FRAME_HEIGHT) < 0.01 &&
          editor.width >= FRAME_WIDTH / 2,
        `${at} the editor is shown ${editor.width}x${editor.height}`,
      );
      check(
        found['#preview'].width >= 280 && found['#preview'].height >= 280,
        `${at} the 3D view is ${found['#preview'].width}x${found['#preview'].height}`,
      );

      // Turning the 3D view leaves the keys with the editor: Tab exports.
      const view = found['#preview'];
      const mouse = pacedMouse(page);
      const centre = [
        Math.round(view.left + view.width / 2),
        Math.round(view.top + view.height / 2),
      ];
      await mouse.move(...centre);
      await mouse.down();
      await mouse.move(centre[0] + 40, centre[1] + 10);
      await mouse.move(centre[0] + 80, centre[1] + 20);
      await mouse.up();
      await page.keyboard.press('Tab');
      await checkExports(page, 1);
      await checkInSight(page, ['#download', '#download-size'], `${at} after Tab`);
      await checkNoScrolling(page, `${at} after Tab`);
      await checkAccessible(page, `${at} after an export`);

      // Actual size and back: the page scrolls, then fits again.
      await page.click('#actual-size');
      const actual = (await boxes(page, ['#editor']))['#editor'];
      check(
        actual.width === FRAME_WIDTH && actual.height === FRAME_HEIGHT,
        `${at} actual size shows the editor ${actual.width}x${actual.height}`,
      );
      check(
        await page.evaluate(() => document.documentElement.scrollHeight > window.innerHeight),
        `${at} the page does not scroll at actual size`,
      );
      check(
        (await page.evaluate(() => document.activeElement?.id)) === 'actual-size',
        `${at} the fit control lost the focus`,
      );
      await page.click('#actual-size');
      await checkNoScrolling(page, `${at} fitted again`);

      // A click on empty page gives the keys back to the editor: Escape ends it.
      const empty = [3, 300];
      check(
        await page.evaluate(([x, y]) => document.elementFromPoint(x, y) === document.body, empty),
        `${at} no empty page where the test clicks`,
      );
      await mouse.move(...empty);
      await mouse.down();
      await mouse.up();
      await page.keyboard.press('Escape');
      await waitForState(page, 'ended');
      const end = await checkInSight(page, ['#ended', '#restart'], `${at} after Escape`);
      await checkAccessible(page, `${at} ended`);
      const over =
        end['#ended'].left >= editor.left &&
        end['#ended'].top >= editor.top &&
        end['#ended'].top + end['#ended'].height <= editor.top + editor.height;
      check(over, `${at} the end notice is not over the editor`);
      checkNoProblems(page);
      await page.close();
    }

    // A portrait window: the panel below, the editor as wide as the window.
    const portrait = await startEditor(browser, url, { width: 800, height: 1100 });
    const found = await boxes(portrait, ['#editor', '#preview']);
    check(
      found['#preview'].top >= found['#editor'].top + found['#editor'].height,
      'in a portrait window the 3D view is not below the editor',
    );
    check(
      found['#editor'].width > 700 && found['#editor'].width <= 800 - 16,
      `in a portrait window 800 wide the editor is ${found['#editor'].width} wide`,
    );
    checkNoProblems(portrait);

    for (const [width, height, deviceScaleFactor, steps] of HANDHELDS) {
      const at = `at ${width}x${height}`;
      const viewport = { width, height, deviceScaleFactor, hasTouch: true };
      const page = await startEditor(browser, url, viewport);
      const shown = await checkInSight(page, ['#editor', '#press-tab', '#press-escape'], at);
      await checkAccessible(page, at);
      const wider = await page.evaluate(() => document.documentElement.scrollWidth - innerWidth);
      check(
        wider <= 0 && shown['#editor'].width === (FRAME_WIDTH * steps) / 256,
        `${at} the editor is ${shown['#editor'].width} wide and the page ${wider} px too wide`,
      );
      await page.close();
    }
  },

  async scaled_editor({ browser, url, work, frameCheck }) {
    const page = await startEditor(browser, url, { width: 1366, height: 657 });
    const box = (await boxes(page, ['#editor']))['#editor'];
    const scale = box.width / FRAME_WIDTH;
    check(scale > 0.55 && scale < 0.65, `at 1366x657 the editor is shown at ${scale}`);
    // Whole CSS pixels, as a mouse gives them; the editor sees the canvas
    // pixel each falls in.
    const pixel = ([x, y]) => [
      Math.floor((x - box.left) / scale),
      Math.floor((y - box.top) / scale),
    ];
    const press = [
      Math.round(box.left + (START.P2[0] - 2.5) * scale),
      Math.round(box.top + START.P2[1] * scale),
    ];
    const [pressX, pressY] = pixel(press);
    check(
      pressX >= START.P2[0] - 5 && pressX < START.P2[0] && Math.abs(pressY - START.P2[1]) <= 2,
      `the press at ${press} falls on ${[pressX, pressY]}, off P2's square`,
    );
    const mouse = pacedMouse(page);
    await mouse.move(...press);
    await mouse.down();
    await mouse.move(press[0] + 100, press[1] + 60);
    const release = [press[0] + 233, press[1] + 117];
    await mouse.move(...release);
    await mouse.up();
    const moved = `P2=${pixel(release).join(',')}`;
    await page.keyboard.press('Tab');
    await checkExports(page, 1);
    const offered = await offeredBytes(page);
    check(
      offered !== null && offered.equals(await nativeExport(frameCheck, work, [moved])),
      `the offered file is not the export of the scene with ${moved}`,
    );

    // Every pixel the frame draws (handles, lines, curve dots) leaves a
    // visible mark within one CSS pixel of its scaled place.
    const frame = await nativeFrame(frameCheck, work, [moved]);
    await waitForRest(page);
    const shot = await screenshotElement(page, '#editor');
    const unseen = [];
    for (let y = 0; y < frame.height; ++y) {
      for (let x = 0; x < frame.width; ++x) {
        const f = (y * frame.width + x) * 3;
        if (frame.rgb[f] + frame.rgb[f + 1] + frame.rgb[f + 2] === 0) {
          continue;
        }
        let brightest = 0;
        const [cx, cy] = [(x + 0.5) * scale, (y + 0.5) * scale];
        for (let j = Math.floor(cy - 1); j <= Math.floor(cy + 1); ++j) {
          for (let i = Math.floor(cx - 1); i <= Math.floor(cx + 1); ++i) {
            const s = (j * shot.width + i) * 3;
            if (i >= 0 && j >= 0 && i < shot.width && j < shot.height) {
              brightest = Math.max(brightest, shot.rgb[s], shot.rgb[s + 1], shot.rgb[s + 2]);
            }
          }
        }
        if (brightest < 24) {
          unseen.push(`(${x}, ${y})`);
        }
      }
    }
    check(
      unseen.length === 0,
      `${unseen.length} drawn pixels leave no visible mark, first ${unseen.slice(0, 5).join(' ')}`,
    );
    checkNoProblems(page);

    // Device pixel ratio 1.5, room for more than 1/1.5: one canvas pixel to
    // one device pixel, exactly.
    const sharp = await startEditor(browser, url, {
      width: 1707,
      height: 830,
      deviceScaleFactor: 1.5,
    });
    const sharpBox = (await boxes(sharp, ['#editor']))['#editor'];
    check(
      Math.abs(sharpBox.width * 1.5 - FRAME_WIDTH) < 0.1,
      `at ratio 1.5 the editor is ${sharpBox.width} CSS px wide`,
    );
    await checkFrame(sharp, await nativeFrame(frameCheck, work), {
      what: 'the initial frame, a device pixel a canvas pixel',
    });
    checkNoProblems(sharp);
  },
};

await runGroups(groups);
