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
//   .presented(words)       a frame has been shown: the 32-bit words the
//                           program presented (rows of the canvas's width,
//                           top-down), a view valid only during the call, or
//                           null when they are not laid out so
//   .resting(on)            the editor rests with nothing left to handle (true),
//                           or something has ended the rest (false)
//   .ended(code)            the program has ended with this exit code
//   .fingerPress(x, y)      optional: where a finger's press at canvas position
//                           (x, y), in fractions of a canvas pixel, lands, as
//                           [column, row]; null or absent: where the finger is
// Module.editor           the editor canvas while the window is open, a record
//                         of its own each time it opens:
//   .canvas, .context       the canvas and its 2D context
//   .blank                  it shows no picture of ours (fresh, or its context
//                           restored cleared): the next present puts one
//   .listening              an AbortController whose signal every listener of
//                           this opening takes: closing removes them all, so
//                           nothing on the page keeps an ended program alive
//   .mouseHeld              the mouse is the pointer that holds the editor
//   .othersHold             the mouse events in hand are not the mouse's to
//                           deliver: made up from touch or pen, or another
//                           pointer holds the editor
//   .wake                   ends the pause's rest; null while not resting
// Module.pressKey(name)   presses and releases a key on screen, 'Tab' or
//                         'Escape', as the keyboard would
// Module.mouse(action, x, y)  the mouse's 'press', 'move' or 'release' at
//                         canvas pixel (x, y), for the page's own controls;
//                         false, delivering nothing, while a pointer holds the
//                         editor
// The program's kestrovan_pointer and kestrovan_press_key (web_backend.cpp) are
// exported for the calls here.
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
    // Until a picture is put, and again after the browser restores a lost
    // context (it comes back cleared), the next present puts its picture
    // even if the program's image has not changed.
    const editor = {
      canvas: canvas,
      context: context,
      blank: true,
      listening: new AbortController(),
      mouseHeld: false,
      othersHold: false,
      wake: null,
    };
    canvas.addEventListener(
      'contextrestored',
      function () {
        editor.blank = true;
      },
      { signal: editor.listening.signal },
    );
    Module.editor = editor;
    const keys = { Tab: 9, Escape: 27 };
    Module.pressKey = function (name) {
      if (keys[name]) {
        _kestrovan_press_key(keys[name]);
      }
    };
    return 1;
  },
  // The RGBA bytes stay in wasm memory; ImageData only views them. An
  // unchanged picture is already on the canvas and is not put again. The page
  // hears of every present, so it can count frames however they are shown.
  // A lost context draws nothing: that present fails, and the picture is put
  // again once the context is back.
  kestrovan_put_image: function (rgba, words, width, height, changed) {
    const editor = Module.editor;
    if (editor.context.isContextLost && editor.context.isContextLost()) {
      editor.blank = true;
      return 0;
    }
    if (changed || editor.blank) {
      const bytes = new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4);
      editor.context.putImageData(new ImageData(bytes, width, height), 0, 0);
      editor.blank = false;
    }
    Module.page.presented(words ? new Uint32Array(HEAPU32.buffer, words, width * height) : null);
    return 1;
  },
  kestrovan_close_canvas: function () {
    if (Module.editor) {
      Module.editor.listening.abort();
    }
    Module.editor = null;
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
      const editor = Module.editor;
      const end = function () {
        // As Emscripten's own callbacks: the program's exit is not an error.
        callUserCallback(wakeUp);
      };
      if (!rest || !editor) {
        setTimeout(end, milliseconds);
        return;
      }
      // What may end this rest listens only while it lasts.
      const resting = new AbortController();
      const wake = function () {
        if (editor.wake !== wake) {
          return;
        }
        editor.wake = null;
        resting.abort();
        Module.page.resting(false);
        const left = timeAsked - performance.now();
        if (left > 0) {
          setTimeout(end, left);
        } else {
          queueMicrotask(end);
        }
      };
      editor.wake = wake;
      document.addEventListener(
        'visibilitychange',
        function () {
          if (!document.hidden) {
            wake();
          }
        },
        { signal: resting.signal },
      );
      editor.canvas.addEventListener('contextrestored', wake, { signal: resting.signal });
      Module.page.resting(true);
    });
  },
  kestrovan_input_posted: function () {
    if (Module.editor && Module.editor.wake) {
      Module.editor.wake();
    }
  },

  // ---- Input -----------------------------------------------------------------
  // The canvas pixel under a pointer at (clientX, clientY), packed as
  // x | y << 16, or -1 outside the canvas. The canvas's box is measured now,
  // so this is right at any zoom, device pixel ratio or scroll position, and
  // from a fractional position too.
  $editorPixel: function (canvas, clientX, clientY, width, height) {
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
  kestrovan_editor_pixel__deps: ['$editorPixel'],
  kestrovan_editor_pixel: function (clientX, clientY, width, height) {
    return Module.editor ? editorPixel(Module.editor.canvas, clientX, clientY, width, height) : -1;
  },
  kestrovan_focus_editor: function () {
    const canvas = document.getElementById('editor');
    if (canvas && document.activeElement !== canvas) {
      canvas.focus({ preventScroll: true });
    }
  },
  // Whether the mouse event in hand is the mouse's own (a browser makes some
  // up from touch and pen) and no other pointer holds the editor.
  kestrovan_mouse_wanted: function () {
    return Module.editor && !Module.editor.othersHold ? 1 : 0;
  },
  // Touch and pen become the mouse's press, moves and release: a press (a
  // finger's where the page says), moves from the pointer's own fractional
  // position while over the canvas, and the release when it lifts or is
  // cancelled, wherever that is, at the last position inside (touch has no
  // hover that could carry a drag on). A pen's moves without a press are
  // delivered as the mouse's are. One pointer at a time, the mouse included:
  // whichever pressed first holds the editor until it is lifted, and no other
  // pointer's press, moves or release reach the program meanwhile.
  // kestrovan_pointer is told 0 for a press, 1 for a move, 2 for a release.
  kestrovan_take_pointers__deps: ['$editorPixel'],
  kestrovan_take_pointers: function (width, height) {
    const editor = Module.editor;
    const canvas = editor.canvas;
    const options = { signal: editor.listening.signal };
    const PRESS = 0;
    const MOVE = 1;
    const RELEASE = 2;
    let held = null; // the touch or pen that is down: its id and last position inside
    // Whether another pointer holds the editor, noted for the mouse events
    // that follow this one (the mouse's own come through the program's
    // callbacks, which ask kestrovan_mouse_wanted).
    const othersHold = function (event) {
      const other =
        event.pointerType === 'mouse'
          ? held !== null
          : editor.mouseHeld || (held !== null && held.id !== event.pointerId);
      editor.othersHold = event.pointerType !== 'mouse' || other;
      return other;
    };
    const fingerPress = function (event, at) {
      const box = canvas.getBoundingClientRect();
      const x = ((event.clientX - box.left) * width) / box.width;
      const y = ((event.clientY - box.top) * height) / box.height;
      const target = Module.page.fingerPress ? Module.page.fingerPress(x, y) : null;
      if (
        !target ||
        !(target[0] >= 0 && target[0] < width && target[1] >= 0 && target[1] < height)
      ) {
        return at;
      }
      return target[0] | (target[1] << 16);
    };
    canvas.addEventListener(
      'pointerdown',
      function (event) {
        const other = othersHold(event);
        if (event.pointerType === 'mouse') {
          editor.mouseHeld = !other && event.button === 0;
          return;
        }
        // No mouse events are made up from it: their implicit capture would
        // deliver a release as if it had happened inside.
        event.preventDefault();
        const at = editorPixel(canvas, event.clientX, event.clientY, width, height);
        if (other || held !== null || event.button !== 0 || at < 0) {
          return;
        }
        held = {
          id: event.pointerId,
          at: event.pointerType === 'touch' ? fingerPress(event, at) : at,
        };
        try {
          canvas.setPointerCapture(event.pointerId);
        } catch (_error) {
          // Lifted already: its release comes all the same.
        }
        canvas.focus({ preventScroll: true });
        _kestrovan_pointer(PRESS, held.at);
      },
      options,
    );
    canvas.addEventListener(
      'pointermove',
      function (event) {
        const other = othersHold(event);
        if (event.pointerType === 'mouse') {
          return;
        }
        const own = held !== null ? held.id === event.pointerId : event.pointerType === 'pen';
        const at = editorPixel(canvas, event.clientX, event.clientY, width, height);
        if (other || !own || at < 0) {
          return;
        }
        if (held !== null) {
          held.at = at;
        }
        _kestrovan_pointer(MOVE, at);
      },
      options,
    );
    const lifted = function (event) {
      othersHold(event);
      if (event.pointerType === 'mouse') {
        return;
      }
      if (held !== null && held.id === event.pointerId) {
        const at = held.at;
        held = null;
        _kestrovan_pointer(RELEASE, at);
      }
    };
    ['pointerup', 'pointercancel', 'lostpointercapture'].forEach(function (type) {
      canvas.addEventListener(type, lifted, options);
    });
    // The mouse's button comes up anywhere: it no longer holds the editor
    // (the program's drag goes on until a release inside, as on Windows).
    window.addEventListener(
      'pointerup',
      function (event) {
        if (event.pointerType === 'mouse') {
          editor.mouseHeld = false;
        }
      },
      options,
    );
    const actions = { press: PRESS, move: MOVE, release: RELEASE };
    Module.mouse = function (action, x, y) {
      if (held !== null || editor.mouseHeld) {
        return false;
      }
      _kestrovan_pointer(actions[action], x | (y << 16));
      return true;
    };
  },
});
