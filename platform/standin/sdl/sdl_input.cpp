#include "platform/standin/sdl/sdl_input.h"

namespace {

// Virtual-key codes the stand-in header does not name.
constexpr int VK_PAUSE = 0x13;
constexpr int VK_CAPITAL = 0x14;
constexpr int VK_PRIOR = 0x21;
constexpr int VK_NEXT = 0x22;
constexpr int VK_END = 0x23;
constexpr int VK_HOME = 0x24;
constexpr int VK_SNAPSHOT = 0x2C;
constexpr int VK_INSERT = 0x2D;
constexpr int VK_LWIN = 0x5B;
constexpr int VK_RWIN = 0x5C;
constexpr int VK_APPS = 0x5D;
constexpr int VK_NUMPAD0 = 0x60;
constexpr int VK_MULTIPLY = 0x6A;
constexpr int VK_ADD = 0x6B;
constexpr int VK_SUBTRACT = 0x6D;
constexpr int VK_DECIMAL = 0x6E;
constexpr int VK_DIVIDE = 0x6F;
constexpr int VK_F10 = 0x79;
constexpr int VK_NUMLOCK = 0x90;
constexpr int VK_SCROLL = 0x91;
constexpr int VK_OEM_1 = 0xBA;       // ;:
constexpr int VK_OEM_PLUS = 0xBB;    // =+
constexpr int VK_OEM_COMMA = 0xBC;   // ,<
constexpr int VK_OEM_MINUS = 0xBD;   // -_
constexpr int VK_OEM_PERIOD = 0xBE;  // .>
constexpr int VK_OEM_2 = 0xBF;       // /?
constexpr int VK_OEM_3 = 0xC0;       // `~
constexpr int VK_OEM_4 = 0xDB;       // [{
constexpr int VK_OEM_5 = 0xDC;       // \|
constexpr int VK_OEM_6 = 0xDD;       // ]}
constexpr int VK_OEM_7 = 0xDE;       // '"

// Key-message lparam bits: repeat count in bits 0-15, then the context code
// (Alt held), the previous key state and the transition state.
constexpr LPARAM KEY_REPEAT_ONE = 1;
constexpr LPARAM KEY_CONTEXT_ALT = LPARAM{1} << 29;
constexpr LPARAM KEY_WAS_DOWN = LPARAM{1} << 30;
constexpr LPARAM KEY_RELEASED = static_cast<LPARAM>(0x80000000u);

constexpr InputMessage NOTHING = {InputMessage::Kind::none, WM_NULL, 0, 0};

InputMessage key_message(const SDL_KeyboardEvent& key) {
    const int vk = virtual_key_for(key.keysym.sym);
    if (vk == 0) {
        return NOTHING;
    }
    const bool alt = (key.keysym.mod & KMOD_ALT) != 0;
    const bool system = alt || vk == VK_F10;
    const bool pressed = key.type == SDL_KEYDOWN;
    LPARAM lparam = KEY_REPEAT_ONE;
    if (alt) {
        lparam |= KEY_CONTEXT_ALT;
    }
    if (!pressed || key.repeat != 0) {
        lparam |= KEY_WAS_DOWN;
    }
    if (!pressed) {
        lparam |= KEY_RELEASED;
    }
    UINT message;
    if (pressed) {
        message = system ? WM_SYSKEYDOWN : WM_KEYDOWN;
    } else {
        message = system ? WM_SYSKEYUP : WM_KEYUP;
    }
    return {InputMessage::Kind::message, message, static_cast<WPARAM>(vk), lparam};
}

}  // namespace

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
        return VK_F1 + 12 + (key - SDLK_F13);
    }
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) {
        return VK_NUMPAD0 + 1 + (key - SDLK_KP_1);
    }
    switch (key) {
        case SDLK_BACKSPACE:
            return VK_BACK;
        case SDLK_TAB:
            return VK_TAB;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return VK_RETURN;
        case SDLK_ESCAPE:
            return VK_ESCAPE;
        case SDLK_SPACE:
            return VK_SPACE;
        case SDLK_DELETE:
            return VK_DELETE;
        case SDLK_INSERT:
            return VK_INSERT;
        case SDLK_HOME:
            return VK_HOME;
        case SDLK_END:
            return VK_END;
        case SDLK_PAGEUP:
            return VK_PRIOR;
        case SDLK_PAGEDOWN:
            return VK_NEXT;
        case SDLK_LEFT:
            return VK_LEFT;
        case SDLK_UP:
            return VK_UP;
        case SDLK_RIGHT:
            return VK_RIGHT;
        case SDLK_DOWN:
            return VK_DOWN;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT:
            return VK_SHIFT;
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return VK_CONTROL;
        case SDLK_LALT:
        case SDLK_RALT:
            return VK_MENU;
        case SDLK_LGUI:
            return VK_LWIN;
        case SDLK_RGUI:
            return VK_RWIN;
        case SDLK_APPLICATION:
            return VK_APPS;
        case SDLK_PAUSE:
            return VK_PAUSE;
        case SDLK_CAPSLOCK:
            return VK_CAPITAL;
        case SDLK_PRINTSCREEN:
            return VK_SNAPSHOT;
        case SDLK_NUMLOCKCLEAR:
            return VK_NUMLOCK;
        case SDLK_SCROLLLOCK:
            return VK_SCROLL;
        case SDLK_KP_0:
            return VK_NUMPAD0;
        case SDLK_KP_MULTIPLY:
            return VK_MULTIPLY;
        case SDLK_KP_PLUS:
            return VK_ADD;
        case SDLK_KP_MINUS:
            return VK_SUBTRACT;
        case SDLK_KP_PERIOD:
            return VK_DECIMAL;
        case SDLK_KP_DIVIDE:
            return VK_DIVIDE;
        case SDLK_SEMICOLON:
            return VK_OEM_1;
        case SDLK_EQUALS:
            return VK_OEM_PLUS;
        case SDLK_COMMA:
            return VK_OEM_COMMA;
        case SDLK_MINUS:
            return VK_OEM_MINUS;
        case SDLK_PERIOD:
            return VK_OEM_PERIOD;
        case SDLK_SLASH:
            return VK_OEM_2;
        case SDLK_BACKQUOTE:
            return VK_OEM_3;
        case SDLK_LEFTBRACKET:
            return VK_OEM_4;
        case SDLK_BACKSLASH:
            return VK_OEM_5;
        case SDLK_RIGHTBRACKET:
            return VK_OEM_6;
        case SDLK_QUOTE:
            return VK_OEM_7;
        default:
            return 0;
    }
}

InputMessage translate_event(const SDL_Event& event, Uint32 window_id, int client_width,
                             int client_height) {
    switch (event.type) {
        case SDL_QUIT:
            return {InputMessage::Kind::message, WM_CLOSE, 0, 0};
        case SDL_WINDOWEVENT:
            if (event.window.windowID == window_id && event.window.event == SDL_WINDOWEVENT_CLOSE) {
                return {InputMessage::Kind::message, WM_CLOSE, 0, 0};
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
            return {InputMessage::Kind::mouse_move, WM_MOUSEMOVE, 0,
                    pack_client_position(event.motion.x, event.motion.y)};
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const SDL_MouseButtonEvent& button = event.button;
            if (button.windowID != window_id || button.button != SDL_BUTTON_LEFT ||
                !inside_client(button.x, button.y, client_width, client_height)) {
                return NOTHING;
            }
            const bool pressed = event.type == SDL_MOUSEBUTTONDOWN;
            return {InputMessage::Kind::message, pressed ? WM_LBUTTONDOWN : WM_LBUTTONUP,
                    pressed ? MOUSE_KEY_LEFT_BUTTON : 0, pack_client_position(button.x, button.y)};
        }
        default:
            return NOTHING;
    }
}
