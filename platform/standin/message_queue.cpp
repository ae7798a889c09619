// The message calls of the stand-in: one queue of fixed capacity for the one
// window, the quit request and keyboard translation. The window side
// (window_core.cpp) tells the queue which window its messages are for and
// dispatches them; the queue knows nothing else of it.
#include "platform/standin/backend.h"
#include "platform/standin/window_core.h"

namespace {

// A ring of MESSAGE_QUEUE_CAPACITY messages, oldest at queue_head.
MSG queue[MESSAGE_QUEUE_CAPACITY];
int queue_head;
int queue_count;
bool quit_pending;
int quit_code;
DWORD message_clock;  // rises with every post; stamped as the message time
HWND queue_window;    // the window the messages are for; null while there is none

MSG& queued(int position) {
    return queue[(queue_head + position) % MESSAGE_QUEUE_CAPACITY];
}

bool post(UINT message, WPARAM wparam, LPARAM lparam, bool at_front) {
    if (queue_window == nullptr || queue_count == MESSAGE_QUEUE_CAPACITY) {
        return false;
    }
    if (at_front) {
        queue_head = (queue_head + MESSAGE_QUEUE_CAPACITY - 1) % MESSAGE_QUEUE_CAPACITY;
    }
    MSG& slot = at_front ? queue[queue_head] : queued(queue_count);
    slot = MSG{};
    slot.hwnd = queue_window;
    slot.message = message;
    slot.wParam = wparam;
    slot.lParam = lparam;
    slot.time = ++message_clock;
    ++queue_count;
    return true;
}

// The oldest message, else the quit request once nothing else waits.
bool take_message(MSG* msg, bool remove) {
    if (queue_count > 0) {
        *msg = queued(0);
        if (remove) {
            queue_head = (queue_head + 1) % MESSAGE_QUEUE_CAPACITY;
            --queue_count;
        }
        return true;
    }
    if (!quit_pending) {
        return false;
    }
    *msg = MSG{};
    msg->message = WM_QUIT;
    msg->wParam = static_cast<WPARAM>(static_cast<UINT>(quit_code));
    msg->time = message_clock;
    quit_pending = quit_pending && !remove;
    return true;
}

// Filters by window or by message range are not supported.
bool unfiltered(HWND window, UINT filter_min, UINT filter_max) {
    return window == nullptr && filter_min == 0 && filter_max == 0;
}

// Keys other than letters and digits that type a character with no modifier
// held (US layout), with that character.
struct TypedKey {
    BYTE key;
    char character;
};
constexpr TypedKey TYPED_KEYS[] = {{VK_BACK, '\b'},     {VK_TAB, '\t'},      {VK_RETURN, '\r'},
                                   {VK_ESCAPE, '\x1B'}, {VK_SPACE, ' '},     {VK_MULTIPLY, '*'},
                                   {VK_ADD, '+'},       {VK_SUBTRACT, '-'},  {VK_DECIMAL, '.'},
                                   {VK_DIVIDE, '/'},    {VK_OEM_1, ';'},     {VK_OEM_PLUS, '='},
                                   {VK_OEM_COMMA, ','}, {VK_OEM_MINUS, '-'}, {VK_OEM_PERIOD, '.'},
                                   {VK_OEM_2, '/'},     {VK_OEM_3, '`'},     {VK_OEM_4, '['},
                                   {VK_OEM_5, '\\'},    {VK_OEM_6, ']'},     {VK_OEM_7, '\''}};

// The character a key types, or 0 for none.
WPARAM character_of_key(WPARAM key) {
    if (key >= '0' && key <= '9') {
        return key;
    }
    if (key >= 'A' && key <= 'Z') {
        return key - 'A' + 'a';
    }
    if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9) {
        return key - VK_NUMPAD0 + '0';
    }
    for (const TypedKey& typed : TYPED_KEYS) {
        if (typed.key == key) {
            return static_cast<WPARAM>(typed.character);
        }
    }
    return 0;
}

}  // namespace

// ---- Told by the window side --------------------------------------------------------

void queue_messages_for(HWND window) {
    queue_window = window;
}

void discard_window_messages() {
    queue_window = nullptr;
    queue_head = 0;
    queue_count = 0;
}

void reset_message_queue() {
    discard_window_messages();
    quit_pending = false;
    quit_code = 0;
    message_clock = 0;
}

// ---- For the back ends ---------------------------------------------------------------

bool post_window_message(UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_MOUSEMOVE && queue_window != nullptr && queue_count > 0 &&
        queued(queue_count - 1).message == WM_MOUSEMOVE) {
        MSG& last = queued(queue_count - 1);
        last.wParam = wparam;
        last.lParam = lparam;
        last.time = ++message_clock;
        return true;
    }
    return post(message, wparam, lparam, false);
}

int queued_message_count() {
    return queue_count;
}

bool message_waiting() {
    return queue_count > 0 || quit_pending;
}

// ---- Message calls ------------------------------------------------------------------

BOOL PeekMessageA(MSG* msg, HWND window, UINT filter_min, UINT filter_max, UINT remove) {
    if (msg == nullptr || !unfiltered(window, filter_min, filter_max) ||
        (remove != PM_NOREMOVE && remove != PM_REMOVE)) {
        return FALSE;
    }
    backend_pump_events(false);
    return take_message(msg, remove == PM_REMOVE) ? TRUE : FALSE;
}

BOOL GetMessageA(MSG* msg, HWND window, UINT filter_min, UINT filter_max) {
    if (msg == nullptr || !unfiltered(window, filter_min, filter_max)) {
        return -1;
    }
    backend_pump_events(false);
    while (!take_message(msg, true)) {
        backend_pump_events(true);
    }
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL TranslateMessage(const MSG* msg) {
    if (msg == nullptr || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) {
        return FALSE;
    }
    const WPARAM character = character_of_key(msg->wParam);
    if (character != 0) {
        // The character message is the next one fetched.
        post(msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR, character, msg->lParam, true);
    }
    return TRUE;
}

void PostQuitMessage(int exit_code) {
    quit_pending = true;
    quit_code = exit_code;
}
