// The editor's canvas in the page and the present into it: the frame's words
// become opaque RGBA bytes in one pass over the image (the canvas wants red
// first, the frame keeps blue lowest), and one putImageData shows them when
// they differ from the picture put last.
//
// Measured in headless Chromium on a 2-core machine, this 2D path costs about
// 0.8 ms a frame including a one-pixel read-back that waits for it; a WebGL 2
// texture upload with the swizzle in the shader costs about 15 ms once the
// read-back has to wait for the software renderer.
#pragma once

#include "platform/standin/backend.h"

// Finds <canvas id="editor">, sizes its drawing buffer to width x height and
// takes its 2D context. False when there is no such canvas or no context.
bool open_editor_canvas(int width, int height);

// Shows the image at the canvas's top-left corner; a picture the canvas
// already shows is not put again. False, having shown nothing, unless the
// canvas is open, the image fits its fixed copy and the canvas can draw.
bool present_to_editor(const FrameImage& image);

// Forgets the canvas; what it shows stays.
void close_editor_canvas();
