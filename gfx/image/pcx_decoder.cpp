#include "gfx/image/pcx_decoder.h"

#include "gfx/gfx.h"
#include "gfx/image/pcx_format.h"

namespace pcx {
namespace {

// One read of a chunk in file mode; memory mode has nothing more to give.
bool refill(Input& input) {
    uint32_t got = 0;
    if (input.file != nullptr && input.chunk != nullptr && input.chunk_size != 0) {
        pf_file_read(input.file, input.chunk, input.chunk_size, &gx_state.pcx_transferred);
        got = gx_state.pcx_transferred;
        if (got > input.chunk_size) {
            got = input.chunk_size;  // never trust a count beyond what was asked
        }
    }
    if (got == 0) {
        input.ended = true;
        return false;
    }
    input.next = input.chunk;
    input.unread = got;
    return true;
}

inline uint8_t* store_run(uint8_t* out, uint8_t value, uint32_t count) {
    for (uint32_t k = 0; k < count; ++k) {
        out[k] = value;
    }
    return out + count;
}

}  // namespace

bool take(Input& input, uint8_t& byte) {
    if (input.unread == 0 && !refill(input)) {
        return false;
    }
    byte = *input.next++;
    --input.unread;
    return true;
}

uint8_t* take_token(Input& input, uint8_t* out) {
    uint8_t code = 0;
    if (!take(input, code)) {
        return out;
    }
    if (code < RUN_FLAG) {
        *out = code;
        return out + 1;
    }
    uint8_t value = 0;
    if (!take(input, value)) {
        return out;
    }
    return store_run(out, value, code & RUN_COUNT_MASK);
}

void decode_scan_line(Input& input, uint8_t* line, uint32_t line_bytes, uint32_t& carried) {
    if (!line_needs_decoding(input, line_bytes, carried)) {
        return;
    }
    uint8_t* out = line + carried;
    uint8_t* const end = line + line_bytes;
    while (out < end) {
        // While two bytes are at hand a run code and its value can be taken
        // without looking for the end of the chunk.
        const uint8_t* next = input.next;
        uint32_t unread = input.unread;
        while (out < end && unread >= 2) {
            const uint8_t code = *next++;
            if (code < RUN_FLAG) {
                *out++ = code;
                --unread;
            } else {
                out = store_run(out, *next++, code & RUN_COUNT_MASK);
                unread -= 2;
            }
        }
        input.next = next;
        input.unread = unread;
        if (out >= end) {
            break;
        }
        out = take_token(input, out);  // at the end of a chunk, refilling
        if (input.ended) {
            break;
        }
    }
    line_done(input, out, end, carried);
}

}  // namespace pcx
