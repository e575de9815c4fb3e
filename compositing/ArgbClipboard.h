#pragma once
// The desktop's clipboard as a source and target of TArgbBitmap's Assign and
// AssignTo (part of the view library: it needs the windowing layer).

#include "compositing/Argb.h"

class TArgbClipboard : public TClipboardAccess {
public:
    // The clipboard's picture as a 32-bit bitmap, or null when it holds none.
    std::unique_ptr<TGraphic> GetPicture() override;
    void SetBitmap(const TBitmap& bitmap) override;
};
