// Device contexts: memory DCs and window DCs, object selection and deletion.
#include <algorithm>
#include <cstdlib>
#include <new>

#include "platform/portable/objects.h"
#include "platform/portable/portable.h"

namespace {

PfDC new_dc(PfDcKind kind) {
    auto* dc = new PfDC_{};
    dc->kind = kind;
    dc->bitmap = pf_portable_stock_bitmap();
    dc->font = pf_portable_system_font();
    dc->palette = pf_portable_default_palette();
    dc->bitmap->selections += 1;
    dc->font->selections += 1;
    dc->palette->object.selections += 1;
    pf_portable_count_object(1);
    return dc;
}

void release_object(PfObject_* object) {
    switch (object->kind) {
        case PfKind::bitmap: {
            auto* bitmap = reinterpret_cast<PfBitmap_*>(object);
            std::free(bitmap->pixels);
            delete bitmap;
            break;
        }
        case PfKind::palette: delete reinterpret_cast<PfPalette_*>(object); break;
        case PfKind::font: delete reinterpret_cast<PfFont*>(object); break;
    }
    pf_portable_count_object(-1);
}

}  // namespace

PfDC pf_create_memory_dc() { return new_dc(PfDcKind::memory); }

PfDC pf_portable_create_window_dc(int32_t width, int32_t height) {
    PfDC dc = new_dc(PfDcKind::window);
    pf_portable_resize_window_dc(dc, width, height);
    return dc;
}

void pf_portable_resize_window_dc(PfDC dc, int32_t width, int32_t height) {
    if (dc == nullptr || dc->kind != PfDcKind::window) return;
    dc->width = std::max(width, 0);
    dc->height = std::max(height, 0);
    dc->image.assign(static_cast<size_t>(dc->width) * static_cast<size_t>(dc->height), 0u);
    dc->columns.assign(static_cast<size_t>(dc->width), 0);
}

const uint32_t* pf_portable_client_image(PfDC dc, int32_t* width, int32_t* height) {
    const bool window = dc != nullptr && dc->kind == PfDcKind::window;
    if (width != nullptr) *width = window ? dc->width : 0;
    if (height != nullptr) *height = window ? dc->height : 0;
    return window ? dc->image.data() : nullptr;
}

int32_t pf_portable_present_count(PfDC dc) { return dc == nullptr ? 0 : dc->present_count; }

void pf_delete_dc(PfDC dc) {
    if (dc == nullptr) return;
    dc->bitmap->selections -= 1;
    dc->font->selections -= 1;
    dc->palette->object.selections -= 1;
    delete dc;
    pf_portable_count_object(-1);
}

PfObject pf_select_object(PfDC dc, PfObject object) {
    if (dc == nullptr || object == nullptr) return nullptr;
    PfObject_** place = nullptr;
    switch (object->kind) {
        case PfKind::bitmap:
            // Only memory DCs hold bitmaps, as in GDI.
            if (dc->kind != PfDcKind::memory) return nullptr;
            place = &dc->bitmap;
            break;
        case PfKind::font: place = &dc->font; break;
        case PfKind::palette:
            return pf_as_object(pf_select_palette(dc, reinterpret_cast<PfPalette>(object), false));
    }
    PfObject_* displaced = *place;
    displaced->selections -= 1;
    object->selections += 1;
    *place = object;
    return displaced;
}

void pf_delete_object(PfObject object) {
    // Stock objects live for ever; objects selected into a DC are refused,
    // as GDI refuses them.
    if (object == nullptr || object->stock || object->selections > 0) return;
    release_object(object);
}

void pf_set_stretch_mode(PfDC dc, int32_t mode) {
    if (dc != nullptr) dc->stretch_mode = mode;
}
