// Between the two halves of the core. The window side (window_core.cpp) owns
// the one window and dispatches messages to its procedure; it tells the
// message queue (message_queue.cpp) which window the messages are for, and
// the queue calls nothing of the window side. Back ends never include this.
#pragma once

#include "platform/standin/windows_standin.h"

// Messages are posted for this window from now on.
void queue_messages_for(HWND window);
// The window is gone, and so is all its input: posting fails until a window
// is set again.
void discard_window_messages();
// Empty, no window, no quit request.
void reset_message_queue();
