#pragma once
// Layers painted over an image control's bitmap in a fixed order: a
// collection that owns them, tells its owner when they change and routes
// mouse input to the topmost layer under the pointer; positioned layers with
// a floating-point rectangle (in bitmap coordinates when Scaled); and bitmap
// layers that paint an owned TArgbBitmap into that rectangle.

#include "compositing/Argb.h"

#include <functional>
#include <memory>
#include <vector>

// Cursor numbers as the windowing layer knows them.
using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crArrow = -2;
constexpr TCursor crSizeNWSE = -8;

// The cursor shown over the control under the pointer. The windowing layer
// follows it through OnScreenCursorChange.
TCursor ScreenCursor();
void SetScreenCursor(TCursor cursor);
extern std::function<void(TCursor)> OnScreenCursorChange;

enum TLayerButton { mbLeft = 0, mbRight = 1, mbMiddle = 2 };
// Shift, Alt, Ctrl and the mouse buttons held, as bits.
using TShiftState = unsigned;

// Bits of TCustomLayer::LayerOptions.
constexpr unsigned LOB_VISIBLE = 0x80000000u;
constexpr unsigned LOB_GDI_OVERLAY = 0x40000000u;
constexpr unsigned LOB_MOUSE_EVENTS = 0x20000000u;
constexpr unsigned LOB_NO_UPDATE = 0x10000000u;
constexpr unsigned LOB_NO_CAPTURE = 0x08000000u;

// Bitmap-to-control mapping of an image control: control = Scale * bitmap /
// 65536 + Shift; RecScale maps back. The identity is the default.
struct TViewTransform {
    int ScaleX = 65536, ScaleY = 65536;
    int ShiftX = 0, ShiftY = 0;
    int RecScaleX = 65536, RecScaleY = 65536;
    bool Valid = false;
};

// What the layers need of the image control that owns their collection.
class TLayerCollectionOwner {
public:
    virtual ~TLayerCollectionOwner() = default;
    // Where the bitmap lies in control coordinates.
    virtual TRect GetBitmapRect() = 0;
    virtual TCursor OwnerCursor() const = 0;
};

// The control's canvas while GDI overlays are drawn (defined by the image control).
struct TLayerCanvas;

class TCustomLayer;
using TLayerMouseEvent =
    std::function<void(TCustomLayer* Sender, TLayerButton Button, TShiftState Shift, int X, int Y)>;
using TLayerMouseMoveEvent = std::function<void(TCustomLayer* Sender, TShiftState Shift, int X, int Y)>;
using TLayerPaintEvent = std::function<void(TCustomLayer* Sender, TArgbBitmap* Buffer)>;
using TLayerNotifyEvent = std::function<void(TCustomLayer* Sender)>;

class TLayerCollection : public TPersistent {
public:
    explicit TLayerCollection(TLayerCollectionOwner* owner);
    ~TLayerCollection() override;
    TLayerCollection(const TLayerCollection&) = delete;
    TLayerCollection& operator=(const TLayerCollection&) = delete;
    const char* ClassName() const override { return "TLayerCollection"; }

    TViewTransform* CoordTransform = nullptr;
    bool MouseEvents = true;
    TPersistentEvent OnChanging, OnChanged, OnOverlayUpdate;

    TLayerCollectionOwner* Owner() const { return owner_; }
    int Count() const { return int(items_.size()); }
    // Index 0 is painted first.
    TCustomLayer* Items(int index) const { return items_.at(std::size_t(index)).get(); }
    int IndexOf(const TCustomLayer* layer) const;

    // A new layer of class T; the collection owns it.
    template <class T>
    T* AddLayer()
    {
        return new T(this);  // the constructor hands it to this collection
    }
    // Takes ownership of the layer / gives it back to the caller.
    void Attach(TCustomLayer* layer);
    void Detach(TCustomLayer* layer);
    // Frees every layer, with one change notification at the end.
    void Clear();
    void Assign(const TPersistent* source) override;

    void BeginUpdate();
    // An unpaired call raises EAssertionFailed "Unpaired EndUpdate".
    void EndUpdate();
    int UpdateCount() const { return updateCount_; }
    void NotifyChanging();
    void NotifyChanged();
    void NotifyOverlay();

    // The topmost layer sharing a bit of mask with its options and hit at (x, y).
    TCustomLayer* FindLayerAt(int x, int y, unsigned mask) const;
    TCustomLayer* CapturedLayer() const { return captured_; }
    void SetCapturedLayer(TCustomLayer* layer);
    TCustomLayer* RouteMouseDown(TLayerButton button, TShiftState shift, int x, int y);
    TCustomLayer* RouteMouseMove(TShiftState shift, int x, int y);
    TCustomLayer* RouteMouseUp(TLayerButton button, TShiftState shift, int x, int y);

