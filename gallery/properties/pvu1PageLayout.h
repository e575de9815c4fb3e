#pragma once
// Layout pieces the properties dialog's page builders share; not for other callers.

#include "platform/gui/Gui.h"

namespace dialog_layout {

constexpr int RowHeight = 22;

inline void Place(TControl* control, int x, int y, int w, int h = RowHeight) { control->SetBounds(x, y, w, h); }

}  // namespace dialog_layout
