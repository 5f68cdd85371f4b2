// The buffer, drawing, palette, stock font, texture-slot and depth-buffer operations in
// any order: the input is a program for a small interpreter, one op-code
// byte and its arguments at a time, run against one library session.
//
// Slot numbers, sizes, depths, colours, positions and palette ranges come
// from the input and are mostly wrong. Caller memory (blocks, palette
// triples, colour arrays) always has exactly the size the call is told, so
// any access past it is caught; sizes that would make one input allocate
// more than a few megabytes are not passed (the library's own limits are
// far above what a fuzzing process may hold).
//
// Besides the sanitizers, a model of the slot table and of the palette
// checks the documented results: allocation gives the lowest free slot, -1
// only when all 256 are taken; open gives -1 outside 0-255, -2 for a free
// slot; free never releases the open buffer; a fill sets every pixel; a
// block inside the buffer holds exactly its pixels and one that is not
// inside is left untouched; an inverted block has its rows reversed; a
// palette change writes exactly its range within 0-255; a reduction leaves
// every pixel inside its slots, and a refused one changes nothing.
#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "fuzz/fuzz_support.h"

namespace {

constexpr int MAX_OPERATIONS = 320;  // enough to fill all 256 slots
constexpr int MAX_REDUCTIONS = 4;
constexpr int64_t MAX_BUFFER_BYTES = 256 * 1024;  // per buffer or depth buffer
constexpr int64_t MAX_BLOCK_BYTES = 256 * 1024;
constexpr int64_t MAX_TABLE_SLOTS = 65536;
constexpr int MAX_DEPTH_BUFFERS = 8;
constexpr int TEXTURE_SIDE = 64;

// Texels for every depth: 64 x 64 of up to 3 bytes. A texture defined with
// width x height <= 4096 texels therefore always lies inside it.
std::array<uint8_t, TEXTURE_SIDE* TEXTURE_SIDE* 3> texture_pool = [] {
    std::array<uint8_t, TEXTURE_SIDE * TEXTURE_SIDE * 3> t{};
    for (size_t i = 0; i < t.size(); ++i) t[i] = static_cast<uint8_t>(i * 13 + 5);
    return t;
}();

struct Model {
    bool used[GX_BUFFER_SLOTS] = {};
    std::vector<uint32_t*> depth_buffers;
    int reductions = 0;
};

int32_t block_bytes_per_pixel(int32_t depth) {
    if (depth == 32 || depth == 24) return 3;
    return depth == 16 ? 2 : 0;
}

// A width or height: mostly small, sometimes anything.
int32_t size_value(fuzz::Input& in) {
    const uint8_t kind = in.u8();
    if ((kind & 3) != 0) return kind % 97;  // 0 included
    return in.any_int();
}

int32_t slot_value(fuzz::Input& in) {
    const uint8_t kind = in.u8();
    if ((kind & 3) != 0) return (kind >> 2) % 8;
    return in.any_int();
}

uint8_t* pixel_at(int32_t x, int32_t y, int32_t bytes) {
    return gx_state.active_pixels +
           static_cast<ptrdiff_t>(gx_state.active_height - 1 - y) * gx_state.active_pitch +
           static_cast<ptrdiff_t>(x) * bytes;
}

void check_slots(const Model& model) {
    for (int i = 0; i < GX_BUFFER_SLOTS; ++i) {
        FUZZ_CHECK((gx_state.buffer_slots[i].pixels != nullptr) == model.used[i],
                   "slot table differs from the model");
    }
    FUZZ_CHECK(gx_state.active_buffer == -1 ||
                   (gx_state.active_buffer >= 0 && gx_state.active_buffer < GX_BUFFER_SLOTS &&
                    model.used[gx_state.active_buffer]),
               "open buffer is not an allocated slot");
}

void buffer_alloc(fuzz::Input& in, Model& model) {
    const int32_t width = size_value(in);
    const int32_t height = size_value(in);
    const int32_t depth = gx_state.new_buffer_depth;
    const bool valid = (depth == 8 || depth == 16 || depth == 24 || depth == 32) && width >= 1 &&
                       height >= 1;
    if (valid) {
        // At most 2^33 and 2^62: no overflow here.
        const int64_t pitch = (static_cast<int64_t>(width) + 3) / 4 * 4 * (depth / 8);
        const bool library_accepts = pitch <= INT32_MAX && pitch * height <= INT32_MAX;
        if (library_accepts && pitch * height > MAX_BUFFER_BYTES) return;
    }
    int32_t lowest_free = -1;
    for (int i = 0; i < GX_BUFFER_SLOTS && lowest_free < 0; ++i)
        if (!model.used[i]) lowest_free = i;
    const int32_t slot = gx_buffer_alloc(width, height);
    if (slot >= 0) {
        FUZZ_CHECK(valid, "a buffer of an invalid depth or size");
        FUZZ_CHECK(slot == lowest_free, "allocation did not take the lowest free slot");
        model.used[slot] = true;
        const BufferSlot& b = gx_state.buffer_slots[slot];
        FUZZ_CHECK(b.width == (width + 3) / 4 * 4 && b.height == height && b.depth == depth,
                   "buffer geometry");
    } else {
        FUZZ_CHECK(slot == -1 || slot == -2, "allocation result");
        FUZZ_CHECK(slot != -1 || lowest_free == -1, "-1 with a free slot");
    }
}

void buffer_open(fuzz::Input& in, const Model& model) {
    const int32_t slot = slot_value(in);
    const int32_t before = gx_state.active_buffer;
    const int32_t result = gx_buffer_open(slot);
    if (slot < 0 || slot >= GX_BUFFER_SLOTS) {
        FUZZ_CHECK(result == -1 && gx_state.active_buffer == before, "open outside 0-255");
    } else if (!model.used[slot]) {
        FUZZ_CHECK(result == -2 && gx_state.active_buffer == before, "open of a free slot");
    } else {
        FUZZ_CHECK(result == 0 && gx_state.active_buffer == slot, "open of an allocated slot");
    }
}

void buffer_free(fuzz::Input& in, Model& model) {
    const int32_t slot = (in.u8() & 7) == 0 ? -1 : slot_value(in);
    FUZZ_CHECK(gx_buffer_free(slot) == 0, "free result");
    for (int i = 0; i < GX_BUFFER_SLOTS; ++i) {
        if (i == gx_state.active_buffer) continue;
        if (slot < 0 || slot == i) model.used[i] = false;
    }
}

// The fill writes the colour as stored: at 24 bits three bytes per pixel,
// otherwise the 32-bit pattern over the whole memory (so a colour set for
// another depth shows as that depth's pattern, as documented).
void fill_buffer() {
    FUZZ_CHECK(gx_fill_buffer() == 0, "fill result");
    if (gx_state.active_buffer < 0) return;
    const uint32_t c = gx_state.current_color;
    const uint8_t* p = gx_state.active_pixels;
    const size_t size = fuzz::active_bytes();
    if (gx_state.active_depth == 24) {
        const uint8_t bgr[3] = {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8),
                                static_cast<uint8_t>(c >> 16)};
        for (size_t i = 0; i < size; ++i) FUZZ_CHECK(p[i] == bgr[i % 3], "pixel not filled");
        return;
    }
    for (size_t i = 0; i + 4 <= size; i += 4)
        FUZZ_CHECK(std::memcmp(p + i, &c, 4) == 0, "pixel not filled");
}

