// Set-1 scan code -> virtual-key code, as the system's scan-code mapping of
// type 1 gives it for a US keyboard: left and right keys are not told apart,
// and the keypad keys give their navigation codes (keypad 4 is the left
// arrow), which is what the arrow keys share their scan codes with.
#include "platform/portable/portable.h"

namespace {

constexpr uint8_t SCAN_TO_VK[0x59] = {
    0x00, 0x1B, '1',  '2',
    '3',  '4',  '5',  '6',  // 00-07: -, Esc, digits
    '7',  '8',  '9',  '0',
    0xBD, 0xBB, 0x08, 0x09,  // 08-0F: digits, - =, Backspace, Tab
    'Q',  'W',  'E',  'R',
    'T',  'Y',  'U',  'I',  // 10-17
    'O',  'P',  0xDB, 0xDD,
    0x0D, 0x11, 'A',  'S',  // 18-1F: [ ], Enter, Ctrl
    'D',  'F',  'G',  'H',
    'J',  'K',  'L',  0xBA,  // 20-27: ;
    0xDE, 0xC0, 0x10, 0xDC,
    'Z',  'X',  'C',  'V',  // 28-2F: ' `, left Shift, backslash
    'B',  'N',  'M',  0xBC,
    0xBE, 0xBF, 0x10, 0x6A,  // 30-37: , . /, right Shift, keypad *
    0x12, 0x20, 0x14, 0x70,
    0x71, 0x72, 0x73, 0x74,  // 38-3F: Alt, Space, Caps Lock, F1-F5
    0x75, 0x76, 0x77, 0x78,
    0x79, 0x90, 0x91, 0x24,  // 40-47: F6-F10, Num Lock, Scroll Lock, Home
    0x26, 0x21, 0x6D, 0x25,
    0x0C, 0x27, 0x6B, 0x23,  // 48-4F: Up, PgUp, keypad -, Left, Clear, Right, keypad +, End
    0x28, 0x22, 0x2D, 0x2E,
    0x2C, 0x00, 0xE2, 0x7A,  // 50-57: Down, PgDn, Ins, Del, SysRq, -, <>, F11
    0x7B,                    // 58: F12
};

}  // namespace

uint32_t pf_scan_to_virtual_key(uint32_t scan_code) {
    return scan_code < sizeof SCAN_TO_VK ? SCAN_TO_VK[scan_code] : 0;
}
