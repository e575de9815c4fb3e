#pragma once
// The Qt side of the image controls: the canvas GDI-overlay layers draw on,
// and the Qt cursor for a cursor number.

#include "compositing/ArgbLayers.h"

#include <QPainter>

struct TLayerCanvas {
    QPainter& Painter;
};

Qt::CursorShape QtCursorOf(TCursor cursor);
