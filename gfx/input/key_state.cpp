// Whether a key, named by its scan code, is down; code 0 asks about any key.
#include "gfx/gfx.h"

int32_t gx_key_test(int32_t scan_code) {
    if (scan_code != 0) {
        const uint32_t vk = pf_scan_to_virtual_key(static_cast<uint32_t>(scan_code));
        return pf_async_key_state(vk) < 0 ? 1 : 0;
    }
    uint8_t* state = gx_state.key_state;
    pf_keyboard_state(state);
    // Entries 0 and 1 are never looked at; a toggled key that is not down
    // (0x01) does not count.
    for (int i = 2; i < 256; ++i)
        if (state[i] == 0x80) return 1;
    for (int i = 2; i < 256; ++i)
        if (state[i] == 0x81) return 1;
    return 0;
}
