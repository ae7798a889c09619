// The browser edition in Chromium and Firefox, driven with real input and
// checked against the native frames and export, at a viewport that holds the
// editor at one canvas pixel to one CSS pixel.
//
//   node editor_test.mjs SITE FRAME_CHECK [GROUP...]
//
// Groups (each in a fresh browser context of each engine):
//   editor_frames        the editor shows the natively composed frame exactly,
//                        initially and after dragging P2 and B, and the page
//                        knows where each point is, hidden or at an edge; the P2 drag
//                        again at device scale 2, at actual size in a window
//                        too small for it, with the page scrolled
//   export_offer         Tab offers exactly the native export; a held Tab
//                        replaces the offer on every repeat; focus stays
//   drag_outside         a release outside the editor is never seen: the drag
//                        goes on until a release inside
//   touch_pen_and_keys   on a tablet: a finger beside P2's square drags P2 to
//                        the pixel under its fractional position, one on the
//                        axis line beside B's square drags B, a second finger
//                        does nothing, a lift outside ends the drag; a pen
//                        presses exactly where it touches (Chromium); the keys
//                        on screen, tapped or clicked, give the native export
//                        and the end, and leave the keyboard's keys working
//   keyboard_only        Shift+Tab leaves the editor and reaches the points,
//                        the 3D view, the offers and the keys; P2 moved by its
//                        fields and B by "Place" give the mouse's frame and
//                        export; the 3D view turns by keys; the accessibility
//                        tree names the points and says the end (Chromium);
//                        a restart's fields are the start scene's
//   preview              three's own loader reads the offer as one mesh of 400
//                        vertices and 760 triangles; the 3D view shows it and
//                        is refreshed by the next export
//   escape_and_failure   Escape ends the program (exit code 0, no more frames,
//                        keys no longer taken) and it can start again; with no
//                        drawing context the start fails with exit code 1
import { TDSLoader } from 'three/addons/loaders/TDSLoader.js';

import {
  FRAME_WIDTH,
  START,
  check,
  checkExports,
  checkPoints,
  checkFrame,
  checkNoProblems,
  compareFrame,
  drag,
  nativeExport,
  nativeFrame,
  offeredBytes,
  openPage,
  pacedMouse,
  pacedPen,
  pacedTouch,
  runGroups,
  screenshotElement,
  solidPixels,
  viewportPoint,
  waitForSolid,
  waitForState,
  startEditor,
  waitForEnd,
  waitForRest,
} from '../../harness/browser.mjs';

// A tablet in landscape: the editor at 0.664, under 3.3 CSS pixels a handle.
const TABLET = { width: 1180, height: 820, deviceScaleFactor: 2, hasTouch: true };

