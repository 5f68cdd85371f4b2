// Virtual buffers: the depth of new buffers, the slot table, allocation,
// opening, closing, freeing and the colour refresh of 8-bit buffers.
#include <cstring>

#include "gfx/display/display.h"

namespace {

bool valid_depth(int32_t depth) { return depth == 8 || depth == 16 || depth == 24 || depth == 32; }

// Header size, and allocation size (header plus colour part), of a depth.
int32_t header_size_of(int32_t depth) {
    return depth == 16 || depth == 32 ? 108 : GX_INFO_HEADER_SIZE;
}

int32_t alloc_size_of(int32_t depth) {
    if (depth == 16 || depth == 32) return 108;
    if (depth == 24) return GX_INFO_HEADER_SIZE;
    return gx_display_depth() > 8 ? 1064 : 552;
}

void write_header(uint8_t* header, int32_t depth, int32_t width, int32_t height, int32_t usage) {
    PfBitmapInfoHeader info{};
    info.size = 40;
    info.width = width;
    info.height = height;  // positive: bottom-up
    info.planes = 1;
    info.bit_count = static_cast<uint16_t>(depth);
    if (depth == 16 || depth == 32) {
        PfBitmapV4Header v4{};
        v4.info = info;
        v4.info.compression = PF_BI_BITFIELDS;
        if (depth == 16) {
            v4.red_mask = 0xF800;
            v4.green_mask = 0x07E0;
            v4.blue_mask = 0x001F;
        } else {
            v4.red_mask = 0x00FF0000;
            v4.green_mask = 0x0000FF00;
            v4.blue_mask = 0x000000FF;
            v4.alpha_mask = 0xFF000000;
        }
        // The NT family reads the same memory as an info header plus masks.
        v4.info.size = gx_state.is_nt ? 40 : 108;
        std::memcpy(header, &v4, sizeof v4);
        return;
    }
    std::memcpy(header, &info, sizeof info);
    if (depth == 8) gx_write_colour_part(header, usage);
}

void release_slot(BufferSlot& slot) {
    uint8_t* pixels = slot.pixels;
    slot.pixels = nullptr;
    if (pixels == nullptr) return;
    pf_delete_object(pf_as_object(slot.bitmap));
    pf_mem_unlock(slot.header_handle);
    pf_mem_free(slot.header_handle);
}

}  // namespace

int32_t gx_set_buffer_depth(int32_t bits_per_pixel) {
    GraphicsState& s = gx_state;
    s.new_buffer_depth = bits_per_pixel;
    s.header_size = header_size_of(bits_per_pixel);
    s.header_alloc_size = alloc_size_of(bits_per_pixel);
    return 0;
}

