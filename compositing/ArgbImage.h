#pragma once
// The image controls: TCustomArgbPaintBox keeps a back buffer and copies it
// to the screen; TCustomArgbImage adds a bitmap, layers, a list of paint
// stages and a bitmap-to-control transform, and renders itself into any
// bitmap with PaintTo; TCustomArgbImgView adds two range bars that scroll a
// scaled bitmap, and a size grip. TArgbImgView is the one used.
//
// The controls paint through the compositing library into their buffer; only
// the final copy to the screen and the bars go through Qt.

#include "compositing/ArgbLayers.h"
#include "compositing/ArgbRangeBars.h"
#include "platform/gui/Gui.h"

#include <deque>
#include <memory>

class QPainter;
class PaintBoxSurface;

enum TAlignment { alNone = 0, alTop, alBottom, alLeft, alRight, alClient };

class TCustomArgbPaintBox : public TControl {
public:
    TCustomArgbPaintBox(TComponent* owner, std::string name, QWidget* parent);
    ~TCustomArgbPaintBox() override;

    int Width() const;
    int Height() const;
    // Moves and sizes the control; a new size runs Resize (also while hidden).
    void SetBounds(int left, int top, int width, int height);

    // The back buffer; it never notifies.
    TArgbBitmap* Buffer() const { return buffer_.get(); }
    int BufferSlack = 40;  // -1: the buffer always has the paint area's size
    bool BufferValid = false;
    TNotifyEvent OnGDIOverlay;
    TCursor Cursor = crDefault;
    TAlignment Align = alNone;

    virtual TRect GetPaintArea() const;
    virtual void Invalidate();
    virtual void Loaded();
    virtual void Resize();
    // Fits and, when invalid, renders the buffer; copies it to the canvas.
    virtual void Paint(QPainter& canvas);
    void FitBuffer();

    // Input from the widget (tests may call these directly).
    virtual void MouseDown(TLayerButton /*button*/, TShiftState /*shift*/, int /*x*/, int /*y*/) {}
    virtual void MouseMove(TShiftState /*shift*/, int /*x*/, int /*y*/) {}
    virtual void MouseUp(TLayerButton /*button*/, TShiftState /*shift*/, int /*x*/, int /*y*/) {}
    virtual void MouseEnter() {}
    virtual void MouseLeave() {}

protected:
    virtual void RenderBuffer() { BufferValid = true; }
    virtual void RenderOverlay(QPainter&);

private:
    friend class PaintBoxSurface;
    void sizeChanged();
    PaintBoxSurface* surface_ = nullptr;  // null once Qt has deleted the widget
    std::unique_ptr<TArgbBitmap> buffer_;
    int lastWidth_ = -1, lastHeight_ = -1;
};

enum TBitmapPlacement { plTopLeft = 0, plCenter = 1, plTile = 2, plOffset = 3 };
enum TSizingMode { szNormal = 0, szStretch = 1, szScale = 2, szFit = 3 };
enum TPaintStageKind : unsigned {
    psCustom = 1,
    psClear = 2,
    psBackground = 3,
    psBitmap = 4,
    psLayers = 5,
    psControlFrame = 6,
    psBitmapFrame = 7
};

struct TPaintStage {
    bool AtDesign = false;
    bool AtRun = true;
    unsigned Kind = 0;
    unsigned Parameter = 0;
};

class TPaintStages {
public:
    // A new stage: run time only, kind 0.
    TPaintStage& Add();
    void Clear() { stages_.clear(); }
    int Count() const { return int(stages_.size()); }
    TPaintStage& operator[](int index) { return stages_.at(std::size_t(index)); }

private:
    std::deque<TPaintStage> stages_;
};

class TCustomArgbImage;
using TImgMouseEvent = std::function<void(TCustomArgbImage* Sender, TLayerButton Button, TShiftState Shift, int X,
                                          int Y, TCustomLayer* Layer)>;
using TImgMouseMoveEvent =
    std::function<void(TCustomArgbImage* Sender, TShiftState Shift, int X, int Y, TCustomLayer* Layer)>;
using TPaintStageEvent = std::function<void(TCustomArgbImage* Sender, TArgbBitmap* Buffer, int StageNum)>;

class TCustomArgbImage : public TCustomArgbPaintBox, public TLayerCollectionOwner {
public:
    TCustomArgbImage(TComponent* owner, std::string name, QWidget* parent);
    ~TCustomArgbImage() override;

    TArgbBitmap* Bitmap() const { return bitmap_.get(); }
    // A copy of value.
    void SetBitmap(const TArgbBitmap* value);
    TLayerCollection* Layers() const { return layers_.get(); }
    TPaintStages& Stages() { return stages_; }
    TBitmapPlacement Placement() const { return placement_; }
    void SetPlacement(TBitmapPlacement value);
    float OffsetX() const { return offsetX_; }
    float OffsetY() const { return offsetY_; }
    void SetOffsetX(float value);
    void SetOffsetY(float value);
    float Scale() const { return scale_; }
    // Values below 0.001 become 0.001.
    void SetScale(float value);
    TSizingMode SizingMode() const { return sizingMode_; }
    void SetSizingMode(TSizingMode value);
    bool AutoSize = false;