void get_block(fuzz::Input& in) {
    const int32_t width = size_value(in);
    const int32_t height = size_value(in);
    const int32_t b = gx_state.active_buffer < 0 ? 0 : block_bytes_per_pixel(gx_state.active_depth);
    int64_t bytes = 1;
    if (width >= 1 && height >= 1) {
        if (int64_t{width} * height > MAX_BLOCK_BYTES)
            return;  // more than the caller's block holds
        bytes = std::max<int64_t>(int64_t{width} * height * b, 1);
    }
    if (bytes > MAX_BLOCK_BYTES) return;
    std::vector<uint8_t> block(static_cast<size_t>(bytes), 0xCD);
    FUZZ_CHECK(gx_get_block(block.data(), width, height) == 0, "get-block result");

    const int32_t x = gx_state.pos_x, y = gx_state.pos_y;
    const bool inside = gx_state.active_buffer >= 0 && b != 0 && width >= 1 && height >= 1 &&
                        x >= 0 && int64_t{x} + width <= gx_state.active_width &&
                        int64_t{y} - height + 1 >= 0 && y < gx_state.active_height;
    if (!inside) {
        for (uint8_t v : block) FUZZ_CHECK(v == 0xCD, "block written though it is not inside");
        return;
    }
    const int32_t source_bytes = gx_state.active_depth / 8;
    const uint8_t* out = block.data();
    for (int32_t k = 0; k < height; ++k) {
        for (int32_t i = 0; i < width; ++i, out += b) {
            FUZZ_CHECK(
                std::memcmp(out, pixel_at(x + i, y - k, source_bytes), static_cast<size_t>(b)) == 0,
                "block pixel differs from the buffer");
        }
    }
}

