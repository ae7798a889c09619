// Process entry: the program takes no command line and only starts the editor.
#include "app/program.h"

#ifdef _WIN32
int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*command_line*/,
                   int /*show*/) {
    start_program();
}
#else
int main() {
    start_program();
}
#endif
