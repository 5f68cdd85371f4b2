// The texture slot table and the current texture. The table records only
// where each texture's pixels are; the pixel memory belongs to the caller.
#include <cstdint>
#include <limits>

#include "gfx/gfx.h"

int32_t gx_texture_table_alloc(int32_t count) {
    if (count <= 0) return -1;
    // On a 32-bit target a large count would wrap the byte size.
    if (static_cast<uint64_t>(count) > std::numeric_limits<size_t>::max() / sizeof(TextureSlot)) {
        return -1;
    }
    PfMem block = pf_mem_alloc(PF_MEM_FIXED | PF_MEM_ZEROINIT,
                               static_cast<size_t>(count) * sizeof(TextureSlot));
    if (block == nullptr) return -1;
    // The table it replaces would otherwise be lost for good.
    if (gx_state.texture_table != nullptr) {
        if (PfMem old = pf_mem_handle(gx_state.texture_table)) pf_mem_free(old);
    }
    // A fixed block's handle is its address.
    gx_state.texture_table = reinterpret_cast<TextureSlot*>(block);
    gx_state.texture_count = count;
    return 0;
}

int32_t gx_texture_define(void* pixels, int32_t width, int32_t height) {
    if (gx_state.texture_table == nullptr) return -1;
    for (int32_t slot = 0; slot < gx_state.texture_count; ++slot) {
        TextureSlot& entry = gx_state.texture_table[slot];
        if (entry.pixels == nullptr) {
            entry.pixels = static_cast<uint8_t*>(pixels);
            entry.width = width;
            entry.height = height;
            return slot;
        }
    }
    return -1;
}

int32_t gx_texture_select(int32_t slot) {
    if (gx_state.texture_table == nullptr ||
        static_cast<uint32_t>(slot) >= static_cast<uint32_t>(gx_state.texture_count)) {
        return 0;
    }
    const TextureSlot& entry = gx_state.texture_table[slot];
    if (entry.pixels == nullptr) return 0;
    gx_state.texture_pixels = entry.pixels;
    gx_state.texture_width = entry.width;
    gx_state.texture_height = entry.height;
    return 0;
}

int32_t gx_texture_undefine(int32_t slot) {
    if (gx_state.texture_table == nullptr) return 0;
    if (slot < 0) {
        for (int32_t i = 0; i < gx_state.texture_count; ++i) {
            gx_state.texture_table[i].pixels = nullptr;
        }
    } else if (slot < gx_state.texture_count) {
        gx_state.texture_table[slot].pixels = nullptr;
    }
    return 0;
}