void invert_block(fuzz::Input& in) {
    const int32_t width = size_value(in);
    const int32_t height = size_value(in);
    const int64_t b = gx_state.active_depth >= 24 ? 3 : 2;
    int64_t bytes = 1;
    if (width >= 1 && height >= 1) {
        if (int64_t{width} * height > MAX_BLOCK_BYTES) return;
        bytes = int64_t{width} * height * b;
    }
    if (bytes > MAX_BLOCK_BYTES) return;
    std::vector<uint8_t> block(static_cast<size_t>(bytes));
    const uint8_t seed = in.u8();
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 29 + seed);
    const std::vector<uint8_t> original = block;
    FUZZ_CHECK(gx_invert_block(block.data(), width, height) == 0, "invert result");
    if (width < 1 || height < 1) {
        FUZZ_CHECK(block == original, "block changed by an empty invert");
        return;
    }
    const size_t row = static_cast<size_t>(width) * static_cast<size_t>(b);
    for (int32_t i = 0; i < height; ++i) {
        FUZZ_CHECK(
            std::memcmp(block.data() + static_cast<size_t>(i) * row,
                        original.data() + static_cast<size_t>(height - 1 - i) * row, row) == 0,
            "rows not reversed");
    }
}

void set_palette(fuzz::Input& in) {
    const int32_t first = (in.u8() & 1) != 0 ? in.u8() : in.any_int();
    const int32_t count = (in.u8() & 1) != 0 ? in.u16() % 300 : in.any_int();
    // Exactly count triples when such an array can exist; otherwise 256,
    // more than any call may read.
    const int32_t triples = count >= 1 && count <= 1024 ? count : (count > 1024 ? 256 : 1);
    std::vector<uint8_t> rgb(static_cast<size_t>(triples) * 3);
    const uint8_t seed = in.u8();
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 37 + seed);

    const LogicalPalette palette = gx_state.logical_palette;
    std::array<RgbQuad, 256> quads;
    std::memcpy(quads.data(), gx_state.rgb_table, sizeof gx_state.rgb_table);
    std::array<uint32_t, 256> lookup;
    std::memcpy(lookup.data(), gx_state.color_lookup, sizeof gx_state.color_lookup);
    FUZZ_CHECK(gx_set_palette(first, count, rgb.data()) == 0, "set-palette result");

    const bool acts = gx_state.active_buffer >= 0 && count > 0 && first >= 0 && first <= 255;
    for (int32_t i = 0; i < 256; ++i) {
        const bool in_range = acts && i >= first && int64_t{i} < int64_t{first} + count;
        const PfPaletteEntry& e = gx_state.logical_palette.entries[i];
        if (!in_range) {
            FUZZ_CHECK(std::memcmp(&e, &palette.entries[i], sizeof e) == 0,
                       "palette entry outside the range");
            FUZZ_CHECK(std::memcmp(&gx_state.rgb_table[i], &quads[static_cast<size_t>(i)],
                                   sizeof(RgbQuad)) == 0,
                       "colour table entry outside the range");
            FUZZ_CHECK(gx_state.color_lookup[i] == lookup[static_cast<size_t>(i)],
                       "lookup entry outside the range");
            continue;
        }
        const uint8_t* t = rgb.data() + 3 * (i - first);
        FUZZ_CHECK(e.red == t[0] && e.green == t[1] && e.blue == t[2] && e.flags == 1,
                   "palette entry");
        const RgbQuad& q = gx_state.rgb_table[i];
        FUZZ_CHECK(q.red == t[0] && q.green == t[1] && q.blue == t[2] && q.reserved == 0,
                   "colour table entry");
        if (gx_state.active_depth == 16) {
            const uint32_t v = static_cast<uint32_t>((t[0] & 0xF8) << 8 | (t[1] >> 2) << 5 |
                                                     t[2] >> 3);
            FUZZ_CHECK(gx_state.color_lookup[i] == v, "16-bit lookup entry");
        }
    }
    FUZZ_CHECK(gx_state.logical_palette.version == 0x300 && gx_state.logical_palette.count == 256,
               "palette header overwritten");
}