    TPersistent* GetOwner() const override { return dynamic_cast<TPersistent*>(owner_); }

private:
    friend class TCustomLayer;
    TLayerCollectionOwner* owner_;
    std::vector<std::unique_ptr<TCustomLayer>> items_;
    TCustomLayer* captured_ = nullptr;
    int updateCount_ = 0;
};

class TCustomLayer : public TPersistent {
public:
    // Attached to collection (which then owns it) when one is given.
    explicit TCustomLayer(TLayerCollection* collection);
    // Fires OnDestroy, then leaves its collection.
    ~TCustomLayer() override;
    TCustomLayer(const TCustomLayer&) = delete;
    TCustomLayer& operator=(const TCustomLayer&) = delete;
    const char* ClassName() const override { return "TCustomLayer"; }
    // A layer of the same class in collection (for the collection's Assign).
    virtual TCustomLayer* CreateLike(TLayerCollection* collection) const { return new TCustomLayer(collection); }
    // Cursor and options; positioned and bitmap layers add their own fields.
    void Assign(const TPersistent* source) override;

    TCursor Cursor = crDefault;
    unsigned LayerStates = 0;  // buttons held: bit 0 left, 1 right, 2 middle
    unsigned LayerOptions = LOB_VISIBLE;
    TLayerMouseEvent OnMouseDown, OnMouseUp;
    TLayerMouseMoveEvent OnMouseMove;
    TLayerPaintEvent OnPaint;
    TLayerNotifyEvent OnDestroy;

    TLayerCollection* LayerCollection() const { return collection_; }
    void SetLayerCollection(TLayerCollection* value);
    int GetIndex() const;
    // Clamped into the collection; moves the layer there.
    virtual void SetIndex(int value);
    bool Visible() const { return (LayerOptions & LOB_VISIBLE) != 0; }
    void SetVisible(bool visible);
    void SetLayerOptions(unsigned value);

    void LayerChanging();
    void LayerChanged();
    void PaintLayer(TArgbBitmap* buffer);

    virtual bool HitTest(int, int) { return true; }
    virtual void MouseDown(TLayerButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TLayerButton button, TShiftState shift, int x, int y);
    virtual void Notification(TCustomLayer*) {}
    virtual void Paint(TArgbBitmap*) {}
    virtual void PaintOverlay(TLayerCanvas&) {}

    TPersistent* GetOwner() const override { return collection_; }

private:
    friend class TLayerCollection;
    TLayerCollection* collection_ = nullptr;
};

class TPositionedLayer : public TCustomLayer {
public:
    explicit TPositionedLayer(TLayerCollection* collection);
    const char* ClassName() const override { return "TPositionedLayer"; }
    TCustomLayer* CreateLike(TLayerCollection* collection) const override { return new TPositionedLayer(collection); }
    void Assign(const TPersistent* source) override;

    const TSingleRect& Location() const { return location_; }
    void SetLocation(const TSingleRect& value);
    bool Scaled() const { return scaled_; }
    void SetScaled(bool value);
    // Location in control coordinates (mapped through the owner's transform when Scaled).
    TSingleRect ScreenLocation() const;
    bool HitTest(int x, int y) override;
    void ContentChanged() { LayerChanged(); }

protected:
    virtual void StoreLocation(const TSingleRect& rect) { location_ = rect; }

private:
    TSingleRect location_{0, 0, 64, 64};
    bool scaled_ = false;
};

class TBitmapLayer : public TPositionedLayer {
public:
    explicit TBitmapLayer(TLayerCollection* collection);
    ~TBitmapLayer() override;
    const char* ClassName() const override { return "TBitmapLayer"; }
    TCustomLayer* CreateLike(TLayerCollection* collection) const override { return new TBitmapLayer(collection); }
    void Assign(const TPersistent* source) override;

    // Every change of the bitmap notifies the image.
    TArgbBitmap* Bitmap() const { return bitmap_.get(); }
    // A copy of value; the caller keeps value.
    void SetBitmap(const TArgbBitmap* value) { bitmap_->Assign(value); }
    bool HitByAlpha = false;
    bool ClipToImage = false;

    bool HitTest(int x, int y) override;
    void Paint(TArgbBitmap* buffer) override;

private:
    std::unique_ptr<TArgbBitmap> bitmap_;
};
