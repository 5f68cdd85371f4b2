// The input descriptor: where the image reader reads file chunks to, or the
// memory block it reads an image from.
#include "gfx/gfx.h"

// The block stays the caller's; the reader only reads it (in memory mode) or
// reads file chunks into it (in file mode), so it must hold `size` bytes.
int32_t gx_set_input(const void* block, uint32_t size) {
    gx_state.input_ptr = static_cast<uint8_t*>(const_cast<void*>(block));
    gx_state.input_size = size;
    return 0;
}

int32_t gx_reset_input() {
    gx_state.input_ptr = gx_state.input_buffer;
    gx_state.input_size = GX_INPUT_BUFFER_SIZE;
    return 0;
}
