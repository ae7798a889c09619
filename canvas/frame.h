// Composition of the whole editor picture from the scene.
#pragma once

// Clears the buffer, draws the handles, axis, control legs and curve dots in
// a fixed order (later writes win where they overlap) and refreshes the
// single-precision copies of the six points.
void render_frame();
