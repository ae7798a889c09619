#include "platform/standin/sdl/sdl_input.h"

namespace {

// SDL keys and the Windows virtual-key codes of the same keys, beyond the
// letters, digits, function keys and keypad digits 1-9 (ranges below).
struct KeyPair {
    SDL_Keycode sdl;
    int vk;
};
// clang-format off
constexpr KeyPair KEY_PAIRS[] = {
    // Editing and moving.
    {SDLK_BACKSPACE, VK_BACK}, {SDLK_TAB, VK_TAB}, {SDLK_RETURN, VK_RETURN},
    {SDLK_KP_ENTER, VK_RETURN}, {SDLK_ESCAPE, VK_ESCAPE}, {SDLK_SPACE, VK_SPACE},
    {SDLK_DELETE, VK_DELETE}, {SDLK_INSERT, VK_INSERT}, {SDLK_HOME, VK_HOME}, {SDLK_END, VK_END},
    {SDLK_PAGEUP, VK_PRIOR}, {SDLK_PAGEDOWN, VK_NEXT}, {SDLK_LEFT, VK_LEFT}, {SDLK_UP, VK_UP},
    {SDLK_RIGHT, VK_RIGHT}, {SDLK_DOWN, VK_DOWN},
    // Modifiers, locks and system keys.
    {SDLK_LSHIFT, VK_SHIFT}, {SDLK_RSHIFT, VK_SHIFT}, {SDLK_LCTRL, VK_CONTROL},
    {SDLK_RCTRL, VK_CONTROL}, {SDLK_LALT, VK_MENU}, {SDLK_RALT, VK_MENU}, {SDLK_LGUI, VK_LWIN},
    {SDLK_RGUI, VK_RWIN}, {SDLK_APPLICATION, VK_APPS}, {SDLK_PAUSE, VK_PAUSE},
    {SDLK_CAPSLOCK, VK_CAPITAL}, {SDLK_PRINTSCREEN, VK_SNAPSHOT}, {SDLK_NUMLOCKCLEAR, VK_NUMLOCK},
    {SDLK_SCROLLLOCK, VK_SCROLL},
    // The keypad beyond its digits 1-9.
    {SDLK_KP_0, VK_NUMPAD0}, {SDLK_KP_MULTIPLY, VK_MULTIPLY}, {SDLK_KP_PLUS, VK_ADD},
    {SDLK_KP_MINUS, VK_SUBTRACT}, {SDLK_KP_PERIOD, VK_DECIMAL}, {SDLK_KP_DIVIDE, VK_DIVIDE},
    // The punctuation keys of a US layout.
    {SDLK_SEMICOLON, VK_OEM_1}, {SDLK_EQUALS, VK_OEM_PLUS}, {SDLK_COMMA, VK_OEM_COMMA},
    {SDLK_MINUS, VK_OEM_MINUS}, {SDLK_PERIOD, VK_OEM_PERIOD}, {SDLK_SLASH, VK_OEM_2},
    {SDLK_BACKQUOTE, VK_OEM_3}, {SDLK_LEFTBRACKET, VK_OEM_4}, {SDLK_BACKSLASH, VK_OEM_5},
    {SDLK_RIGHTBRACKET, VK_OEM_6}, {SDLK_QUOTE, VK_OEM_7}};
// clang-format on

constexpr InputMessage NOTHING = {WM_NULL, 0, 0};

constexpr bool inside_client(int x, int y, int client_width, int client_height) {
    return x >= 0 && x < client_width && y >= 0 && y < client_height;
}

// x in the low 16 bits, y in the high 16 bits, each as a 16-bit two's
// complement value.
constexpr LPARAM pack_client_position(int x, int y) {
    return static_cast<LPARAM>(static_cast<std::uint32_t>(static_cast<std::uint16_t>(x)) |
                               (static_cast<std::uint32_t>(static_cast<std::uint16_t>(y)) << 16));
}

// The Windows virtual-key code of an SDL key, or 0 for a key that has none.
int virtual_key_for(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) {
        return 'A' + (key - SDLK_a);
    }
    if (key >= SDLK_0 && key <= SDLK_9) {
        return '0' + (key - SDLK_0);
    }
    if (key >= SDLK_F1 && key <= SDLK_F12) {
        return VK_F1 + (key - SDLK_F1);
    }
    if (key >= SDLK_F13 && key <= SDLK_F24) {
        return VK_F13 + (key - SDLK_F13);
    }
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) {
        return VK_NUMPAD1 + (key - SDLK_KP_1);
    }
    for (const KeyPair& pair : KEY_PAIRS) {
        if (pair.sdl == key) {
            return pair.vk;
        }
    }
    return 0;
}

InputMessage key_message(const SDL_KeyboardEvent& key) {
    const int vk = virtual_key_for(key.keysym.sym);
    if (vk == 0) {
        return NOTHING;
    }
    const Keystroke stroke =
        keystroke(vk, key.type == SDL_KEYDOWN, key.repeat != 0, (key.keysym.mod & KMOD_ALT) != 0);
    return {stroke.message, static_cast<WPARAM>(vk), stroke.lparam};
}

}  // namespace

InputMessage translate_event(const SDL_Event& event, Uint32 window_id, int client_width,
                             int client_height) {
    switch (event.type) {
        case SDL_QUIT:
            return {WM_CLOSE, 0, 0};
        case SDL_WINDOWEVENT:
            if (event.window.windowID == window_id && event.window.event == SDL_WINDOWEVENT_CLOSE) {
                return {WM_CLOSE, 0, 0};
            }
            return NOTHING;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (event.key.windowID != window_id) {
                return NOTHING;
            }
            return key_message(event.key);
        case SDL_MOUSEMOTION:
            if (event.motion.windowID != window_id ||
                !inside_client(event.motion.x, event.motion.y, client_width, client_height)) {
                return NOTHING;
            }
            return {WM_MOUSEMOVE, 0, pack_client_position(event.motion.x, event.motion.y)};
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const SDL_MouseButtonEvent& button = event.button;
            if (button.windowID != window_id || button.button != SDL_BUTTON_LEFT ||
                !inside_client(button.x, button.y, client_width, client_height)) {
                return NOTHING;
            }
            const bool pressed = event.type == SDL_MOUSEBUTTONDOWN;
            return {pressed ? WM_LBUTTONDOWN : WM_LBUTTONUP, pressed ? MK_LBUTTON : 0,
                    pack_client_position(button.x, button.y)};
        }
        default:
            return NOTHING;
    }
}
