// The PCX reader, from a file and from memory, into buffers of every depth,
// size and placement, with every flag combination.
//
// Input layout (16 bytes of parameters, then the image file itself):
//   0      bits 0-1 buffer depth (8, 16, 24, 32); bit 2 file mode reads
//          through a small caller chunk; bit 3 a palette (8-bit) screen;
//          bit 4 positions as full 32-bit values; bit 5 the file does not
//          exist; bit 6 the line buffer allocation fails; bit 7 the
//          descriptor points into the library's own input area, at the
//          chunk-size offset, with a size of 0xFFFFFFFF (memory mode: the
//          file is copied there, as much as fits)
//   1      flags (sign-extended, so the unused high bits get set too);
//          bit 2 (GX_PCX_FROM_MEMORY) chooses memory mode
//   2-3    buffer width - 1 (mod 320)      4-5  buffer height - 1 (mod 240)
//   6-9    current x                       10-13 current y
//          (16-bit signed unless bit 4 of byte 0)
//   14-15  chunk size - 1 (mod 4096) for the caller chunk, or the offset
//          into the input area; the top 4 bits choose the instruction-set
//          level of the fast paths (mod 3: plain, SSE2, AVX2), and a read at
//          a fast level is repeated with the plain code and must match it
//   16-    the file
//
// Besides the sanitizers it checks what the reader promises: a documented
// result; the input descriptor put back; no memory block kept; no pixel
// written outside the image's place in the buffer; nothing written at all,
// palette included, when the call fails or the image lies wholly outside;
// slots 0-9 and 246-255 untouched at 8 bits; and after a colour reduction
// every pixel within slots 10-245.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"

namespace {

constexpr size_t PARAMETER_BYTES = 16;
constexpr size_t HEADER_BYTES = 128;
constexpr size_t TRAILING_BYTES = 769;

// One in-memory file for the whole run, rewritten for every input, and
// opened by the reader through its /proc path like any other file.
struct ImageFile {
    int fd = -1;
    std::string path;
    ImageFile() {
        fd = memfd_create("pcx_fuzzer", 0);
        FUZZ_CHECK(fd >= 0, "memfd_create");
        path = "/proc/self/fd/" + std::to_string(fd);
    }
    void write(const uint8_t* data, size_t size) {
        FUZZ_CHECK(ftruncate(fd, 0) == 0, "ftruncate");
        size_t done = 0;
        while (done < size) {
            const ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
            FUZZ_CHECK(n > 0, "pwrite");
            done += static_cast<size_t>(n);
        }
    }
};

uint32_t read16(const uint8_t* p) { return static_cast<uint32_t>(p[0] | p[1] << 8); }

// Where the image lands in the buffer, worked out from the header alone:
// [x_begin, x_end) x [y_begin, y_end), empty when nothing of it is inside.
struct Rect {
    int64_t x_begin = 0, x_end = 0, y_begin = 0, y_end = 0;
    bool empty() const { return x_begin >= x_end || y_begin >= y_end; }
};

Rect placement(const uint8_t* header, bool at_position, int32_t pos_x, int32_t pos_y, int32_t width,
               int32_t height) {
    const int64_t xmin = read16(header + 4), ymin = read16(header + 6);
    const int64_t w = static_cast<int64_t>(read16(header + 8)) - xmin + 1;
    const int64_t h = static_cast<int64_t>(read16(header + 10)) - ymin + 1;
    const int64_t x0 = at_position ? pos_x : xmin;
    const int64_t y0 = at_position ? pos_y : ymin;
    Rect r;
    if (w <= 0 || h <= 0) return r;
    r.x_begin = std::max<int64_t>(x0, 0);
    r.x_end = std::min<int64_t>(x0 + w, width);
    r.y_begin = std::max<int64_t>(y0, 0);
    r.y_end = std::min<int64_t>(y0 + h, height);
    return r;
}

void fill_pattern(uint8_t* pixels, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i) pixels[i] = static_cast<uint8_t>(i * 131 + 17);
}

// What one read left behind, for comparing instruction-set levels.
struct Outcome {
    int32_t result = -1;
    std::vector<uint8_t> pixels;
    std::vector<uint8_t> palette;
};

