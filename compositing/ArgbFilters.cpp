#include "compositing/ArgbFilters.h"

void CheckFilterParams(TArgbBitmap* dst, const TArgbBitmap* src)
{
    if (!src) throw Exception("The source is nil");
    if (!dst) throw Exception("Destination is nil");
    dst->SetSize(src->Width(), src->Height());
}

namespace {
template <class Op>
void eachPixel(TArgbBitmap* dst, const TArgbBitmap* src, Op op)
{
    CheckFilterParams(dst, src);
    if (!src->Empty() && !dst->Empty()) {
        const std::int64_t n = std::int64_t(src->Width()) * src->Height();
        const TArgbColor* in = src->Bits();
        TArgbColor* out = dst->Bits();
        for (std::int64_t i = 0; i < n; ++i) out[i] = op(out[i], in[i]);
    }
    dst->Changed();
}
}  // namespace

void GrayscaleFromColor(TArgbBitmap* dst, const TArgbBitmap* src)
{
    eachPixel(dst, src, [](TArgbColor, TArgbColor s) { return GrayColor(IntensityOf(s), 255); });
}

void AlphaFromIntensity(TArgbBitmap* dst, const TArgbBitmap* src)
{
    eachPixel(dst, src, [](TArgbColor d, TArgbColor s) { return WithAlpha(d, IntensityOf(s)); });
}
