#include "compositing/ArgbBlend.h"

#include "compositing/ArgbCPUid.h"

bool HasMMX = false;

void SelectBlendRoutines() { HasMMX = DetectMMX(); }

namespace {
// When the library starts, as the program's other units do their set-up.
const bool blendRoutinesSelected = (SelectBlendRoutines(), true);
}  // namespace

void BlendRun(const TArgbColor* src, TArgbColor* dst, int count)
{
    for (int i = 0; i < count; ++i) BlendPixelTo(src[i], dst[i]);
}

void BlendRunMaster(const TArgbColor* src, TArgbColor* dst, int count, int m)
{
    for (int i = 0; i < count; ++i) BlendPixelMasterTo(src[i], dst[i], m);
}