void reduce_colors(fuzz::Input& in, Model& model) {
    const int32_t first = (in.u8() & 1) != 0 ? in.u8() : in.any_int();
    const int32_t count = (in.u8() & 1) != 0 ? in.u16() % 258 : in.any_int();
    if (model.reductions++ >= MAX_REDUCTIONS) return;
    std::array<uint8_t, 768> rgb;
    const uint8_t seed = in.u8();
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 53 + seed);
    const auto rgb_before = rgb;
    // The exact array the caller owns: 768 bytes on the heap.
    std::unique_ptr<uint8_t[]> palette(new uint8_t[768]);
    std::memcpy(palette.get(), rgb.data(), 768);
    const std::vector<uint8_t> pixels(gx_state.active_pixels,
                                      gx_state.active_pixels + fuzz::active_bytes());

    FUZZ_CHECK(gx_reduce_colors(first, count, palette.get()) == 0, "reduce result");
    const bool acts = gx_state.active_buffer >= 0 && gx_state.active_depth == 8 && count >= 1 &&
                      first >= 0 && int64_t{first} + count <= 256;
    const uint8_t* now = gx_state.active_pixels;
    if (!acts) {
        FUZZ_CHECK(std::memcmp(palette.get(), rgb_before.data(), 768) == 0,
                   "refused reduction changed the palette");
        FUZZ_CHECK(pixels.empty() || std::memcmp(now, pixels.data(), pixels.size()) == 0,
                   "refused reduction changed pixels");
        return;
    }
    for (size_t i = 0; i < pixels.size(); ++i) {
        FUZZ_CHECK(now[i] >= first && now[i] < first + count, "reduced pixel outside the slots");
    }
}

void texture_table(fuzz::Input& in) {
    const int32_t count = (in.u8() & 1) != 0 ? in.u8() % 8 : in.any_int();
    if (count > MAX_TABLE_SLOTS &&
        int64_t{count} * static_cast<int64_t>(sizeof(TextureSlot)) <= INT32_MAX)
        return;
    const int32_t result = gx_texture_table_alloc(count);
    FUZZ_CHECK(result == 0 || result == -1, "table result");
    FUZZ_CHECK(result == -1 || gx_state.texture_count == count, "table count");
    FUZZ_CHECK(count > 0 || result == -1, "table of no slots");
}

void texture_define(fuzz::Input& in) {
    int32_t width = size_value(in);
    int32_t height = size_value(in);
    // Positive sizes must describe memory the caller has.
    if (width >= 1 && height >= 1 && int64_t{width} * height > TEXTURE_SIDE * TEXTURE_SIDE) {
        width = std::min(width, TEXTURE_SIDE * TEXTURE_SIDE);
        height = TEXTURE_SIDE * TEXTURE_SIDE / width;
    }
    void* pixels = (in.u8() & 7) == 0 ? nullptr : texture_pool.data();
    const int32_t slot = gx_texture_define(pixels, width, height);
    FUZZ_CHECK(slot >= -1 && slot < std::max(gx_state.texture_count, 0), "define result");
}

void depth_alloc(fuzz::Input& in, Model& model) {
    const int32_t width = size_value(in);
    const int32_t height = size_value(in);
    if (width >= 0 && height >= 0) {
        // Words at most 2^62; refused by the platform above 2 GiB, allocated below.
        const int64_t words = (int64_t{width} + 3) / 4 * 4 * height;
        if (words > MAX_BUFFER_BYTES / 4 && words <= (INT32_MAX - 16) / 4) return;
    }
    if (static_cast<int>(model.depth_buffers.size()) >= MAX_DEPTH_BUFFERS) return;
    uint32_t* buffer = gx_depthbuf_alloc(width, height);
    FUZZ_CHECK(buffer == nullptr || (width >= 0 && height >= 0), "depth buffer of a negative size");
    if (buffer != nullptr) model.depth_buffers.push_back(buffer);
}

uint32_t* pick_depth_buffer(fuzz::Input& in, const Model& model) {
    const uint8_t pick = in.u8();
    if (model.depth_buffers.empty() || pick == 0xFF) return nullptr;
    return model.depth_buffers[pick % model.depth_buffers.size()];
}

void depth_free(fuzz::Input& in, Model& model) {
    uint32_t* buffer = pick_depth_buffer(in, model);
    FUZZ_CHECK(gx_depthbuf_free(buffer) == 0, "depth free result");
    if (buffer == nullptr) return;
    model.depth_buffers.erase(
        std::find(model.depth_buffers.begin(), model.depth_buffers.end(), buffer));
    FUZZ_CHECK(gx_state.depth_buffer != buffer, "freed depth buffer still open");
}

