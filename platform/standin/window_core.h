// Between the two halves of the core: the window (window_core.cpp) and the
// message queue (message_queue.cpp). Back ends never include this.
#pragma once

#include "platform/standin/windows_standin.h"

// Window side.
bool is_live_window(HWND handle);
LRESULT call_window_procedure(HWND handle, UINT message, WPARAM wparam, LPARAM lparam);

// Queue side.
void discard_window_messages();  // the window is gone: so is all its input
void reset_message_queue();      // empty, no quit request
