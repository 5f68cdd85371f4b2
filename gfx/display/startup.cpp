// Handing over the device context, start-up, the screen depth, the stock
// font, and teardown.
#include "gfx/display/display.h"
#include "gfx/simd.h"

int32_t gx_set_dc(PfDC dc) {
    gx_state.device_dc = dc;
    gx_state.text_dc = dc;
    return 0;
}

int32_t gx_display_depth() {
    int32_t bits = 0;
    int32_t planes = 0;
    pf_screen_format(&bits, &planes);
    const int64_t depth = static_cast<int64_t>(bits) * planes;
    if (depth == 15) return 16;
    return depth > INT32_MAX || depth < INT32_MIN ? 0 : static_cast<int32_t>(depth);
}

int32_t gx_select_stock_font(int32_t stock_object) {
    GraphicsState& s = gx_state;
    s.stock_font = pf_stock_object(stock_object);
    pf_select_object(s.text_dc, s.stock_font);
    PfTextMetrics metrics{};
    pf_text_metrics(s.text_dc, &metrics);
    s.line_height = metrics.height + metrics.external_leading;
    s.external_leading = metrics.external_leading;
    s.avg_char_width = metrics.avg_char_width;
    return 0;
}

int32_t gx_initialize() {
    gx_simd_level();  // chooses every fast path, the platform's too, once
    GraphicsState& s = gx_state;
    s.input_ptr = s.input_buffer;
    s.input_size = GX_INPUT_BUFFER_SIZE;
    gx_select_stock_font(10);  // the fixed-pitch OEM font
    for (BufferSlot& slot : s.buffer_slots) slot.pixels = nullptr;
    for (int i = 0; i < 256; ++i) s.index_map[i] = static_cast<uint8_t>(i);
    if (gx_display_depth() <= 8) {
        s.dib_usage = 1;
        s.header_alloc_size = 552;
    } else {
        s.dib_usage = 0;
        s.header_alloc_size = 1064;
    }
    s.mapped_color_index = 0;
    s.entry_low_byte = 0;
    s.current_color = 0;
    s.pos_x = 0;
    s.pos_y = 0;
    s.active_buffer = -1;
    s.new_buffer_depth = 8;
    s.header_size = 40;
    s.saved_bitmap = nullptr;
    s.memory_dc = pf_create_memory_dc();
    s.is_nt = (pf_version() & 0x80000000u) == 0 ? 1 : 0;
    // The AVI library is optional: when it is missing the entries stay null.
    s.avi_module = pf_module_load(s.avi_library_name);
    if (s.avi_module == nullptr) return 0;
    for (AviEntry& entry : s.avi_entries)
        entry.address = pf_module_symbol(s.avi_module, entry.name);
    return 0;
}

int32_t gx_shutdown() {
    GraphicsState& s = gx_state;
    s.active_buffer = -1;
    if (s.texture_table != nullptr) {
        if (PfMem block = pf_mem_handle(s.texture_table)) pf_mem_free(block);
        s.texture_table = nullptr;
    }
    if (s.saved_palette != nullptr) pf_select_palette(s.device_dc, s.saved_palette, false);
    pf_module_free(s.avi_module);
    s.avi_module = nullptr;
    for (AviEntry& entry : s.avi_entries) entry.address = nullptr;
    if (s.memory_dc != nullptr) {
        pf_delete_dc(s.memory_dc);
        s.memory_dc = nullptr;
    }
    return 0;
}