    TNotifyEvent OnBitmapResize, OnChange, OnInitStages, OnMouseEnter, OnMouseLeave;
    TImgMouseEvent OnMouseDown, OnMouseUp;
    TImgMouseMoveEvent OnMouseMove;
    TPaintStageEvent OnPaintStage;

    const TRect& ViewRect() const { return viewRect_; }
    const TViewTransform& ViewTransform() const { return transform_; }

    void BeginImageUpdate() { ++updateCount_; }
    // An unpaired call raises EAssertionFailed "Unpaired EndUpdate call".
    void EndImageUpdate();
    virtual void ImageChanged();
    virtual void BitmapSizeChanged();
    virtual void InitStages();
    virtual void InitDefaultStages();
    virtual void ScaleChanged() {}
    virtual TRect ComputeViewRect();
    virtual TPoint ComputeViewSize() const;
    void EnsureTransform();
    void DropTransform() { transform_.Valid = false; }
    // Control to bitmap coordinates, truncating toward zero.
    TPoint ControlToBitmap(const TPoint& p);
    // Renders the stages into dest as if the control's bitmap lay at destRect.
    void PaintTo(TArgbBitmap* dest, const TRect& destRect);
    // The size AutoSize would give; sets the sides the alignment leaves free.
    bool CanAutoSize(int& newWidth, int& newHeight);

    void Invalidate() override;
    void Resize() override;
    void Loaded() override;
    void MouseDown(TLayerButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TLayerButton button, TShiftState shift, int x, int y) override;
    void MouseEnter() override;
    void MouseLeave() override;

    TRect GetBitmapRect() override { return ComputeViewRect(); }
    TCursor OwnerCursor() const override { return Cursor; }

protected:
    void RenderBuffer() override;
    void RenderOverlay(QPainter& canvas) override;
    void ExecStage(TArgbBitmap* target, int index);
    virtual void ExecBitmapFrame(TArgbBitmap* target, int stage);
    virtual void ExecClear(TArgbBitmap* target, int stage);
    virtual void ExecBackground(TArgbBitmap* target, int stage);
    virtual void ExecControlFrame(TArgbBitmap* target, int stage);
    virtual void ExecCustom(TArgbBitmap* target, int stage);
    virtual void ExecDrawBitmap(TArgbBitmap* target, int stage);
    virtual void ExecDrawLayers(TArgbBitmap* target, int stage);

private:
    void transformFrom(const TRect& v);
    TPoint displayedSize() const;

    std::unique_ptr<TArgbBitmap> bitmap_;
    TBitmapPlacement placement_ = plTopLeft;
    std::unique_ptr<TLayerCollection> layers_;
    float offsetX_ = 0, offsetY_ = 0;
    TPaintStages stages_;
    float scale_ = 1.0f;
    TSizingMode sizingMode_ = szNormal;
    int updateCount_ = 0;
    TRect viewRect_;
    TViewTransform transform_;
};

enum TSizeGripStyle { sgAuto, sgNone, sgAlways };

class TCustomArgbImgView;

// The view's scroll-bar settings: those of both bars, the increment and the bar size.
class TIVScrollProperties : public TArrowBarAccess {
public:
    explicit TIVScrollProperties(TCustomArgbImgView* view);
    const char* ClassName() const override { return "TIVScrollProperties"; }
    // The horizontal bar's increment, rounded; written to both bars.
    int Increment() const;
    void SetIncrement(int value);
    // The view's BarSize; writing lays the bars out again.
    int Size() const;
    void SetSize(int value);
    void Assign(const TPersistent* source) override;

private:
    TCustomArgbImgView* view_;
};

class TCustomArgbImgView : public TCustomArgbImage {
public:
    TCustomArgbImgView(TComponent* owner, std::string name, QWidget* parent);
    ~TCustomArgbImgView() override;

    bool Centered() const { return centered_; }
    void SetCentered(bool value);
    int BarSize = 0;
    TIVScrollProperties* ScrollBars() const { return scrollBars_.get(); }
    void SetScrollBars(const TIVScrollProperties* value) { scrollBars_->Assign(value); }
    TSizeGripStyle SizeGrip() const { return sizeGrip_; }
    void SetSizeGrip(TSizeGripStyle value);
    TNotifyEvent OnScroll;
    bool SuppressBarEvents = false;
    TCustomRangeBar* HorzBar = nullptr;
    TCustomRangeBar* VertBar = nullptr;

    // The control without the bars.
    TRect GetPaintArea() const override;
    int BarThickness() const;
    void LayoutBars();
    void SizeBars();
    void PlaceBitmap();
    // Scrolls so the bitmap point (x, y) lies at the middle of the paint area.
    void CenterOn(int x, int y);
    TRect GripRect() const;
    bool GripShown() const;

    void BitmapSizeChanged() override;
    void ScaleChanged() override;
    void Resize() override;
    void Loaded() override;
    void Paint(QPainter& canvas) override;
    void MouseDown(TLayerButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;

protected:
    virtual void NotifyScroll();
    virtual void BarMoved(TComponent* bar);

private:
    bool centered_ = true;
    std::unique_ptr<TIVScrollProperties> scrollBars_;
    TSizeGripStyle sizeGrip_ = sgAuto;
};

class TArgbImgView : public TCustomArgbImgView {
public:
    using TCustomArgbImgView::TCustomArgbImgView;
};
