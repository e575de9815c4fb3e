#pragma once
// Where controls meet Qt: what the windows built over this layer (the picture
// control, the image view and its bars) share when they take Qt's mouse events
// and paint with Qt's colours.

#include "platform/gui/Gui.h"

#include <QColor>
#include <Qt>

// The button of a Qt mouse event; None for the others.
TMouseButton MouseButtonOf(Qt::MouseButton button);
// A GDI colour number 0x00BBGGRR as Qt's colour (system colours are not resolved).
QColor ToQColor(TColor colour);
