// Display services over GDI and the screen's device context.
#include <cstddef>

#include "platform/win32/win32_handles.h"

static_assert(sizeof(PfPaletteEntry) == sizeof(PALETTEENTRY));
static_assert(offsetof(PfPaletteEntry, red) == offsetof(PALETTEENTRY, peRed));
static_assert(offsetof(PfPaletteEntry, green) == offsetof(PALETTEENTRY, peGreen));
static_assert(offsetof(PfPaletteEntry, blue) == offsetof(PALETTEENTRY, peBlue));
static_assert(offsetof(PfPaletteEntry, flags) == offsetof(PALETTEENTRY, peFlags));
static_assert(PF_DIB_RGB_COLORS == DIB_RGB_COLORS);
static_assert(PF_DIB_PAL_COLORS == DIB_PAL_COLORS);
static_assert(PF_COLORONCOLOR == COLORONCOLOR);
static_assert(PF_SRCCOPY == SRCCOPY);

void pf_screen_format(int32_t* bits_per_pixel, int32_t* planes) {
    HDC screen = GetDC(nullptr);
    *bits_per_pixel = GetDeviceCaps(screen, BITSPIXEL);
    *planes = GetDeviceCaps(screen, PLANES);
    ReleaseDC(nullptr, screen);
}

void pf_system_palette_entries(int32_t first, int32_t count, PfPaletteEntry* out) {
    HDC screen = GetDC(nullptr);
    GetSystemPaletteEntries(screen, static_cast<UINT>(first), static_cast<UINT>(count),
                            reinterpret_cast<PALETTEENTRY*>(out));
    ReleaseDC(nullptr, screen);
}

uint32_t pf_version() { return GetVersion(); }

PfDC pf_create_memory_dc() { return pf_from_hdc(CreateCompatibleDC(nullptr)); }

void pf_delete_dc(PfDC dc) { DeleteDC(hdc_from_pf(dc)); }

PfObject pf_select_object(PfDC dc, PfObject object) {
    return pf_from_hgdiobj(SelectObject(hdc_from_pf(dc), hgdiobj_from_pf(object)));
}

void pf_delete_object(PfObject object) { DeleteObject(hgdiobj_from_pf(object)); }

PfObject pf_stock_object(int32_t number) { return pf_from_hgdiobj(GetStockObject(number)); }

void pf_text_metrics(PfDC dc, PfTextMetrics* out) {
    TEXTMETRICA metrics{};
    GetTextMetricsA(hdc_from_pf(dc), &metrics);
    out->height = metrics.tmHeight;
    out->external_leading = metrics.tmExternalLeading;
    out->avg_char_width = metrics.tmAveCharWidth;
}

PfBitmap pf_create_dib_section(PfDC dc, const void* header, uint32_t usage, void** pixels) {
    return pf_from_hbitmap(CreateDIBSection(hdc_from_pf(dc), static_cast<const BITMAPINFO*>(header),
                                            usage, pixels, nullptr, 0));
}

void pf_set_stretch_mode(PfDC dc, int32_t mode) { SetStretchBltMode(hdc_from_pf(dc), mode); }

int32_t pf_stretch_dib(PfDC dc, int32_t dst_x, int32_t dst_y, int32_t dst_w, int32_t dst_h,
                       int32_t src_x, int32_t src_y, int32_t src_w, int32_t src_h,
                       const void* pixels, const void* header, uint32_t usage, uint32_t rop) {
    return StretchDIBits(hdc_from_pf(dc), dst_x, dst_y, dst_w, dst_h, src_x, src_y, src_w, src_h,
                         pixels, static_cast<const BITMAPINFO*>(header), usage, rop);
}

// The system stretches; this backend has no fast paths of its own.
void pf_select_vector_level(int32_t) {}

PfPalette pf_create_palette(const void* logical_palette) {
    return pf_from_hpalette(CreatePalette(static_cast<const LOGPALETTE*>(logical_palette)));
}

PfPalette pf_select_palette(PfDC dc, PfPalette palette, bool force_background) {
    return pf_from_hpalette(
        SelectPalette(hdc_from_pf(dc), hpalette_from_pf(palette), force_background ? TRUE : FALSE));
}

void pf_realize_palette(PfDC dc) { RealizePalette(hdc_from_pf(dc)); }

void pf_animate_palette(PfPalette palette, int32_t first, int32_t count,
                        const PfPaletteEntry* entries) {
    AnimatePalette(hpalette_from_pf(palette), static_cast<UINT>(first), static_cast<UINT>(count),
                   reinterpret_cast<const PALETTEENTRY*>(entries));
}
