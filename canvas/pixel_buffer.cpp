#include "canvas/pixel_buffer.h"

// All zero until the first frame is composed.
PixelBuffer pixel_buffer;
