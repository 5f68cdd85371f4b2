// DIB sections: plain zero-filled pixel memory with the geometry of a header.
#include <cstdlib>
#include <cstring>

#include "platform/portable/objects.h"
#include "platform/portable/portable.h"

PfObject_* pf_portable_stock_bitmap() {
    // The 1 x 1 bitmap every fresh memory DC holds.
    static PfBitmap_ bitmap{{PfKind::bitmap, true, 0}, nullptr, 0, 1, 1, 1};
    return &bitmap.object;
}

// Accepts bottom-up (positive height) bitmaps of 8, 16, 24 or 32 bits per
// pixel; rows are padded to 4 bytes. The DC and the colour usage do not
// matter here: colours are looked up when the bitmap is presented.
PfBitmap pf_create_dib_section(PfDC, const void* header, uint32_t, void** pixels) {
    if (pixels != nullptr) *pixels = nullptr;
    if (header == nullptr || pixels == nullptr) return nullptr;
    PfBitmapInfoHeader info;
    std::memcpy(&info, header, sizeof info);
    const int32_t bits = info.bit_count;
    if (info.width < 1 || info.height < 1 || (bits != 8 && bits != 16 && bits != 24 && bits != 32))
        return nullptr;
    const uint64_t pitch = (static_cast<uint64_t>(info.width) * static_cast<uint64_t>(bits) + 31) /
                           32 * 4;
    const uint64_t bytes = pitch * static_cast<uint64_t>(info.height);
    if (bytes > 0x7FFFFFFF || !pf_portable_allocation_allowed()) return nullptr;
    auto* memory = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(bytes), 1));
    if (memory == nullptr) return nullptr;
    auto* bitmap = new PfBitmap_{{PfKind::bitmap, false, 0},
                                 memory,
                                 static_cast<size_t>(bytes),
                                 info.width,
                                 info.height,
                                 bits};
    pf_portable_count_object(1);
    *pixels = memory;
    return bitmap;
}
