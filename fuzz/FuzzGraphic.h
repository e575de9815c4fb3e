#pragma once
// The body of every picture fuzz target: arbitrary bytes go to one graphic
// class's loader and what loads is rendered at 24 bits. Errors the loaders
// raise are expected; crashes and sanitizer reports are not.

#include "platform/picture/Picture.h"

#include <cstddef>
#include <cstdint>

template <class Graphic>
int FuzzGraphicLoad(const std::uint8_t* data, std::size_t size)
{
    TByteViewStream stream(data, size);
    try {
        Graphic graphic;
        graphic.LoadFromStream(stream);
        if (auto rendered = graphic.RenderBitmap()) rendered->SetPixelFormat(pf24bit);
    } catch (const Exception&) {
    }
    return 0;
}