const groups = {
  async editor_frames({ browser, url, work, frameCheck }) {
    const page = await startEditor(browser, url);
    await checkFrame(page, await nativeFrame(frameCheck, work), { what: 'the initial frame' });
    await drag(page, START.P2, [650, 250]);
    await drag(page, START.B, [450, 600]);
    await checkFrame(page, await nativeFrame(frameCheck, work, ['P2=650,250', 'B=450,600']), {
      what: 'the scene with P2 and B dragged',
    });
    await checkPoints(page, { P2: [650, 250], B: [450, 600] });
    // Under A's square, at the edge: where the mouse put them.
    await drag(page, START.P0, START.A);
    await drag(page, [650, 250], [1279, 2]);
    await checkPoints(page, { P0: START.A, P2: [1279, 2], B: [450, 600] }, ['P0']);
    // A hidden point's fields say so and move nothing.
    await page.focus('#point-0-x');
    await page.keyboard.press('ArrowUp');
    await checkPoints(page, { P0: START.A, P2: [1279, 2], B: [450, 600] }, ['P0']);
    check(await page.$eval('#point-0-hidden', (note) => !note.hidden), 'P0 is not said hidden');
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
      await page.evaluate(() => !document.getElementById('download').checkVisibility()),
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

    checkNoProblems(page);
  },

  async touch_pen_and_keys({ browser, url, work, frameCheck, engine }) {
    const page = await startEditor(browser, url, TABLET);
    const box = await page.$eval('#editor', (e) => e.getBoundingClientRect().toJSON());
    const scale = box.width / FRAME_WIDTH;
    // Where the page is touched for canvas position (x, y), and the point
    // that lands at the pixel under it (Firefox's driver touches whole CSS
    // pixels).
    const css = (x, y) => [box.left + x * scale, box.top + y * scale];
    const round = engine === 'firefox' ? Math.round : (v) => v;
    const moved = (name, x, y) =>
      `${name}=${css(x, y).map((v, i) => Math.floor((round(v) - [box.left, box.top][i]) / scale))}`;
    const finger = pacedTouch(page);
    const dragWith = async (pointer, strokes) => {
      for (const [from, to] of strokes) {
        await pointer.down(...css(...from));
        await pointer.move(...css(...to));
        await pointer.up();
      }
    };
    // 20 CSS px right of P2's square: P2. On the axis line beside B's square,
    // where a mouse would take P0: B.
    await dragWith(finger, [
      [
        [START.P2[0] + 20 / scale, START.P2[1] + 0.5],
        [651.1, 252],
      ],
      [
        [389.5, 390.5],
        [450.3, 600.4],
      ],
    ]);
    // A second finger on P1 and a mouse click do nothing; a lift outside
    // ends P3's drag.
    await finger.down(...css(START.P3[0] - 2.5, START.P3[1] + 0.5));
    await finger.move(...css(720.5, 660.5));
    await finger.down(...css(START.P1[0] - 2.5, START.P1[1] + 0.5), 1);
    await finger.move(...css(300, 300), 1);
    await finger.up(1);
    const mouse = pacedMouse(page);
    await mouse.move(...css(900, 900));
    await mouse.down();
    await mouse.up();
    await finger.move(...css(730.5, 650.5));
    await finger.move(...css(FRAME_WIDTH + 40, 600));
    await finger.up();
    await page.mouse.move(...css(800, 700));
    const points = [moved('P2', 651.1, 252), moved('B', 450.3, 600.4), moved('P3', 730.5, 650.5)];
    if (engine === 'chromium') {
      // A pen presses where it touches: beside P1's square, nothing; on P0's, P0.
      await dragWith(pacedPen(page), [
        [
          [START.P1[0] + 1.5, START.P1[1]],
          [200, 800],
        ],
        [
          [START.P0[0] - 2.5, START.P0[1] + 0.5],
          [300.5, 200.5],
        ],
      ]);
      points.push(moved('P0', 300.5, 200.5));
    }
    const scene = points.map((point) => point.split(/[=,]/));
    await checkPoints(page, Object.fromEntries(scene.map(([name, x, y]) => [name, [+x, +y]])));
    // The keys on screen, tapped and clicked; then the keyboard's Tab.
    const expected = await nativeExport(frameCheck, work, points);
    const tab = await page.$eval('#press-tab', (b) => b.getBoundingClientRect().toJSON());
    await finger.down(tab.left + tab.width / 2, tab.top + tab.height / 2);
    await finger.up();
    await page.click('#press-tab');
    await page.keyboard.press('Tab');
    await checkExports(page, 3);
    check((await offeredBytes(page)).equals(expected), `the offered file is not ${points}`);
    await page.click('#press-escape');
    check((await waitForEnd(page)) === 0, 'End did not end with exit code 0');
    checkNoProblems(page);
  },

  async keyboard_only({ browser, url, work, frameCheck, engine }) {
    const page = await startEditor(browser, url);
    const focused = () =>
      page.evaluate(() => {
        const at = document.activeElement;
        return at.getAttribute('aria-label') ?? (at.id || at.textContent);
      });
    // Shift+Tab from the editor until `name` has the focus; what it passed.
    const back = async (name) => {
      const passed = [];
      while (passed.length < 40 && (await focused()) !== name) {
        await page.keyboard.down('Shift');
        await page.keyboard.press('Tab');
        await page.keyboard.up('Shift');
        passed.push(await focused());
      }
      check(passed.at(-1) === name, `Shift+Tab never reached ${name}: ${passed}`);
      return passed;
    };
    // Out of the editor, over the points, the 3D view, the offers and keys.
    const leave = async (names) => {
      await page.focus('#editor');
      const passed = await back('press-tab');
      check(
        names.every((name) => passed.includes(name)) && passed[0] === 'Place Axis end 2',
        `Shift+Tab from the editor passed ${passed}`,
      );
    };
    await leave(['Profile point 3 x', 'No solid yet', 'press-escape']);
    // P2 by its fields: ten right, one left, y typed; B placed by a press.
    await page.focus('#point-2-x');
    await page.keyboard.press('PageUp');
    await page.keyboard.press('ArrowDown');
    await page.keyboard.press('Tab');
    await page.keyboard.type('250');
    await page.keyboard.press('Tab');
    await page.focus('#editor');
    await back('Place Axis end 2');
    await page.keyboard.press('Enter');
    const mouse = pacedMouse(page);
    await mouse.move(...(await viewportPoint(page, 450, 600)));
    await mouse.down();
    await mouse.up();
    const scene = ['P2=509,250', 'B=450,600'];
    await checkPoints(page, { P2: [509, 250], B: [450, 600] });
    await checkFrame(page, await nativeFrame(frameCheck, work, scene));
    await page.focus('#editor');
    await page.keyboard.press('Tab');
    await checkExports(page, 1);
    const expected = await nativeExport(frameCheck, work, scene);
    check((await offeredBytes(page)).equals(expected), "the export differs from the mouse's");
    await waitForSolid(page, 1);
    await leave(['download', 'download-obj']);
    // The 3D view turns by keys and is named for what it shows.
    await page.focus('#preview');
    const view = await focused();
    const note = await page.$eval('#solid-note', (element) => element.textContent);
    const size = note.replace(/^The solid is (.*) wide.*$/, '$1').replaceAll('\u00a0', ' ');
    check(view === `The solid, ${size} wide`, `the 3D view is ${view}; the note says ${note}`);
    const before = await solidPixels(page);
    await page.keyboard.press('ArrowLeft');
    await page.keyboard.press('-');
    check(!(await solidPixels(page)).rgb.equals(before.rgb), 'the 3D view did not turn');
    await page.focus('#editor');
    await page.keyboard.press('Escape');
    check((await waitForEnd(page)) === 0, 'Escape did not end with 0');
    // The accessibility tree: each point named with its place, the end said.
    if (engine === 'chromium') {
      // The tree follows the page a moment later.
      const cdp = await page.createCDPSession();
      let nodes = [];
      let text = '';
      for (let tries = 0; tries < 50 && !text.startsWith('The editor'); ++tries) {
        await new Promise((resolve) => setTimeout(resolve, tries === 0 ? 0 : 100));
        ({ nodes } = await cdp.send('Accessibility.getFullAXTree'));
        const status = nodes.filter((node) => node.role?.value === 'status');
        const said = nodes.filter((node) => status.some((s) => s.childIds?.includes(node.nodeId)));
        text = said.map((node) => node.name?.value).join('');
      }
      const field = nodes.find((node) => node.name?.value === 'Profile point 3 y');
      check(String(field?.value?.value) === '250', `"Profile point 3 y" is ${field?.value?.value}`);
      check(text === 'The editor has ended (exit code 0).', `the status says "${text}"`);
    }
    await page.focus('#restart');
    await page.keyboard.press('Enter');
    await waitForState(page, 'running');
    await checkPoints(page);
    checkNoProblems(page);
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

  async escape_and_failure({ browser, url, work, frameCheck, engine }) {
    // Each program the page starts, held weakly; with `failing`, no start
    // finds a drawing context.
    const keepPrograms = (failing) => {
      const instantiate = WebAssembly.instantiateStreaming;
      window.programs = [];
      WebAssembly.instantiateStreaming = async (source, ...rest) => {
        const [response, made] = [await source, await instantiate(source, ...rest)];
        if (response.url.includes('/kestrovan-')) window.programs.push(new WeakRef(made.instance));
        return made;
      };
      if (failing) HTMLCanvasElement.prototype.getContext = () => null;
    };
    // Nothing keeps an ended program (32 MiB) alive. Chromium can be made to
    // collect garbage; Firefox's driver cannot.
    const checkPrograms = async (on, alive) => {
      if (engine === 'chromium') {
        await (await on.createCDPSession()).send('HeapProfiler.collectGarbage');
        const live = await on.evaluate(() => window.programs.map((made) => !!made.deref()));
        check(live.join() === alive, `programs alive, first to last: ${live}`);
      }
    };
    const page = await startEditor(browser, url, { beforeLoad: `(${keepPrograms})(false)` });
    const initial = await nativeFrame(frameCheck, work);
    await checkFrame(page, initial);
    // Escape's key-down and its character: a frame each, then the end.
    const presents = (await waitForRest(page)) + 2;
    await page.keyboard.down('Escape');
    check((await waitForEnd(page)) === 0, 'Escape did not end with exit code 0');
    await page.keyboard.up('Escape');
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
    const presented = await page.evaluate(() => window.kestrovan.presents);
    check(presented === presents, `${presented - presents} frames more than Escape's two`);
    await page.click('#restart');
    await waitForState(page, 'running');
    check(
      (await page.evaluate(() => document.body.dataset.exitCode)) === undefined,
      'a fresh start keeps the exit code',
    );
    await page.keyboard.press('Tab');
    await checkExports(page, 1);
    await checkPrograms(page, 'false,true');
    checkNoProblems(page);

    // A failed start, and again after "Start again": nothing is kept.
    const failing = await openPage(browser, url, { beforeLoad: `(${keepPrograms})(true)` });
    check((await waitForEnd(failing)) === 1, 'a failed start did not end with 1');
    check(
      (await failing.evaluate(() => document.getElementById('message').textContent)) ===
        'Startup failed.',
      'the page does not say "Startup failed."',
    );
    await failing.click('#restart');
    check((await waitForEnd(failing)) === 1, 'a failed start again did not end with 1');
    await checkPrograms(failing, 'false,false');
    checkNoProblems(failing);
  },
};

await runGroups(groups);
