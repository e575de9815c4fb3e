// Layers: notifications, order, hit testing, capture, the scaled mapping.
#include "compositing/ArgbLayers.h"

#include <gtest/gtest.h>

TEST(ArgbLayers, DefaultsNotificationsAndOrder)
{
    TLayerCollection layers(nullptr);
    int changed = 0;
    layers.OnChanged = [&](TPersistent*) { ++changed; };
    layers.Clear();
    EXPECT_EQ(changed, 1);  // also when there is nothing to clear

    auto* plain = layers.AddLayer<TCustomLayer>();
    auto* placed = layers.AddLayer<TPositionedLayer>();
    EXPECT_EQ(plain->LayerOptions, LOB_VISIBLE);
    EXPECT_EQ(placed->LayerOptions, LOB_VISIBLE | LOB_MOUSE_EVENTS);
    EXPECT_EQ(placed->Location(), (TSingleRect{0, 0, 64, 64}));
    EXPECT_EQ(layers.FindLayerAt(10, 10, LOB_MOUSE_EVENTS), placed);
    EXPECT_EQ(layers.FindLayerAt(64, 10, LOB_MOUSE_EVENTS), nullptr);

    auto* top = layers.AddLayer<TPositionedLayer>();
    EXPECT_EQ(layers.FindLayerAt(10, 10, LOB_MOUSE_EVENTS), top);  // the last painted is hit first
    top->SetIndex(-7);
    EXPECT_EQ(top->GetIndex(), 0);
    top->SetIndex(layers.Count() + 3);
    EXPECT_EQ(top->GetIndex(), 2);
    placed->SetIndex(2);
    EXPECT_EQ(layers.FindLayerAt(10, 10, LOB_MOUSE_EVENTS), placed);

    changed = 0;
    layers.Clear();
    EXPECT_EQ(changed, 1);  // one notification for all three
    EXPECT_EQ(layers.Count(), 0);
    EXPECT_THROW(layers.EndUpdate(), EAssertionFailed);
}

TEST(ArgbLayers, CaptureFollowsTheButtonsAndEndsWithTheLayer)
{
    TLayerCollection layers(nullptr);
    auto* a = layers.AddLayer<TPositionedLayer>();
    int downs = 0, ups = 0;
    a->OnMouseDown = [&](TCustomLayer*, TLayerButton, TShiftState, int, int) { ++downs; };
    a->OnMouseUp = [&](TCustomLayer*, TLayerButton, TShiftState, int, int) { ++ups; };
    EXPECT_EQ(layers.RouteMouseDown(mbLeft, 0, 5, 5), a);
    EXPECT_EQ(layers.CapturedLayer(), a);
    layers.RouteMouseDown(mbRight, 0, 500, 500);  // captured: goes to a wherever it is
    EXPECT_EQ(a->LayerStates, 3u);
    layers.RouteMouseUp(mbLeft, 0, 500, 500);
    EXPECT_EQ(layers.CapturedLayer(), a);  // the right button is still down
    layers.RouteMouseUp(mbRight, 0, 500, 500);
    EXPECT_EQ(layers.CapturedLayer(), nullptr);
    EXPECT_EQ(downs, 2);
    EXPECT_EQ(ups, 2);

    // A layer that must not capture is hit but not held; a freed layer lets go.
    a->LayerOptions |= LOB_NO_CAPTURE;
    EXPECT_EQ(layers.RouteMouseDown(mbLeft, 0, 5, 5), a);
    EXPECT_EQ(layers.CapturedLayer(), nullptr);
    a->LayerOptions &= ~LOB_NO_CAPTURE;
    layers.RouteMouseDown(mbLeft, 0, 5, 5);
    bool destroyed = false;
    a->OnDestroy = [&](TCustomLayer*) { destroyed = true; };
    delete a;
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(layers.Count(), 0);
    EXPECT_EQ(layers.CapturedLayer(), nullptr);
}

TEST(ArgbLayers, ScaledBitmapLayerPaintsThroughTheTransform)
{
    TViewTransform transform;
    transform.ScaleX = transform.ScaleY = 131072;
    transform.ShiftX = 10;
    transform.ShiftY = 20;
    TLayerCollection layers(nullptr);
    layers.CoordTransform = &transform;
    auto* layer = layers.AddLayer<TBitmapLayer>();
    layer->Bitmap()->SetSize(2, 2);
    layer->Bitmap()->Clear(0xFF00FF00);
    layer->SetLocation(TSingleRect{5, 5, 15, 15});
    layer->SetScaled(true);
    EXPECT_EQ(RoundSingleRect(layer->ScreenLocation(), rmRound), (TRect{20, 30, 40, 50}));

    TArgbBitmap buffer;
    buffer.SetSize(60, 60);
    layer->PaintLayer(&buffer);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x)
            ASSERT_EQ(buffer.PixelAt(x, y), (x >= 20 && x < 40 && y >= 30 && y < 50) ? 0xFF00FF00u : 0u)
                << x << "," << y;

    // Hit by alpha: only where the bitmap has some.
    layer->HitByAlpha = true;
    *layer->Bitmap()->PixelPtr(1, 1) = 0x00FFFFFF;
    EXPECT_TRUE(layer->HitTest(21, 31));
    EXPECT_FALSE(layer->HitTest(30, 40));
    EXPECT_FALSE(layer->HitTest(41, 31));

    // The bitmap's changes reach the collection; a copy keeps the pixels.
    int changed = 0;
    layers.OnChanged = [&](TPersistent*) { ++changed; };
    layer->Bitmap()->Clear(0xFF0000FF);
    EXPECT_EQ(changed, 1);
    TLayerCollection copy(nullptr);
    copy.Assign(&layers);
    ASSERT_EQ(copy.Count(), 1);
    auto* copied = dynamic_cast<TBitmapLayer*>(copy.Items(0));
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->Bitmap()->PixelAt(1, 1), 0xFF0000FFu);
    EXPECT_EQ(copied->Location(), layer->Location());
}
