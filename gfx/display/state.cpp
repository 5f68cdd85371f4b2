// The library's one global state record. Every field starts at the value
// given in its declaration; the record is constant-initialized, so it is in
// place before any code runs.
#include "gfx/gfx.h"

GraphicsState gx_state;