Outcome read_once(const uint8_t* data, size_t size, int32_t simd_level) {
    static ImageFile file;
    Outcome outcome;
    fuzz::Input in(data, size);
    const uint8_t mode = in.u8();
    const int32_t flags = static_cast<int8_t>(in.u8());
    const int32_t depth = fuzz::depth_of(mode);
    const int32_t width = in.u16() % 320 + 1;
    const int32_t height = in.u16() % 240 + 1;
    const bool wide_positions = (mode & 0x10) != 0;
    int32_t pos_x = in.i32();
    int32_t pos_y = in.i32();
    if (!wide_positions) {
        pos_x = static_cast<int16_t>(pos_x);
        pos_y = static_cast<int16_t>(pos_y);
    }
    const uint16_t chunk_field = in.u16();
    const uint32_t chunk_size = chunk_field % 4096u + 1u;
    const uint8_t* image = in.rest();
    const size_t image_size = in.remaining();
    const bool from_memory = (flags & GX_PCX_FROM_MEMORY) != 0;
    const bool small_chunk = (mode & 0x04) != 0;
    const bool missing_file = (mode & 0x20) != 0;
    const bool fail_line_buffer = (mode & 0x40) != 0;
    const bool into_input_area = (mode & 0x80) != 0;

    fuzz::Session session((mode & 0x08) != 0 ? 8 : 32);
    fuzz::select_simd(simd_level);
    if (fuzz::open_buffer(depth, width, height) < 0) return outcome;
    gx_move_to(pos_x, pos_y);
    fill_pattern(gx_state.active_pixels, fuzz::active_bytes());
    const std::vector<uint8_t> pixels_before(gx_state.active_pixels,
                                             gx_state.active_pixels + fuzz::active_bytes());
    LogicalPalette palette_before = gx_state.logical_palette;

    // The memory block is a copy of exactly the file's size, so reading one
    // byte past it is caught. The caller chunk is likewise exact.
    std::unique_ptr<uint8_t[]> block;
    std::unique_ptr<uint8_t[]> chunk;
    if (into_input_area) {
        // Whatever the size says, the area's end bounds the reads.
        const uint32_t offset = chunk_size - 1;
        uint8_t* area = gx_state.input_buffer + offset;
        if (from_memory) {
            std::memcpy(area, image, std::min<size_t>(image_size, GX_INPUT_BUFFER_SIZE - offset));
        } else {
            file.write(image, image_size);
        }
        gx_set_input(area, 0xFFFFFFFFu);
    } else if (from_memory) {
        block.reset(new uint8_t[image_size == 0 ? 1 : image_size]);
        if (image_size != 0) std::memcpy(block.get(), image, image_size);
        gx_set_input(block.get(), static_cast<uint32_t>(image_size));
    } else {
        file.write(image, image_size);
        if (small_chunk) {
            chunk.reset(new uint8_t[chunk_size]);
            gx_set_input(chunk.get(), chunk_size);
        }
    }
    // The bytes the reader sees as the file: from the input area in memory
    // mode, the whole rest of the area (the file, then zeros).
    std::vector<uint8_t> seen(image, image + image_size);
    if (into_input_area && from_memory) {
        seen.assign(gx_state.input_ptr, gx_state.input_buffer + GX_INPUT_BUFFER_SIZE);
    }
    uint8_t* const descriptor = gx_state.input_ptr;
    const uint32_t descriptor_size = gx_state.input_size;
    const int32_t blocks_before = headless_live_blocks();

    // Every allocation the reader makes is its line buffer.
    if (fail_line_buffer) headless_fail_allocations(0, 1);
    const char* name = missing_file ? "/nonexistent/pcx_fuzzer.pcx" : file.path.c_str();
    const int32_t result = gx_load_pcx(name, flags);
    headless_fail_allocations(0, 0);

    FUZZ_CHECK(result >= GX_PCX_OK && result <= GX_PCX_TRUNCATED, "undocumented result");
    FUZZ_CHECK(result != GX_PCX_CANNOT_OPEN || (missing_file && !from_memory),
               "cannot-open for a file that exists");
    FUZZ_CHECK(result != GX_PCX_NO_MEMORY || fail_line_buffer, "no-memory without a failure");
    FUZZ_CHECK(gx_state.input_ptr == descriptor && gx_state.input_size == descriptor_size,
               "input descriptor not put back");
    FUZZ_CHECK(headless_live_blocks() == blocks_before, "line buffer kept");
    FUZZ_CHECK(gx_state.pcx_file == nullptr, "file left open");

    const bool has_header = seen.size() >= HEADER_BYTES && seen[0] == 10;
    Rect rect;
    if (has_header) {
        rect = placement(seen.data(), (flags & GX_PCX_AT_POSITION) != 0, pos_x, pos_y,
                         gx_state.active_width, gx_state.active_height);
    }
    const uint8_t* pixels = gx_state.active_pixels;
    const bool drawn = result == GX_PCX_OK || result == GX_PCX_TRUNCATED;
    const bool nothing_drawn = !drawn || !has_header || rect.empty();
    if (nothing_drawn) {
        FUZZ_CHECK(std::memcmp(pixels, pixels_before.data(), pixels_before.size()) == 0,
                   "pixels written by a call that draws nothing");
        FUZZ_CHECK(
            std::memcmp(&palette_before, &gx_state.logical_palette, sizeof palette_before) == 0,
            "palette changed by a call that draws nothing");
    }
    if (depth == 8) {
        for (int i = 0; i < 256; ++i) {
            if (i >= 10 && i <= 245) continue;
            FUZZ_CHECK(std::memcmp(&palette_before.entries[i], &gx_state.logical_palette.entries[i],
                                   sizeof(PfPaletteEntry)) == 0,
                       "palette slot outside 10-245 written at 8 bits");
        }
    }

    // The reduction may rewrite every pixel of an 8-bit buffer; otherwise
    // only the image's own place may change.
    const bool may_reduce = depth == 8 && (flags & GX_PCX_NO_REDUCE) == 0 &&
                            (flags & GX_PCX_KEEP_PALETTE) == 0;
    const int32_t bytes_per_pixel = depth / 8;
    const int32_t pitch = gx_state.active_pitch;
    if (!may_reduce && !nothing_drawn) {
        const size_t row_bytes = static_cast<size_t>(gx_state.active_width) *
                                 static_cast<size_t>(bytes_per_pixel);
        const size_t left = static_cast<size_t>(rect.x_begin) *
                            static_cast<size_t>(bytes_per_pixel);
        const size_t right = static_cast<size_t>(rect.x_end) * static_cast<size_t>(bytes_per_pixel);
        for (int32_t y = 0; y < gx_state.active_height; ++y) {
            const size_t row = static_cast<size_t>(gx_state.active_height - 1 - y) *
                               static_cast<size_t>(pitch);
            const uint8_t* now = pixels + row;
            const uint8_t* was = pixels_before.data() + row;
            if (y < rect.y_begin || y >= rect.y_end) {
                FUZZ_CHECK(std::memcmp(now, was, row_bytes) == 0,
                           "pixel written outside the image's rows");
                continue;
            }
            FUZZ_CHECK(std::memcmp(now, was, left) == 0 &&
                           std::memcmp(now + right, was + right, row_bytes - right) == 0,
                       "pixel written outside the image's columns");
        }
    }

    // A reduction happened when the palette stage found a trailing palette.
    const size_t shortest = from_memory ? HEADER_BYTES + TRAILING_BYTES : TRAILING_BYTES;
    const bool reduced = may_reduce && !nothing_drawn && seen[1] == 5 &&
                         !(seen[3] == 8 && (seen[65] == 3 || seen[65] == 4)) &&
                         seen.size() >= shortest && seen[seen.size() - TRAILING_BYTES] == 12;
    if (reduced) {
        for (size_t i = 0; i < pixels_before.size(); ++i) {
            FUZZ_CHECK(pixels[i] >= 10 && pixels[i] <= 245, "reduced pixel outside slots 10-245");
        }
    }

    gx_reset_input();
    outcome.result = result;
    outcome.pixels.assign(pixels, pixels + pixels_before.size());
    const auto* entries = reinterpret_cast<const uint8_t*>(&gx_state.logical_palette);
    outcome.palette.assign(entries, entries + sizeof gx_state.logical_palette);
    const auto* lookup = reinterpret_cast<const uint8_t*>(gx_state.color_lookup);
    outcome.palette.insert(outcome.palette.end(), lookup, lookup + sizeof gx_state.color_lookup);
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < PARAMETER_BYTES) return 0;
    // The top bits of the chunk field choose the instruction-set level; a
    // fast path must give exactly the bytes of the plain code.
    const int32_t level = (data[15] >> 4) % 3;
    const Outcome fast = read_once(data, size, level);
    if (fuzz::has_simd_levels() && level != 0) {
        const Outcome plain = read_once(data, size, 0);
        FUZZ_CHECK(fast.result == plain.result, "result differs from the plain code's");
        FUZZ_CHECK(fast.pixels == plain.pixels, "pixels differ from the plain code's");
        FUZZ_CHECK(fast.palette == plain.palette, "palette differs from the plain code's");
    }
    return 0;
}
