// The application shell: the window, the frame loop and the window procedure.
#pragma once

#include "platform/windows_api.h"

// Creates the editor window and runs the frame loop until the quit message;
// ends the process with its exit code (1 if the window could not be set up).
[[noreturn]] void start_program();

// The window's message handler: keys, picking and dragging, quitting.
LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
