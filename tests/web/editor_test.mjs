// The browser edition in Chromium and Firefox, driven with real input and
// checked against the native frames and export, at a viewport that holds the
// editor at one canvas pixel to one CSS pixel.
//
//   node editor_test.mjs SITE FRAME_CHECK [GROUP...]
//
// Groups (each in a fresh browser context of each engine):
//   editor_frames        the editor shows the natively composed frame exactly,
//                        initially and after dragging P2 and B; the P2 drag
//                        again at device scale 2, at actual size in a window
//                        too small for it, with the page scrolled
//   export_offer         Tab offers exactly the native export; a held Tab
//                        replaces the offer on every repeat; focus stays
//   drag_outside         a release outside the editor is never seen: the drag
//                        goes on until a release inside; a pen (in Firefox a
//                        finger) does nothing
//   preview              three's own loader reads the offer as one mesh of 400
//                        vertices and 760 triangles; the 3D view shows it and
//                        is refreshed by the next export
//   escape_and_failure   Escape ends the program (exit code 0, no more frames,
//                        keys no longer taken) and it can start again; with no
//                        drawing context the start fails with exit code 1
import { TDSLoader } from 'three/addons/loaders/TDSLoader.js';

import {
  START,
  check,
  checkExports,
  checkFrame,
  checkNoProblems,
  compareFrame,
  drag,
  nativeExport,
  nativeFrame,
  offeredBytes,
  openPage,
  pacedMouse,
  pacedStylus,
  runGroups,
  screenshotElement,
  solidPixels,
  viewportPoint,
  waitForSolid,
  waitForState,
  startEditor,
  waitForRest,
} from '../../harness/browser.mjs';

