// SDL's event wait on X11 ends early by sending the window a client message
// over a second connection to the server. When input that arrived during a
// wait leads straight to the window's destruction (Escape, a close request),
// the server may destroy the window before it reads that message; the send
// then fails with BadWindow, which Xlib's default handler turns into exit(1)
// once SDL_Quit closes that connection. The message is only a wake-up, so
// that one error is harmless.
#pragma once

// From now on a BadWindow error of a SendEvent request is ignored; every
// other X error still goes to the handler that was in place. Call it before
// SDL's video subsystem starts: SDL puts back the handler it found there
// when it closes its connections. Does nothing without X11 support, and
// nothing when called again.
void tolerate_late_wakeups();
