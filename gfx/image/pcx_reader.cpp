// gx_load_pcx: reads a PCX image from a file or a memory block into the open
// buffer, converting rows to the buffer's depth while decoding, and loads the
// image's colours into the palette.
#include <cstdint>
#include <cstring>

#include "gfx/gfx.h"
#include "gfx/image/pcx_decoder.h"
#include "gfx/image/pcx_fast.h"
#include "gfx/image/pcx_format.h"
#include "gfx/image/pcx_rows.h"
#include "gfx/row_rule.h"
#include "gfx/simd.h"

namespace {

using namespace pcx;

// Longest scan line (bytes) read with the fast decoder, which needs as much
// again for its copy; longer ones are decoded plainly.
constexpr uint32_t FAST_LINE_LIMIT = 1u << 20;

// The visible part of the image in the buffer and where it comes from in
// the image. Columns and rows left of or above the buffer are skipped.
struct Placement {
    int32_t x0 = 0;             // first buffer column written
    int32_t y0 = 0;             // first buffer row written
    uint32_t first_column = 0;  // source column stored at x0
    uint32_t skipped_rows = 0;  // scan lines decoded but not stored
    uint32_t width = 0;         // columns stored per row
    uint32_t height = 0;        // rows stored
};

// Clips the span [start, start + length) to [0, limit). False when nothing
// of it is left. 64-bit so that any position and header size is safe.
bool clip_span(int64_t start, int64_t length, int64_t limit, int32_t& first, uint32_t& skipped,
               uint32_t& kept) {
    const int64_t from = start < 0 ? 0 : start;
    const int64_t to = start + length > limit ? limit : start + length;
    if (to <= from) {
        return false;
    }
    first = static_cast<int32_t>(from);
    skipped = static_cast<uint32_t>(from - start);
    kept = static_cast<uint32_t>(to - from);
    return true;
}

bool place(const uint8_t* header, int32_t flags, Placement& placement) {
    const GraphicsState& s = gx_state;
    const bool at_position = (flags & GX_PCX_AT_POSITION) != 0;
    const int64_t xmin = read16(header, AT_XMIN);
    const int64_t ymin = read16(header, AT_YMIN);
    const int64_t width = static_cast<int64_t>(read16(header, AT_XMAX)) - xmin + 1;
    const int64_t height = static_cast<int64_t>(read16(header, AT_YMAX)) - ymin + 1;
    const int64_t x0 = at_position ? s.pos_x : xmin;
    const int64_t y0 = at_position ? s.pos_y : ymin;
    return clip_span(y0, height, s.active_height, placement.y0, placement.skipped_rows,
                     placement.height) &&
           clip_span(x0, width, s.active_width, placement.x0, placement.first_column,
                     placement.width);
}

// A descriptor may name any size; when it points into the library's own
// input area, that area's end still bounds what is read or written there.
uint32_t bounded_by_input_buffer(const uint8_t* at, uint32_t size) {
    const auto begin = reinterpret_cast<uintptr_t>(gx_state.input_buffer);
    const uintptr_t end = begin + sizeof gx_state.input_buffer;
    const auto where = reinterpret_cast<uintptr_t>(at);
    if (where >= begin && where < end && size > end - where) {
        return static_cast<uint32_t>(end - where);
    }
    return size;
}

// Everything one call works with besides the header.
struct Call {
    int32_t flags = 0;
    bool from_memory = false;
    const uint8_t* block = nullptr;  // memory mode: the whole block, header included
    uint32_t block_size = 0;
    Input input;
};

// Fetches the trailing palette into the scratch area. True when the marker
// was found there.
bool fetch_trailing_palette(Call& call, uint8_t* trailing) {
    GraphicsState& s = gx_state;
    if (call.from_memory) {
        if (call.block_size < HEADER_SIZE + TRAILING_SIZE) {
            return false;  // the block is too short to hold one: read nothing
        }
        std::memmove(trailing, call.block + (call.block_size - TRAILING_SIZE), TRAILING_SIZE);
        return trailing[0] == TRAILING_MARKER;
    }
    s.pcx_transferred = 0;
    pf_file_seek(call.input.file, -static_cast<int32_t>(TRAILING_SIZE), PF_SEEK_END);
    pf_file_read(call.input.file, trailing, TRAILING_SIZE, &s.pcx_transferred);
    pf_file_seek(call.input.file, static_cast<int32_t>(HEADER_SIZE), PF_SEEK_BEGIN);
    return s.pcx_transferred >= TRAILING_SIZE && trailing[0] == TRAILING_MARKER;
}

// Loads the image's colours: the trailing palette of a version-5 image when
// it is there, the header's 16 colours otherwise. True-colour images have
// none.
void palette_stage(Call& call, Layout layout) {
    GraphicsState& s = gx_state;
    const uint8_t* header = s.pcx_header;
    if ((call.flags & GX_PCX_KEEP_PALETTE) != 0 || layout == Layout::true_color) {
        return;
    }
    const bool deep = s.active_depth != 8;
    uint8_t* trailing = s.scratch_area;
    const bool from_trailing = header[AT_VERSION] == VERSION_WITH_PALETTE &&
                               fetch_trailing_palette(call, trailing);
    uint8_t header_colors[3 * HEADER_COLORS];
    std::memcpy(header_colors, header + AT_PALETTE, sizeof header_colors);
    uint8_t* colors = from_trailing ? trailing + 1 : header_colors;

    // Two-colour files are often written without colours: both entries the
    // pixels would show are one colour (black, mostly). Such a file is black
    // and white, not a blank rectangle.
    if (layout == Layout::two_color) {
        uint8_t* zero = colors + 3 * (from_trailing && !deep ? FIRST_SLOT : 0);
        if (std::memcmp(zero, zero + 3, 3) == 0) {
            std::memset(zero, 0, 3);
            std::memset(zero + 3, 0xFF, 3);
        }
    }

    if (from_trailing) {
        if ((call.flags & GX_PCX_NO_REDUCE) == 0) {
            gx_reduce_colors(FIRST_SLOT, SLOT_COUNT, colors);
        }
        if (deep) {
            gx_set_palette(0, 256, colors);
        } else {
            gx_set_palette(FIRST_SLOT, SLOT_COUNT, colors + 3 * FIRST_SLOT);
        }
        return;
    }
    gx_set_palette(deep ? 0 : FIRST_SLOT, HEADER_COLORS, colors);
}

// The line buffer: zero-filled global memory, released when the call ends.
class LineBuffer {
public:
    explicit LineBuffer(size_t bytes)
        : block_(pf_mem_alloc(PF_MEM_FIXED | PF_MEM_ZEROINIT, bytes)) {}
    ~LineBuffer() {
        if (block_ != nullptr) {
            // A fixed block's handle is its address; release it the way
            // fixed blocks are released, from the address.
            const PfMem handle = pf_mem_handle(bytes());
            if (handle != nullptr) {
                pf_mem_free(handle);
            }
        }
    }
    LineBuffer(const LineBuffer&) = delete;
    LineBuffer& operator=(const LineBuffer&) = delete;
    uint8_t* bytes() const { return reinterpret_cast<uint8_t*>(block_); }

private:
    PfMem block_;
};

// Everything gx_load_pcx does between remembering the input descriptor and
// closing the file (reading and checking the header, placing the image,
// the palette, decoding and converting the lines); the caller closes the
// file and restores the input descriptor whatever this returns.
int32_t load(const char* name, Call& call) {
    GraphicsState& s = gx_state;
    uint8_t* header = s.pcx_header;

    if (call.from_memory) {
        call.block = s.input_ptr;
        call.block_size = bounded_by_input_buffer(s.input_ptr, s.input_size);
        if (call.block == nullptr || call.block_size < HEADER_SIZE) {
            return GX_PCX_NOT_PCX;
        }
        std::memmove(header, call.block, HEADER_SIZE);
        s.input_ptr += HEADER_SIZE;
        call.input.next = s.input_ptr;
        call.input.unread = call.block_size - HEADER_SIZE;
    } else {
        if (name == nullptr) {
            return GX_PCX_CANNOT_OPEN;
        }
        s.pcx_file = pf_file_open_read(name);
        if (s.pcx_file == nullptr) {
            return GX_PCX_CANNOT_OPEN;
        }
        s.pcx_transferred = 0;
        pf_file_read(s.pcx_file, header, HEADER_SIZE, &s.pcx_transferred);
        if (s.pcx_transferred < HEADER_SIZE) {
            return GX_PCX_NOT_PCX;
        }
        call.input.file = s.pcx_file;
        call.input.chunk = s.input_ptr;
        call.input.chunk_size = bounded_by_input_buffer(s.input_ptr, s.input_size);
    }
    if (header[AT_MANUFACTURER] != MANUFACTURER) {
        return GX_PCX_NOT_PCX;
    }

    // A window with its far edge before its near one describes no image.
    if (read16(header, AT_XMAX) < read16(header, AT_XMIN) ||
        read16(header, AT_YMAX) < read16(header, AT_YMIN)) {
        return GX_PCX_NO_CONVERTER;
    }

    Placement placement;
    if (!place(header, call.flags, placement)) {
        return GX_PCX_OK;  // nothing of the image lies in the buffer
    }

    const uint32_t planes = header[AT_PLANES];
    const uint32_t plane_bytes = read16(header, AT_PLANE_BYTES);
    const uint32_t image_width = read16(header, AT_XMAX) - read16(header, AT_XMIN) + 1;
    const Layout layout = layout_of(planes, header[AT_BITS]);
    const RowConverter convert = row_converter(layout, s.active_depth);
    // A plane line too short for the image would make the converter read
    // past the decoded line: such an image has no converter either.
    if (convert == nullptr || !planes_hold_width(layout, plane_bytes, image_width)) {
        return GX_PCX_NO_CONVERTER;
    }

    const uint32_t line_bytes = planes * plane_bytes;  // at most 255 * 65535
    // The fast decoder keeps a copy of each line's previous contents behind
    // the line buffer's spare bytes, in the same allocation.
    gx_simd_level();  // picks the fast paths on first use
    const FastLineDecoder fast_decode = line_bytes <= FAST_LINE_LIMIT ? active_fast_paths.decode
                                                                      : nullptr;
    const size_t shadow_bytes = fast_decode != nullptr ? line_bytes : 0;
    LineBuffer line_buffer(static_cast<size_t>(line_bytes) + LINE_SPARE + shadow_bytes);
    uint8_t* line = line_buffer.bytes();
    if (line == nullptr) {
        return GX_PCX_NO_MEMORY;
    }

    RowContext context;
    context.plane_bytes = plane_bytes;
    const bool deep = s.active_depth != 8;
    if (deep) {
        palette_stage(call, layout);  // the converters read color_lookup
        prepare_pixels(context, s.active_depth);
    }

    const int32_t pixel_bytes = gx_bytes_per_pixel(s.active_depth);
    uint32_t carried = 0;
    const uint32_t scan_lines = placement.skipped_rows + placement.height;
    uint8_t* const shadow = line + line_bytes + LINE_SPARE;
    for (uint32_t row = 0; row < scan_lines; ++row) {
        if (fast_decode != nullptr) {
            fast_decode(call.input, line, line_bytes, carried, shadow);
        } else {
            decode_scan_line(call.input, line, line_bytes, carried);
        }
        if (row >= placement.skipped_rows) {
            const int32_t y = placement.y0 + static_cast<int32_t>(row - placement.skipped_rows);
            convert(context, line, placement.first_column, placement.width,
                    gx_pixel_address(placement.x0, y, pixel_bytes));
        }
        if (carried != 0) {
            std::memmove(line, line + line_bytes, carried);
        }
    }

    if (!deep) {
        palette_stage(call, layout);  // the colour reduction works on the stored pixels
    }
    return call.input.ended ? GX_PCX_TRUNCATED : GX_PCX_OK;
}

}  // namespace

int32_t gx_load_pcx(const char* name, int32_t flags) {
    GraphicsState& s = gx_state;
    uint8_t* const remembered_input = s.input_ptr;
    if (s.active_buffer < 0) {
        return GX_PCX_OK;
    }
    Call call;
    call.flags = flags;
    call.from_memory = (flags & GX_PCX_FROM_MEMORY) != 0;
    const int32_t result = load(name, call);
    if (s.pcx_file != nullptr) {
        pf_file_close(s.pcx_file);
        s.pcx_file = nullptr;
    }
    s.input_ptr = remembered_input;
    return result;
}
