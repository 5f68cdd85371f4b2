// Key state for the SDL backend. The portable layer turns a scan code into a
// virtual-key code; here each virtual key answers to the SDL keys that give
// it on a US keyboard with Num Lock off, so the arrow keys and keypad 8, 4,
// 6 and 2 answer alike, as they do on Windows.
#include <SDL.h>

#include "platform/platform.h"

namespace {

struct KeyBinding {
    uint8_t virtual_key;
    SDL_Scancode scancode;
};

constexpr KeyBinding BINDINGS[] = {
    {0x08, SDL_SCANCODE_BACKSPACE},
    {0x09, SDL_SCANCODE_TAB},
    {0x0C, SDL_SCANCODE_KP_5},
    {0x0C, SDL_SCANCODE_CLEAR},
    {0x0D, SDL_SCANCODE_RETURN},
    {0x0D, SDL_SCANCODE_KP_ENTER},
    {0x10, SDL_SCANCODE_LSHIFT},
    {0x10, SDL_SCANCODE_RSHIFT},
    {0x11, SDL_SCANCODE_LCTRL},
    {0x11, SDL_SCANCODE_RCTRL},
    {0x12, SDL_SCANCODE_LALT},
    {0x12, SDL_SCANCODE_RALT},
    {0x13, SDL_SCANCODE_PAUSE},
    {0x14, SDL_SCANCODE_CAPSLOCK},
    {0x1B, SDL_SCANCODE_ESCAPE},
    {0x20, SDL_SCANCODE_SPACE},
    {0x21, SDL_SCANCODE_PAGEUP},
    {0x21, SDL_SCANCODE_KP_9},
    {0x22, SDL_SCANCODE_PAGEDOWN},
    {0x22, SDL_SCANCODE_KP_3},
    {0x23, SDL_SCANCODE_END},
    {0x23, SDL_SCANCODE_KP_1},
    {0x24, SDL_SCANCODE_HOME},
    {0x24, SDL_SCANCODE_KP_7},
    {0x25, SDL_SCANCODE_LEFT},
    {0x25, SDL_SCANCODE_KP_4},
    {0x26, SDL_SCANCODE_UP},
    {0x26, SDL_SCANCODE_KP_8},
    {0x27, SDL_SCANCODE_RIGHT},
    {0x27, SDL_SCANCODE_KP_6},
    {0x28, SDL_SCANCODE_DOWN},
    {0x28, SDL_SCANCODE_KP_2},
    {0x2C, SDL_SCANCODE_PRINTSCREEN},
    {0x2D, SDL_SCANCODE_INSERT},
    {0x2D, SDL_SCANCODE_KP_0},
    {0x2E, SDL_SCANCODE_DELETE},
    {0x2E, SDL_SCANCODE_KP_PERIOD},
    {0x30, SDL_SCANCODE_0},
    {0x31, SDL_SCANCODE_1},
    {0x32, SDL_SCANCODE_2},
    {0x33, SDL_SCANCODE_3},
    {0x34, SDL_SCANCODE_4},
    {0x35, SDL_SCANCODE_5},
    {0x36, SDL_SCANCODE_6},
    {0x37, SDL_SCANCODE_7},
    {0x38, SDL_SCANCODE_8},
    {0x39, SDL_SCANCODE_9},
    {0x41, SDL_SCANCODE_A},
    {0x42, SDL_SCANCODE_B},
    {0x43, SDL_SCANCODE_C},
    {0x44, SDL_SCANCODE_D},
    {0x45, SDL_SCANCODE_E},
    {0x46, SDL_SCANCODE_F},
    {0x47, SDL_SCANCODE_G},
    {0x48, SDL_SCANCODE_H},
    {0x49, SDL_SCANCODE_I},
    {0x4A, SDL_SCANCODE_J},
    {0x4B, SDL_SCANCODE_K},
    {0x4C, SDL_SCANCODE_L},
    {0x4D, SDL_SCANCODE_M},
    {0x4E, SDL_SCANCODE_N},
    {0x4F, SDL_SCANCODE_O},
    {0x50, SDL_SCANCODE_P},
    {0x51, SDL_SCANCODE_Q},
    {0x52, SDL_SCANCODE_R},
    {0x53, SDL_SCANCODE_S},
    {0x54, SDL_SCANCODE_T},
    {0x55, SDL_SCANCODE_U},
    {0x56, SDL_SCANCODE_V},
    {0x57, SDL_SCANCODE_W},
    {0x58, SDL_SCANCODE_X},
    {0x59, SDL_SCANCODE_Y},
    {0x5A, SDL_SCANCODE_Z},
    {0x5B, SDL_SCANCODE_LGUI},
    {0x5C, SDL_SCANCODE_RGUI},
    {0x5D, SDL_SCANCODE_APPLICATION},
    {0x60, SDL_SCANCODE_KP_0},
    {0x61, SDL_SCANCODE_KP_1},
    {0x62, SDL_SCANCODE_KP_2},
    {0x63, SDL_SCANCODE_KP_3},
    {0x64, SDL_SCANCODE_KP_4},
    {0x65, SDL_SCANCODE_KP_5},
    {0x66, SDL_SCANCODE_KP_6},
    {0x67, SDL_SCANCODE_KP_7},
    {0x68, SDL_SCANCODE_KP_8},
    {0x69, SDL_SCANCODE_KP_9},
    {0x6A, SDL_SCANCODE_KP_MULTIPLY},
    {0x6B, SDL_SCANCODE_KP_PLUS},
    {0x6D, SDL_SCANCODE_KP_MINUS},
    {0x6E, SDL_SCANCODE_KP_PERIOD},
    {0x6F, SDL_SCANCODE_KP_DIVIDE},
    {0x70, SDL_SCANCODE_F1},
    {0x71, SDL_SCANCODE_F2},
    {0x72, SDL_SCANCODE_F3},
    {0x73, SDL_SCANCODE_F4},
    {0x74, SDL_SCANCODE_F5},
    {0x75, SDL_SCANCODE_F6},
    {0x76, SDL_SCANCODE_F7},
    {0x77, SDL_SCANCODE_F8},
    {0x78, SDL_SCANCODE_F9},
    {0x79, SDL_SCANCODE_F10},
    {0x7A, SDL_SCANCODE_F11},
    {0x7B, SDL_SCANCODE_F12},
    {0x90, SDL_SCANCODE_NUMLOCKCLEAR},
    {0x91, SDL_SCANCODE_SCROLLLOCK},
    {0xA0, SDL_SCANCODE_LSHIFT},
    {0xA1, SDL_SCANCODE_RSHIFT},
    {0xA2, SDL_SCANCODE_LCTRL},
    {0xA3, SDL_SCANCODE_RCTRL},
    {0xA4, SDL_SCANCODE_LALT},
    {0xA5, SDL_SCANCODE_RALT},
    {0xBA, SDL_SCANCODE_SEMICOLON},
    {0xBB, SDL_SCANCODE_EQUALS},
    {0xBC, SDL_SCANCODE_COMMA},
    {0xBD, SDL_SCANCODE_MINUS},
    {0xBE, SDL_SCANCODE_PERIOD},
    {0xBF, SDL_SCANCODE_SLASH},
    {0xC0, SDL_SCANCODE_GRAVE},
    {0xDB, SDL_SCANCODE_LEFTBRACKET},
    {0xDC, SDL_SCANCODE_BACKSLASH},
    {0xDD, SDL_SCANCODE_RIGHTBRACKET},
    {0xDE, SDL_SCANCODE_APOSTROPHE},
    {0xE2, SDL_SCANCODE_NONUSBACKSLASH},
};

bool virtual_key_down(const Uint8* keys, uint32_t virtual_key) {
    for (const KeyBinding& b : BINDINGS) {
        if (b.virtual_key == virtual_key && keys[b.scancode] != 0) return true;
    }
    return false;
}

}  // namespace

