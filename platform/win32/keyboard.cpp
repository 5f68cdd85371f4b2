// Key state by virtual-key code, and the scan code translation.
#include "platform/win32/win32_handles.h"

uint32_t pf_scan_to_virtual_key(uint32_t scan_code) {
    return MapVirtualKeyA(scan_code, MAPVK_VSC_TO_VK);
}

int16_t pf_async_key_state(uint32_t virtual_key) {
    return GetAsyncKeyState(static_cast<int>(virtual_key));
}

void pf_keyboard_state(uint8_t state[256]) { GetKeyboardState(state); }