const groups = {
  async editor_frames({ browser, url, work, frameCheck }) {
    const page = await startEditor(browser, url);
    await checkFrame(page, await nativeFrame(frameCheck, work), { what: 'the initial frame' });
    await drag(page, START.P2, [650, 250]);
    await drag(page, START.B, [450, 600]);
    await checkFrame(page, await nativeFrame(frameCheck, work, ['P2=650,250', 'B=450,600']), {
      what: 'the scene with P2 and B dragged',
    });
    checkNoProblems(page);

    // Two device pixels a canvas pixel, the editor at actual size in a window
    // too small for it, the page scrolled by a part of the editor: positions
    // still land on canvas pixels.
    const scaled = await startEditor(browser, url, {
      width: 1400,
      height: 900,
      deviceScaleFactor: 2,
    });
    await scaled.click('#actual-size');
    await scaled.evaluate(() => window.scrollTo(0, 45));
    check((await scaled.evaluate(() => window.scrollY)) === 45, 'the page does not scroll');
    await drag(scaled, START.P2, [650, 250]);
    await checkFrame(scaled, await nativeFrame(frameCheck, work, ['P2=650,250']), {
      scale: 2,
      what: 'P2 dragged at device scale 2, scrolled',
    });
    checkNoProblems(scaled);
  },

  async export_offer({ browser, url, work, frameCheck }) {
    const page = await startEditor(browser, url);
    check(
      await page.evaluate(() => document.getElementById('download').hidden),
      'a file is offered before any export',
    );
    await drag(page, START.P2, [650, 250]);
    await drag(page, START.B, [450, 600]);
    await checkFrame(page, await nativeFrame(frameCheck, work, ['P2=650,250', 'B=450,600']));
    const expected = await nativeExport(frameCheck, work, ['P2=650,250', 'B=450,600']);
    check(expected.length === 10921, `the native export has ${expected.length} bytes`);

    await page.keyboard.press('Tab');
    await checkExports(page, 1);
    const offered = await offeredBytes(page);
    check(
      offered !== null && offered.equals(expected),
      `the offered file (${offered?.length} bytes) differs from the native export`,
    );
    check(
      (await page.evaluate(() => document.activeElement?.id)) === 'editor',
      'Tab moved the focus',
    );
    check(
      (await page.evaluate(() => document.getElementById('download-size').textContent)).includes(
        '10,921',
      ),
      'the offer does not show its size',
    );

    // A held key: the first press and then the browser's repeats.
    let href = await page.evaluate(() => document.getElementById('download').href);
    await page.keyboard.down('Tab');
    for (let repeat = 0; repeat < 3; ++repeat) {
      await page.keyboard.down('Tab');
    }
    await checkExports(page, 5);
    await page.keyboard.up('Tab');
    const latest = await page.evaluate(() => document.getElementById('download').href);
    check(latest !== href, 'the repeats did not replace the offer');
    href = latest;
    check(
      (await offeredBytes(page)).equals(expected),
      'a repeated export differs from the native export',
    );
    check(
      (await page.evaluate(() => document.activeElement?.id)) === 'editor',
      'a held Tab moved the focus',
    );
    checkNoProblems(page);
  },

  async drag_outside({ browser, url, work, frameCheck }) {
    const page = await startEditor(browser, url);
    const frame = (points) => nativeFrame(frameCheck, work, points);
    const to = (x, y) => viewportPoint(page, x, y);
    const mouse = pacedMouse(page);
    await mouse.move(...(await to(START.P2[0] - 3, START.P2[1])));
    await mouse.down();
    await mouse.move(...(await to(700, 300)));
    await checkFrame(page, await frame(['P2=700,300']), { what: 'P2 following the pointer' });
    // Out over the 3D view, and released there.
    const [outX, outY] = await viewportPoint(page, 1279, 300);
    await mouse.move(outX + 200, outY);
    await mouse.up();
    await checkFrame(page, await frame(['P2=700,300']), { what: 'P2 where it was left' });
    // Back in with the button up: the release was never seen.
    await mouse.move(...(await to(800, 400)));
    await checkFrame(page, await frame(['P2=800,400']), { what: 'P2 following again' });
    await mouse.move(...(await to(900, 500)));
    await mouse.down();
    await mouse.up();
    await mouse.move(...(await to(950, 600)));
    await checkFrame(page, await frame(['P2=900,500']), {
      what: 'the drag ended by a click inside',
    });

    // A pen (in Firefox a finger) drag from P1's square moves nothing.
    const pen = await startEditor(browser, url);
    const stylus = pacedStylus(pen);
    await stylus.move(...(await viewportPoint(pen, START.P1[0] - 3, START.P1[1])));
    await stylus.down();
    await stylus.move(...(await viewportPoint(pen, 300, 300)));
    await stylus.up();
    await pen.mouse.move(...(await viewportPoint(pen, 350, 350)));
    await checkFrame(pen, await frame([]), { what: 'the initial scene after a pen drag' });
    checkNoProblems(page);
    checkNoProblems(pen);
  },

  async preview({ browser, url, work, frameCheck }) {
    const page = await startEditor(browser, url);
    check((await solidPixels(page)).count === 0, 'the 3D view shows something before any export');
    check(
      await page.evaluate(() => !document.getElementById('preview-note').hidden),
      'no hint to press Tab',
    );

    await page.keyboard.press('Tab');
    await checkExports(page, 1);
    const offered = await offeredBytes(page);
    const read = [];
    new TDSLoader()
      .parse(offered.buffer.slice(offered.byteOffset, offered.byteOffset + offered.length), '')
      .traverse((node) => {
        if (node.isMesh) {
          read.push([node.geometry.attributes.position.count, node.geometry.index.count / 3]);
        }
      });
    check(
      JSON.stringify(read) === '[[400,760]]',
      `three's loader read meshes [vertices, triangles] ${JSON.stringify(read)}`,
    );
    await waitForSolid(page, 1);
    check(
      await page.evaluate(() => document.getElementById('preview-note').hidden),
      'the hint stays over the solid',
    );
    const first = await solidPixels(page);
    check(first.count > 2000, `the 3D view shows the solid in only ${first.count} pixels`);

    // Another scene, another export: the view follows.
    await drag(page, START.P3, [900, 500]);
    await checkFrame(page, await nativeFrame(frameCheck, work, ['P3=900,500']));
    await page.keyboard.press('Tab');
    await checkExports(page, 2);
    await waitForSolid(page, 2);
    const second = await solidPixels(page);
    check(
      second.count > 2000 && !second.rgb.equals(first.rgb),
      'the 3D view was not refreshed by the second export',
    );
    checkNoProblems(page);
  },

  async escape_and_failure({ browser, url, work, frameCheck }) {
    const page = await startEditor(browser, url);
    const initial = await nativeFrame(frameCheck, work);
    await checkFrame(page, initial);
    // Escape's key-down and its character: a frame each, then the end.
    const presents = (await waitForRest(page)) + 2;
    await page.keyboard.down('Escape');
    await waitForState(page, 'ended');
    await page.keyboard.up('Escape');
    check(
      (await page.evaluate(() => document.body.dataset.exitCode)) === '0',
      'Escape did not end with exit code 0',
    );
    // The end notice is a separate element over the picture: under it, the
    // picture is unchanged.
    await page.evaluate(() => {
      document.querySelector('.status').style.visibility = 'hidden';
    });
    const last = compareFrame(await screenshotElement(page, '#editor'), initial);
    check(last === null, `the last picture after the end is gone: ${last}`);
    await page.evaluate(() => {
      document.querySelector('.status').style.visibility = '';
    });
    // Tab is the browser's again: it moves the focus and exports nothing.
    await page.evaluate(() => {
      window.tabPrevented = null;
      window.addEventListener('keydown', (event) => {
        window.tabPrevented = event.defaultPrevented;
      });
    });
    await page.keyboard.press('Tab');
    check(
      (await page.evaluate(() => window.tabPrevented)) === false,
      'Tab is still taken after the end',
    );
    check(
      (await page.evaluate(() => document.activeElement?.id)) !== 'editor',
      'Tab did not move the focus',
    );
    check(
      (await page.evaluate(() => document.body.dataset.exports)) === '0',
      'Tab exported after the end',
    );
    const shown = await page.evaluate(() => window.kestrovan.presents);
    check(shown === presents, `${shown - presents} frames more than Escape's two`);
    await page.click('#restart');
    await waitForState(page, 'running');
    check(
      (await page.evaluate(() => document.body.dataset.exitCode)) === undefined,
      'a fresh start keeps the exit code',
    );
    await page.keyboard.press('Tab');
    await checkExports(page, 1);
    checkNoProblems(page);

    const failing = await openPage(browser, url, {
      beforeLoad: () => {
        HTMLCanvasElement.prototype.getContext = () => null;
      },
    });
    await waitForState(failing, 'failed');
    check(
      (await failing.evaluate(() => document.body.dataset.exitCode)) === '1',
      'a failed start did not end with 1',
    );
    check(
      (await failing.evaluate(() => document.getElementById('message').textContent)) ===
        'Startup failed.',
      'the page does not say "Startup failed."',
    );
    checkNoProblems(failing);
  },
};

await runGroups(groups);
