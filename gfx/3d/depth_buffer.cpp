// Depth buffers and the frame stamp.
//
// Each depth buffer is one fixed, zero-filled platform block: a small header
// recording the buffer's capacity in words, then the words themselves. The
// address handed out is that of the first word, so callers and rasterizers
// never see the header; opening a buffer copies its capacity into
// gx_state.depth_buffer_words, which the rasterizers compare with the open
// buffer's size before they touch a word. Only addresses returned by
// gx_depthbuf_alloc may be opened or freed.
#include <cstdint>
#include <cstring>
#include <limits>

#include "gfx/gfx.h"

namespace {

struct DepthHeader {
    uint64_t words;
    uint64_t reserved;  // keeps the words 16-byte aligned
};
static_assert(sizeof(DepthHeader) == 16);

constexpr uint32_t STAMP_STEP = 0x01000000;

DepthHeader* header_of(uint32_t* words) {
    return reinterpret_cast<DepthHeader*>(reinterpret_cast<uint8_t*>(words) - sizeof(DepthHeader));
}

// The words that a reset of the open depth buffer zeroes: those the open
// virtual buffer uses, as far as the depth buffer holds them. With no
// virtual buffer open the geometry is unknown, so the whole depth buffer is
// zeroed: after the stamp goes back to 0 no older word may outrank it.
uint64_t words_to_reset() {
    const uint64_t capacity = gx_state.depth_buffer_words;
    if (gx_state.active_buffer == -1 || gx_state.active_width < 0 || gx_state.active_height < 0) {
        return capacity;
    }
    const uint64_t used = static_cast<uint64_t>(gx_state.active_width) *
                          static_cast<uint64_t>(gx_state.active_height);
    return used < capacity ? used : capacity;
}

void reset_depth_words() {
    if (gx_state.depth_buffer == nullptr) return;
    std::memset(gx_state.depth_buffer, 0, static_cast<size_t>(words_to_reset()) * sizeof(uint32_t));
}

}  // namespace

uint32_t* gx_depthbuf_alloc(int32_t width, int32_t height) {
    if (width < 0 || height < 0) return nullptr;
    // Rows are padded to a multiple of 4 words, as buffer rows are.
    const uint64_t padded = (static_cast<uint64_t>(width) + 3) & ~uint64_t{3};
    const uint64_t words = padded * static_cast<uint64_t>(height);  // < 2^63
    // The capacity must fit gx_state.depth_buffer_words, and the byte count
    // size_t on every target.
    if (words > std::numeric_limits<uint32_t>::max() ||
        words > (std::numeric_limits<size_t>::max() - sizeof(DepthHeader)) / sizeof(uint32_t)) {
        return nullptr;
    }
    PfMem block = pf_mem_alloc(PF_MEM_FIXED | PF_MEM_ZEROINIT,
                               sizeof(DepthHeader) + static_cast<size_t>(words) * sizeof(uint32_t));
    if (block == nullptr) return nullptr;
    // A fixed block's handle is its address.
    auto* header = reinterpret_cast<DepthHeader*>(block);
    header->words = words;
    return reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(block) + sizeof(DepthHeader));
}

int32_t gx_depthbuf_open(uint32_t* depth_buffer) {
    gx_state.depth_buffer = depth_buffer;
    gx_state.depth_buffer_words = depth_buffer != nullptr
                                      ? static_cast<uint32_t>(header_of(depth_buffer)->words)
                                      : 0;
    reset_depth_words();
    gx_state.depth_stamp = 0;
    return 0;
}

int32_t gx_depthbuf_clear() {
    gx_state.depth_stamp += STAMP_STEP;  // unsigned: wraps to 0 after 255 frames
    if (gx_state.depth_stamp == 0) reset_depth_words();
    return 0;
}

int32_t gx_depthbuf_free(uint32_t* depth_buffer) {
    if (depth_buffer == nullptr) return 0;
    // A freed buffer must not stay in use.
    if (depth_buffer == gx_state.depth_buffer) {
        gx_state.depth_buffer = nullptr;
        gx_state.depth_buffer_words = 0;
    }
    if (PfMem block = pf_mem_handle(header_of(depth_buffer))) pf_mem_free(block);
    return 0;
}
