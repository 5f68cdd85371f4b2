// Stock fonts with fixed metrics, so text layout is the same everywhere.
#include "platform/portable/objects.h"
#include "platform/portable/portable.h"

namespace {

struct StockFont {
    int32_t number;
    PfFont font;
};

// Numbers as the stock-object numbers of the fonts: 10 OEM fixed, 11 ANSI
// fixed, 12 ANSI variable, 13 system, 14 device default, 16 system fixed,
// 17 default GUI. Height, external leading, average width.
StockFont kFonts[] = {
    {10, {{PfKind::font, true, 0}, {12, 0, 8}}}, {11, {{PfKind::font, true, 0}, {13, 0, 8}}},
    {12, {{PfKind::font, true, 0}, {13, 0, 6}}}, {13, {{PfKind::font, true, 0}, {16, 0, 7}}},
    {14, {{PfKind::font, true, 0}, {16, 0, 7}}}, {16, {{PfKind::font, true, 0}, {16, 0, 8}}},
    {17, {{PfKind::font, true, 0}, {13, 0, 5}}},
};

}  // namespace

PfObject_* pf_portable_system_font() { return &kFonts[3].font.object; }

PfObject pf_stock_object(int32_t number) {
    if (number == 15) return &pf_portable_default_palette()->object;
    if (number == 18) return pf_portable_stock_bitmap();
    for (StockFont& f : kFonts)
        if (f.number == number) return &f.font.object;
    return nullptr;
}

void pf_text_metrics(PfDC dc, PfTextMetrics* out) {
    if (dc == nullptr || out == nullptr || dc->font->kind != PfKind::font) return;
    *out = reinterpret_cast<const PfFont*>(dc->font)->metrics;
}
