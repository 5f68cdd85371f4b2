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

void decode_scan_line(Input& input, uint8_t* line, uint32_t line_bytes, uint32_t& carried) {
    if (carried >= line_bytes) {
        carried -= line_bytes;  // the previous run already covers this line
        return;
    }
    if (input.ended) {
        carried = 0;
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
        // At the end of a chunk: byte by byte, refilling.
        uint8_t code = 0;
        if (!take(input, code)) {
            break;
        }
        if (code < RUN_FLAG) {
            *out++ = code;
            continue;
        }
        uint8_t value = 0;
        if (!take(input, value)) {
            break;
        }
        out = store_run(out, value, code & RUN_COUNT_MASK);
    }
    if (input.ended) {
        carried = 0;  // the line stops where the input did
        return;
    }
    carried = out > end ? static_cast<uint32_t>(out - end) : 0;
}

}  // namespace pcx
