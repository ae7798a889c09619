// The JavaScript half of the browser back end (linked with --js-library;
// declared for C++ in web_library.h). Written as plain functions without the
// newest syntax: Debian's Emscripten copies them as text and parses the result
// with an older JavaScript parser. It finds the editor's canvas by its id,
// <canvas id="editor">, and keeps everything else on Module, each thing here:
//
// Module.page             the page's hooks, passed in when it starts the program:
//   .title(text)            the window caption
//   .running()              the window is shown and the loop runs
//   .message(text)          a message box
//   .exported(name, bytes)  a file the program wrote is complete: its name and
//                           a copy of its bytes
//   .presented()            a frame has been presented
//   .resting(on)            the editor rests with nothing left to handle (true),
//                           or something has ended the rest (false)
//   .ended(code)            the program has ended with this exit code
// Module.editorContext    the canvas's 2D context while the window is open
// Module.editorBlank      the canvas shows no picture of ours (fresh, or its
//                         context restored cleared): the next present puts one
// Module.markEditorBlank  the canvas's contextrestored listener that sets it
// Module.wakeRest         ends the pause's rest; null while not resting
// Module.ignoreNonMouse   the canvas's pointerdown listener that drops touch and pen
mergeInto(LibraryManager.library, {
  // ---- The page's hooks ------------------------------------------------------
  kestrovan_page_title: function (text) {
    Module.page.title(UTF8ToString(text));
  },
  kestrovan_page_running: function () {
    Module.page.running();
  },
  kestrovan_page_message: function (text) {
    Module.page.message(UTF8ToString(text));
  },
  kestrovan_page_ended: function (code) {
    Module.page.ended(code);
  },
  // A copy of the file's bytes as they are now in the in-memory file system.
  kestrovan_page_exported__deps: ['$FS'],
  kestrovan_page_exported: function (name) {
    const file = UTF8ToString(name);
    Module.page.exported(file, FS.readFile(file));
  },

  // ---- The editor canvas -----------------------------------------------------
  // Opaque 2D context: alpha is always 255 and the compositor need not blend.
  kestrovan_open_canvas: function (width, height) {
    const canvas = document.getElementById('editor');
    if (!(canvas instanceof HTMLCanvasElement)) {
      return 0;
    }
    if (canvas.width !== width) {
      canvas.width = width;
    }
    if (canvas.height !== height) {
      canvas.height = height;
    }
    const context = canvas.getContext('2d', { alpha: false });
    if (!context) {
      return 0;
    }
    Module.editorContext = context;
    // Until a picture is put, and again after the browser restores a lost
    // context (it comes back cleared), the next present puts its picture
    // even if the program's image has not changed.
    Module.editorBlank = true;
    if (!Module.markEditorBlank) {
      Module.markEditorBlank = function () {
        Module.editorBlank = true;
      };
      canvas.addEventListener('contextrestored', Module.markEditorBlank);
    }
    return 1;
  },
  // The RGBA bytes stay in wasm memory; ImageData only views them. An
  // unchanged picture is already on the canvas and is not put again. The page
  // hears of every present, so it can count frames however they are shown.
  kestrovan_put_image: function (rgba, width, height, changed) {
    if (changed || Module.editorBlank) {
      const bytes = new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4);
      Module.editorContext.putImageData(new ImageData(bytes, width, height), 0, 0);
      Module.editorBlank = false;
    }
    Module.page.presented();
  },
  kestrovan_close_canvas: function () {
    Module.editorContext = null;
  },

  // ---- The frame loop's pause -------------------------------------------------
  // Hands the thread to the browser for at least `milliseconds`. With `rest`
  // set (nothing waits to be fetched) the pause then goes on, with no timer,
  // until something needs the program: input posted, the tab shown again, or
  // the canvas's context restored. An idle editor thus makes no passes at all.
  // The page hears when a rest begins and when it is broken, so a script can
  // wait for the editor to settle instead of waiting for time.
  // Resuming rewinds the program's stack, which must not happen under the
  // input callback that posted (compiled code is on the stack there), so
  // input resumes it in a microtask.
  kestrovan_pause__deps: ['$callUserCallback'],
  kestrovan_pause: function (milliseconds, rest) {
    Asyncify.handleSleep(function (wakeUp) {
      const timeAsked = performance.now() + milliseconds;
      const canvas = document.getElementById('editor');
      let resting = false;
      const end = function () {
        // As Emscripten's own callbacks: the program's exit is not an error.
        callUserCallback(wakeUp);
      };
      const onVisible = function () {
        if (!document.hidden) {
          wake();
        }
      };
      // Begins or ends the rest: what may end it listens only meanwhile.
      const setResting = function (on) {
        const listen = on ? 'addEventListener' : 'removeEventListener';
        resting = on;
        Module.wakeRest = on ? wake : null;
        document[listen]('visibilitychange', onVisible);
        if (canvas) {
          canvas[listen]('contextrestored', wake);
        }
        Module.page.resting(on);
      };
      // Ends the rest: the pause is over once the time asked has passed.
      const wake = function () {
        if (!resting) {
          return;
        }
        setResting(false);
        const left = timeAsked - performance.now();
        if (left > 0) {
          setTimeout(end, left);
        } else {
          queueMicrotask(end);
        }
      };
      if (!rest) {
        setTimeout(end, milliseconds);
        return;
      }
      setResting(true);
    });
  },
  kestrovan_input_posted: function () {
    if (Module.wakeRest) {
      Module.wakeRest();
    }
  },

  // ---- Input -----------------------------------------------------------------
  // The canvas pixel under a pointer at (clientX, clientY), packed as
  // x | y << 16, or -1 outside the canvas. The canvas's box is measured now,
  // so this is right at any zoom, device pixel ratio or scroll position.
  kestrovan_editor_pixel: function (clientX, clientY, width, height) {
    const canvas = document.getElementById('editor');
    if (!canvas) {
      return -1;
    }
    const box = canvas.getBoundingClientRect();
    if (box.width <= 0 || box.height <= 0) {
      return -1;
    }
    const x = Math.floor(((clientX - box.left) * width) / box.width);
    const y = Math.floor(((clientY - box.top) * height) / box.height);
    if (x < 0 || y < 0 || x >= width || y >= height) {
      return -1;
    }
    return x | (y << 16);
  },
  kestrovan_focus_editor: function () {
    const canvas = document.getElementById('editor');
    if (canvas && document.activeElement !== canvas) {
      canvas.focus({ preventScroll: true });
    }
  },
  // Touch and pen do nothing: cancelling their pointerdown suppresses the
  // mouse events a browser makes up from them, whose implicit capture would
  // deliver a release that happened outside the editor.
  kestrovan_ignore_touch_and_pen: function (on) {
    const canvas = document.getElementById('editor');
    if (!canvas) {
      return;
    }
    if (!Module.ignoreNonMouse) {
      Module.ignoreNonMouse = function (event) {
        if (event.pointerType !== 'mouse') {
          event.preventDefault();
        }
      };
    }
    if (on) {
      canvas.addEventListener('pointerdown', Module.ignoreNonMouse);
    } else {
      canvas.removeEventListener('pointerdown', Module.ignoreNonMouse);
    }
  },
});