// Fails with -2 for a depth other than 8, 16, 24 or 32, a width or height
// below 1, a buffer whose byte count would not fit 32 bits, and when memory
// or the bitmap cannot be had; nothing stays allocated then.
int32_t gx_buffer_alloc(int32_t width, int32_t height) {
    GraphicsState& s = gx_state;
    int32_t slot = 0;
    while (slot < GX_BUFFER_SLOTS && s.buffer_slots[slot].pixels != nullptr) ++slot;
    if (slot == GX_BUFFER_SLOTS) return -1;

    const int32_t depth = s.new_buffer_depth;
    if (!valid_depth(depth) || width < 1 || height < 1) return -2;
    const int64_t padded = (static_cast<int64_t>(width) + 3) / 4 * 4;
    const int64_t pitch = padded * (depth / 8);
    // pitch * height could pass 2^63 itself: divide instead of multiplying.
    if (padded > INT32_MAX || pitch > INT32_MAX / height) return -2;

    // The size follows the depth itself, not header_alloc_size, which an
    // open buffer of another depth may have changed since.
    const PfMem handle = pf_mem_alloc(PF_MEM_MOVEABLE | PF_MEM_ZEROINIT,
                                      static_cast<size_t>(alloc_size_of(depth)));
    if (handle == nullptr) return -2;
    auto* header = static_cast<uint8_t*>(pf_mem_lock(handle));
    if (header == nullptr) {
        pf_mem_free(handle);
        return -2;
    }
    const int32_t usage = depth == 8 ? gx_screen_usage() : static_cast<int32_t>(PF_DIB_RGB_COLORS);
    write_header(header, depth, static_cast<int32_t>(padded), height, usage);

    void* pixels = nullptr;
    const PfBitmap bitmap = pf_create_dib_section(s.device_dc, header, static_cast<uint32_t>(usage),
                                                  &pixels);
    if (bitmap == nullptr || pixels == nullptr) {
        if (bitmap != nullptr) pf_delete_object(pf_as_object(bitmap));
        pf_mem_unlock(handle);
        pf_mem_free(handle);
        return -2;
    }

    BufferSlot& b = s.buffer_slots[slot];
    b.bitmap = bitmap;
    b.header_handle = handle;
    b.header = header;
    b.pixels = static_cast<uint8_t*>(pixels);
    b.depth = depth;
    b.pitch = static_cast<int32_t>(pitch);
    b.width = static_cast<int32_t>(padded);
    b.height = height;
    b.max_x = b.width - 1;
    b.max_y = height - 1;
    b.min_x = 0;
    b.min_y = 0;
    b.usage = usage;
    return slot;
}

int32_t gx_buffer_open(int32_t slot) {
    GraphicsState& s = gx_state;
    if (static_cast<uint32_t>(slot) >= GX_BUFFER_SLOTS) return -1;
    const BufferSlot& b = s.buffer_slots[slot];
    if (b.pixels == nullptr) return -2;
    if (b.bitmap != nullptr) {
        const PfObject displaced = pf_select_object(s.memory_dc, pf_as_object(b.bitmap));
        if (s.saved_bitmap == nullptr) s.saved_bitmap = displaced;
    }
    s.active_buffer = slot;
    s.active_depth = b.depth;
    s.active_pitch = b.pitch;
    s.active_width = b.width;
    s.active_height = b.height;
    s.active_max_y = b.height - 1;
    s.clip_min_x = b.min_x;
    s.clip_max_x = b.max_x;
    s.clip_min_y = b.min_y;
    s.clip_max_y = b.max_y;
    s.active_header = b.header;
    s.active_pixels = b.pixels;
    s.active_size = b.pitch * b.height;

    // The colour part keeps the form the bitmap was made with.
    s.header_size = header_size_of(b.depth);
    s.header_alloc_size = b.depth == 8 ? (b.usage == 0 ? 1064 : 552) : alloc_size_of(b.depth);
    s.dib_usage = b.depth == 8 ? b.usage : 0;
    if (b.depth == 8) {
        if (s.dib_usage == 0) gx_write_colour_part(b.header, 0);
    } else {
        gx_rebuild_color_lookup();
    }
    return 0;
}

int32_t gx_buffer_close() {
    GraphicsState& s = gx_state;
    s.active_buffer = -1;
    if (s.saved_bitmap != nullptr) pf_select_object(s.memory_dc, s.saved_bitmap);
    s.saved_bitmap = nullptr;
    return 0;
}

// A negative slot frees every allocated buffer except the open one, which
// the open-buffer fields still point into.
int32_t gx_buffer_free(int32_t slot) {
    GraphicsState& s = gx_state;
    if (slot < 0) {
        for (int32_t i = 0; i < GX_BUFFER_SLOTS; ++i)
            if (i != s.active_buffer) release_slot(s.buffer_slots[i]);
        return 0;
    }
    if (slot >= GX_BUFFER_SLOTS || slot == s.active_buffer) return 0;
    release_slot(s.buffer_slots[slot]);
    return 0;
}

int32_t gx_buffer_colors() {
    const GraphicsState& s = gx_state;
    if (s.active_buffer == -1 || s.active_depth != 8) return 0;
    gx_write_colour_part(s.active_header, s.dib_usage);
    return 0;
}