// One quad over the open buffer, through the pipeline with the state as the
// ops left it.
void draw_quad(fuzz::Input& in) {
    const double z = (in.u8() & 1) != 0 ? 64.0 : in.any_double(1.0);
    const double half = in.u8() + 1.0;
    const Vertex3 corners[4] = {
        {-half, half, z}, {half, half, z}, {half, -half, z}, {-half, -half, z}};
    const TexCoord tex[4] = {{0, 0}, {63, 0}, {63, 63}, {0, 63}};
    gx_3d_render_flags(in.u8());
    gx_3d_viewport(0, std::max(gx_state.active_width, 1) - 1, 0,
                   std::max(gx_state.active_height, 1) - 1, 0.5);
    FUZZ_CHECK(gx_3d_texture_polygon(corners, tex, 4) == 0, "polygon result");
}

void restart(Model& model) {
    gx_buffer_close();
    gx_buffer_free(-1);
    gx_shutdown();
    gx_initialize();
    std::fill(std::begin(model.used), std::end(model.used), false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const uint8_t setup = in.u8();
    fuzz::Session session((setup & 1) != 0 ? 8 : 32, in.u8() % 80, in.u8() % 60);
    fuzz::select_simd((setup >> 1) % 3);  // the fast paths' instruction-set level
    Model model;

    for (int op = 0; op < MAX_OPERATIONS && !in.empty(); ++op) {
        switch (in.u8() % 29) {
            case 0: {
                const uint8_t kind = in.u8();
                gx_set_buffer_depth((kind & 0x80) == 0 ? fuzz::depth_of(kind) : in.any_int());
                break;
            }
            case 1: buffer_alloc(in, model); break;
            case 2: buffer_open(in, model); break;
            case 3: gx_buffer_close(); break;
            case 4: buffer_free(in, model); break;
            case 5: gx_set_color(in.any_int()); break;
            case 6: fill_buffer(); break;
            case 7: {
                const int32_t x = in.any_int();
                gx_move_to(x, in.any_int());
                break;
            }
            case 8: {
                const int32_t dx = in.any_int();
                gx_move_by(dx, in.any_int());
                break;
            }
            case 9: get_block(in); break;
            case 10: invert_block(in); break;
            case 11: set_palette(in); break;
            case 12: FUZZ_CHECK(gx_buffer_colors() == 0, "colours result"); break;
            case 13: {
                int32_t v[8];
                for (int32_t& value : v)
                    value = (in.u8() & 1) != 0 ? static_cast<int8_t>(in.u8()) : in.any_int();
                FUZZ_CHECK(
                    gx_buffer_scale_blit(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]) == 0,
                    "blit result");
                break;
            }
            case 14: reduce_colors(in, model); break;
            case 15: texture_table(in); break;
            case 16: texture_define(in); break;
            case 17: gx_texture_select(slot_value(in)); break;
            case 18: gx_texture_undefine(slot_value(in)); break;
            case 19: depth_alloc(in, model); break;
            case 20: gx_depthbuf_open(pick_depth_buffer(in, model)); break;
            case 21: {
                const int frames = in.u8() + 1;
                for (int i = 0; i < frames; ++i) gx_depthbuf_clear();
                break;
            }
            case 22: depth_free(in, model); break;
            case 23: draw_quad(in); break;
            case 24: {
                const int32_t code = in.any_int();
                const int32_t result = gx_key_test(code);
                FUZZ_CHECK(result == 0 || result == 1, "key test result");
                break;
            }
            case 25: {
                const int32_t skip = in.u8() % 4;
                headless_fail_allocations(skip, in.u8() % 4);
                break;
            }
            case 26: {
                static constexpr int32_t SCREENS[] = {1, 4, 8, 15, 16, 24, 32, 0};
                headless_set_screen(SCREENS[in.u8() % 8], 1);
                break;
            }
            case 27: restart(model); break;
            case 28: {
                // Stock object numbers: fonts, and the palette and bitmap that are not fonts.
                const uint8_t kind = in.u8();
                FUZZ_CHECK(
                    gx_select_stock_font((kind & 1) != 0 ? (kind >> 1) % 24 : in.any_int()) == 0,
                    "stock font result");
                FUZZ_CHECK(gx_state.line_height >= 0, "line height");
                break;
            }
            default: break;
        }
        check_slots(model);
    }

    headless_fail_allocations(0, 0);
    gx_depthbuf_open(nullptr);
    for (uint32_t* buffer : model.depth_buffers) gx_depthbuf_free(buffer);
    return 0;
}