int16_t pf_async_key_state(uint32_t virtual_key) {
    const Uint8* keys = SDL_GetKeyboardState(nullptr);
    return virtual_key_down(keys, virtual_key) ? INT16_MIN : int16_t{0};
}

void pf_keyboard_state(uint8_t state[256]) {
    const Uint8* keys = SDL_GetKeyboardState(nullptr);
    for (uint32_t vk = 0; vk < 256; ++vk) state[vk] = virtual_key_down(keys, vk) ? 0x80 : 0x00;
    // Mouse buttons have virtual-key codes too: left 1, right 2, middle 4.
    const Uint32 buttons = SDL_GetMouseState(nullptr, nullptr);
    if (buttons & SDL_BUTTON(SDL_BUTTON_LEFT)) state[0x01] = 0x80;
    if (buttons & SDL_BUTTON(SDL_BUTTON_RIGHT)) state[0x02] = 0x80;
    if (buttons & SDL_BUTTON(SDL_BUTTON_MIDDLE)) state[0x04] = 0x80;
    // The low bit carries the toggle of the lock keys.
    const SDL_Keymod mods = SDL_GetModState();
    if (mods & KMOD_CAPS) state[0x14] |= 0x01;
    if (mods & KMOD_NUM) state[0x90] |= 0x01;
    if (mods & KMOD_SCROLL) state[0x91] |= 0x01;
}
