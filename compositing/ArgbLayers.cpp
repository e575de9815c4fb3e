#include "compositing/ArgbLayers.h"

#include <algorithm>
#include <cmath>

namespace {
TCursor screenCursor = crDefault;
unsigned buttonBit(TLayerButton button) { return 1u << unsigned(button); }
constexpr unsigned AllButtons = 7;
int roundEven(float v) { return int(std::nearbyint(v)); }
}  // namespace

std::function<void(TCursor)> OnScreenCursorChange;

TCursor ScreenCursor() { return screenCursor; }

void SetScreenCursor(TCursor cursor)
{
    screenCursor = cursor;
    if (OnScreenCursorChange) OnScreenCursorChange(cursor);
}

// --- TLayerCollection ----------------------------------------------------------------

TLayerCollection::TLayerCollection(TLayerCollectionOwner* owner) : owner_(owner) {}

TLayerCollection::~TLayerCollection()
{
    updateCount_ = 1;  // no notifications while going
    Clear();
}

int TLayerCollection::IndexOf(const TCustomLayer* layer) const
{
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i].get() == layer) return int(i);
    return -1;
}

void TLayerCollection::Attach(TCustomLayer* layer)
{
    BeginUpdate();
    try {
        items_.emplace_back(layer);
        layer->collection_ = this;
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TLayerCollection::Detach(TCustomLayer* layer)
{
    BeginUpdate();
    const int index = IndexOf(layer);
    if (index >= 0) {
        (void)items_[std::size_t(index)].release();  // the caller owns it again
        items_.erase(items_.begin() + index);
    }
    layer->collection_ = nullptr;
    EndUpdate();
}

void TLayerCollection::Clear()
{
    BeginUpdate();
    try {
        // Each destructor detaches its layer from the list.
        while (!items_.empty()) delete items_.back().get();
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TLayerCollection::Assign(const TPersistent* source)
{
    const auto* other = dynamic_cast<const TLayerCollection*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    BeginUpdate();
    try {
        while (!items_.empty()) delete items_.back().get();
        for (const auto& layer : other->items_) layer->CreateLike(this)->Assign(layer.get());
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TLayerCollection::BeginUpdate()
{
    if (updateCount_ == 0) NotifyChanging();
    ++updateCount_;
}

void TLayerCollection::EndUpdate()
{
    --updateCount_;
    if (updateCount_ == 0) NotifyChanged();
    if (updateCount_ < 0) throw EAssertionFailed("Unpaired EndUpdate", "ArgbLayers", 338);
}

void TLayerCollection::NotifyChanging()
{
    if (OnChanging) OnChanging(this);
}

void TLayerCollection::NotifyChanged()
{
    if (OnChanged) OnChanged(this);
}

void TLayerCollection::NotifyOverlay()
{
    if (OnOverlayUpdate && updateCount_ == 0) OnOverlayUpdate(this);
}

TCustomLayer* TLayerCollection::FindLayerAt(int x, int y, unsigned mask) const
{
    for (int i = Count() - 1; i >= 0; --i) {
        TCustomLayer* layer = items_[std::size_t(i)].get();
        if ((layer->LayerOptions & mask) != 0 && layer->HitTest(x, y)) return layer;
    }
    return nullptr;
}

void TLayerCollection::SetCapturedLayer(TCustomLayer* layer)
{
    if (layer == captured_) return;
    if (captured_) captured_->LayerStates &= ~AllButtons;
    captured_ = layer;
}

TCustomLayer* TLayerCollection::RouteMouseDown(TLayerButton button, TShiftState shift, int x, int y)
{
    TCustomLayer* hit = captured_ ? captured_ : FindLayerAt(x, y, LOB_MOUSE_EVENTS);
    if (button == mbLeft && hit != captured_ && (!hit || (hit->LayerOptions & LOB_NO_CAPTURE) == 0))
        SetCapturedLayer(hit);
    if (captured_) {
        captured_->LayerStates |= buttonBit(button);
        captured_->MouseDown(button, shift, x, y);
    }
    return hit;
}

TCustomLayer* TLayerCollection::RouteMouseMove(TShiftState shift, int x, int y)
{
    TCustomLayer* hit = captured_ ? captured_ : FindLayerAt(x, y, LOB_MOUSE_EVENTS);
    if (hit)
        hit->MouseMove(shift, x, y);
    else if (owner_)
        SetScreenCursor(owner_->OwnerCursor());
    return hit;
}

TCustomLayer* TLayerCollection::RouteMouseUp(TLayerButton button, TShiftState shift, int x, int y)
{
    TCustomLayer* hit = captured_ ? captured_ : FindLayerAt(x, y, LOB_MOUSE_EVENTS);
    if (hit) {
        hit->LayerStates &= ~buttonBit(button);
        hit->MouseUp(button, shift, x, y);
    }
    if (captured_ && (captured_->LayerStates & AllButtons) == 0) SetCapturedLayer(nullptr);
    return hit;
}

// --- TCustomLayer ------------------------------------------------------------------------

TCustomLayer::TCustomLayer(TLayerCollection* collection) { SetLayerCollection(collection); }

TCustomLayer::~TCustomLayer()
{
    if (OnDestroy) OnDestroy(this);
    SetLayerCollection(nullptr);
}

void TCustomLayer::Assign(const TPersistent* source)
{
    const auto* other = dynamic_cast<const TCustomLayer*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    LayerChanging();
    Cursor = other->Cursor;
    LayerOptions = other->LayerOptions;
    LayerChanged();
}

void TCustomLayer::SetLayerCollection(TLayerCollection* value)
{
    if (value == collection_) return;
    if (collection_) {
        if (collection_->captured_ == this) collection_->SetCapturedLayer(nullptr);
        collection_->Detach(this);
    }
    if (value) value->Attach(this);
}

int TCustomLayer::GetIndex() const { return collection_ ? collection_->IndexOf(this) : -1; }

void TCustomLayer::SetIndex(int value)
{
    if (!collection_) return;
    const int current = GetIndex();
    if (value == current) return;
    value = std::clamp(value, 0, collection_->Count() - 1);
    if (value == current) return;
    const bool visible = Visible();
    if (visible) collection_->BeginUpdate();
    auto& items = collection_->items_;
    auto moved = std::move(items[std::size_t(current)]);
    items.erase(items.begin() + current);
    items.insert(items.begin() + value, std::move(moved));
    if (visible) collection_->EndUpdate();
}

void TCustomLayer::SetVisible(bool visible)
{
    SetLayerOptions(visible ? LayerOptions | LOB_VISIBLE : LayerOptions & ~LOB_VISIBLE);
}

void TCustomLayer::SetLayerOptions(unsigned value)
{
    if (value == LayerOptions) return;
    LayerChanging();
    LayerOptions = value;
    LayerChanged();
}

void TCustomLayer::LayerChanging()
{
    if (Visible() && collection_ && (LayerOptions & LOB_NO_UPDATE) == 0) collection_->NotifyChanging();
}

void TCustomLayer::LayerChanged()
{
    if (!collection_ || (LayerOptions & LOB_NO_UPDATE) != 0) return;
    if (Visible())
        collection_->NotifyChanged();
    else if (LayerOptions & LOB_GDI_OVERLAY)
        collection_->NotifyOverlay();
}

void TCustomLayer::PaintLayer(TArgbBitmap* buffer)
{
    Paint(buffer);
    if (OnPaint) OnPaint(this, buffer);
}

void TCustomLayer::MouseDown(TLayerButton button, TShiftState shift, int x, int y)
{
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TCustomLayer::MouseMove(TShiftState shift, int x, int y)
{
    SetScreenCursor(Cursor);
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TCustomLayer::MouseUp(TLayerButton button, TShiftState shift, int x, int y)
{
    SetScreenCursor(crDefault);
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

// --- TPositionedLayer -----------------------------------------------------------------------

TPositionedLayer::TPositionedLayer(TLayerCollection* collection) : TCustomLayer(collection)
{
    LayerOptions = LOB_VISIBLE | LOB_MOUSE_EVENTS;
}

void TPositionedLayer::Assign(const TPersistent* source)
{
    TCustomLayer::Assign(source);
    if (const auto* other = dynamic_cast<const TPositionedLayer*>(source)) {
        LayerChanging();
        StoreLocation(other->location_);
        scaled_ = other->scaled_;
        LayerChanged();
    }
}

void TPositionedLayer::SetLocation(const TSingleRect& value)
{
    LayerChanging();
    StoreLocation(value);
    LayerChanged();
}

void TPositionedLayer::SetScaled(bool value)
{
    if (value == scaled_) return;
    LayerChanging();
    scaled_ = value;
    LayerChanged();
}

TSingleRect TPositionedLayer::ScreenLocation() const
{
    TSingleRect r = location_;
    const TLayerCollection* collection = LayerCollection();
    if (scaled_ && collection && collection->CoordTransform) {
        const TViewTransform& t = *collection->CoordTransform;
        auto mapX = [&](float x) { return float(t.ScaleX) * x / 65536.0f + float(t.ShiftX); };
        auto mapY = [&](float y) { return float(t.ScaleY) * y / 65536.0f + float(t.ShiftY); };
        r = TSingleRect{mapX(r.Left), mapY(r.Top), mapX(r.Right), mapY(r.Bottom)};
    }
    return r;
}

bool TPositionedLayer::HitTest(int x, int y)
{
    const TSingleRect r = ScreenLocation();
    return r.Left <= float(x) && float(x) < r.Right && r.Top <= float(y) && float(y) < r.Bottom;
}

// --- TBitmapLayer ------------------------------------------------------------------------------

TBitmapLayer::TBitmapLayer(TLayerCollection* collection)
    : TPositionedLayer(collection), bitmap_(std::make_unique<TArgbBitmap>())
{
    bitmap_->OnChange = [this](TPersistent*) { ContentChanged(); };
}

TBitmapLayer::~TBitmapLayer()
{
    // The bitmap goes first; nothing it says may reach this layer any more.
    bitmap_->OnChange = nullptr;
    bitmap_.reset();
}

void TBitmapLayer::Assign(const TPersistent* source)
{
    TPositionedLayer::Assign(source);
    if (const auto* other = dynamic_cast<const TBitmapLayer*>(source)) {
        bitmap_->Assign(other->bitmap_.get());
        HitByAlpha = other->HitByAlpha;
        ClipToImage = other->ClipToImage;
    }
}

bool TBitmapLayer::HitTest(int x, int y)
{
    if (!TPositionedLayer::HitTest(x, y)) return false;
    if (!HitByAlpha) return true;
    const TSingleRect r = ScreenLocation();
    const float w = std::nearbyint(r.Right - r.Left), h = std::nearbyint(r.Bottom - r.Top);
    if (w < 0.5f || h < 0.5f) return false;
    const TArgbColor c = bitmap_->PixelAtChecked(roundEven((float(x) - r.Left) * float(bitmap_->Width()) / w),
                                                 roundEven((float(y) - r.Top) * float(bitmap_->Height()) / h));
    return (c & 0xFF000000u) != 0;
}

void TBitmapLayer::Paint(TArgbBitmap* buffer)
{
    TRect dstRect = RoundSingleRect(ScreenLocation(), rmRound);
    TRect srcRect{0, 0, bitmap_->Width(), bitmap_->Height()};
    const TLayerCollection* collection = LayerCollection();
    if (ClipToImage && collection && collection->Owner()) {
        const float w = float(dstRect.Right - dstRect.Left), h = float(dstRect.Bottom - dstRect.Top);
        if (w < 0.5f || h < 0.5f) return;
        TRect clip;
        IntersectRects(clip, dstRect, collection->Owner()->GetBitmapRect());
        const float bw = float(bitmap_->Width()), bh = float(bitmap_->Height());
        srcRect = TRect{
            roundEven(float(clip.Left - dstRect.Left) * bw / w), roundEven(float(clip.Top - dstRect.Top) * bh / h),
            roundEven(float(clip.Right - dstRect.Left) * bw / w), roundEven(float(clip.Bottom - dstRect.Top) * bh / h)};
        dstRect = clip;
    }
    bitmap_->DrawToRect(buffer, dstRect, srcRect);
}
