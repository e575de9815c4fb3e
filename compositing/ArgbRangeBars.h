#pragma once
// Two self-drawn scroll-bar controls: TArrowBar (two arrow buttons, a track
// and a repeat timer) and TCustomRangeBar (a floating-point Position, Range
// and visible Window with a draggable handle), plus TArrowBarAccess, which
// forwards a set of settings to a master bar and an optional slave bar.
//
// Coordinates along the bar are x for a horizontal bar and y for a vertical
// one. Mouse input arrives through MouseDown / MouseMove / MouseUp, which
// the control's widget calls (and tests may call directly).

#include "compositing/Argb.h"
#include "platform/gui/Gui.h"

#include <array>
#include <memory>

class QPainter;
class QRect;
class QTimer;
class ArrowBarSurface;

enum TRBBackgnd { bgPattern = 0, bgSolid = 1, bgMix = 2 };
enum TScrollBarKind { sbHorizontal = 0, sbVertical = 1 };
enum class TBarBorderStyle { None = 0, Single = 1 };
enum TRBDirection { drLeft, drUp, drRight, drDown };

// Each of red, green and blue of the resolved colour plus amount, clamped to 0..255.
TColor LightenColor(TColor color, int amount);
// w clamped to 0..255; each byte (w * c1 + (255 - w) * c2) div 255.
TColor MixColors(TColor c1, TColor c2, int w);
// count nested one-pixel frames: top and left in topLeft, bottom and right in
// bottomRight; rect shrinks by count on every side.
void FrameNested3D(QPainter& canvas, QRect& rect, TColor topLeft, int count, TColor bottomRight);

class TArrowBar : public TControl {
public:
    TArrowBar(TComponent* owner, std::string name, QWidget* parent);
    ~TArrowBar() override;

    int Width() const;
    int Height() const;
    // Moves and sizes the bar; a new size runs Resize.
    void SetBounds(int left, int top, int width, int height);

    TRBBackgnd Backgnd() const { return backgnd_; }
    void SetBackgnd(TRBBackgnd value);
    TBarBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBarBorderStyle value);
    int ButtonSize() const { return buttonSize_; }
    void SetButtonSize(int value);
    bool Framed() const { return framed_; }
    void SetFramed(bool value);
    TColor HandleColor() const { return handleColor_; }
    void SetHandleColor(TColor value);
    TScrollBarKind Kind() const { return kind_; }
    void SetKind(TScrollBarKind value);
    bool ShowArrows() const { return showArrows_; }
    void SetShowArrows(bool value);
    bool ShowHandleGrip() const { return showHandleGrip_; }
    void SetShowHandleGrip(bool value);
    // The colour rebuilds the track pattern and repaints; so does enabling.
    void SetColor(TColor color);
    void SetEnabled(bool enabled);

    TNotifyEvent OnChange;
    // Also fired for changes the user makes with the mouse.
    TNotifyEvent OnUserChange;

    // The pressed zone: 0 none, 1 first arrow, 2 second arrow, 3 handle,
    // 4 track before the handle, 5 track after it.
    int Zone() const { return zone_; }
    int ButtonLength() const;
    virtual int GetZone(int x, int y) const;
    virtual bool IsActive() const { return Enabled(); }
    // The 8 x 8 track brush, row by row.
    const std::array<TColor, 64>& Pattern() const { return pattern_; }
    bool TimerActive() const;
    int TimerInterval() const;

    virtual void MouseDown(TMouseButton button, int x, int y);
    virtual void MouseMove(int x, int y);
    virtual void MouseUp(TMouseButton button, int x, int y);
    // The repeat timer's tick.
    void TimerTick();
    void Repaint();
    virtual void Paint(QPainter& canvas);

protected:
    virtual void DoChange();
    virtual void DrawButton(QPainter& canvas, const QRect& rect, bool pushed, bool enabled, TRBDirection direction);
    virtual void RebuildPattern();
    virtual void RepeatAction() {}
    virtual void Resize() {}
    virtual void PaintTrackExtras(QPainter&, const QRect&) {}
    // The client rectangle without the single border.
    QRect ClientArea() const;
    int Length() const;  // along the bar
    void StopTimer();
    void ClearZone() { zone_ = 0; }

    bool userChange_ = false;
    TPoint mouseDownPoint_;

private:
    friend class ArrowBarSurface;
    void sizeChanged();
    ArrowBarSurface* surface_ = nullptr;  // null once Qt has deleted the widget

    TRBBackgnd backgnd_ = bgPattern;
    TBarBorderStyle borderStyle_ = TBarBorderStyle::None;
    int buttonSize_ = 0;
    bool framed_ = true;
    TColor handleColor_;
    TScrollBarKind kind_ = sbHorizontal;
    bool showArrows_ = true;
    bool showHandleGrip_ = true;
    int zone_ = 0;
    std::array<TColor, 64> pattern_{};
    std::unique_ptr<QTimer> timer_;
    bool timerFirst_ = false;
    int lastWidth_ = -1, lastHeight_ = -1;
};

class TCustomRangeBar : public TArrowBar {
public:
    TCustomRangeBar(TComponent* owner, std::string name, QWidget* parent);

    bool Centered = false;
    float Increment() const { return increment_; }
    // Values below 0.001 become 0.001.
    void SetIncrement(float value);
    float Position() const { return position_; }
    void SetPosition(float value);
    float Range() const { return range_; }
    void SetRange(float value) { SetParams(window_, value); }
    float Window() const { return window_; }
    void SetWindow(float value) { SetParams(value, range_); }
    // Negative values count as 0. A centred bar keeps the point at the
    // middle of its window at the same ratio of the range.
    void SetParams(float newWindow, float newRange);
    // Window when positive, else the bar's length.
    float EffectiveWindow() const;
    // Into 0 .. Range - EffectiveWindow (0 when the range is smaller).
    void AdjustPosition();
    // Enabled, and the window smaller than the range.
    bool IsActive() const override;
    // Empty when the track is 17 pixels or shorter.
    TRect HandleRect() const;
    int GetZone(int x, int y) const override;

    void MouseDown(TMouseButton button, int x, int y) override;
    void MouseMove(int x, int y) override;

protected:
    void RepeatAction() override;
    void Resize() override;
    void PaintTrackExtras(QPainter& canvas, const QRect& track) override;
    virtual void DrawHandle(QPainter& canvas, const QRect& rect, bool pushed, bool horizontal);

private:
    float increment_ = 8.0f;
    float position_ = 0;
    float range_ = 0;
    float window_ = 0;
    float dragStartPosition_ = 0;
    mutable float lastEffectiveWindow_ = 0;
};

// The settings of a master bar, written to a slave bar too.
class TArrowBarAccess : public TPersistent {
public:
    const char* ClassName() const override { return "TArrowBarAccess"; }
    TArrowBar* Master = nullptr;
    TArrowBar* Slave = nullptr;

    TColor Color() const { return Master->Color(); }
    void SetColor(TColor value);
    TRBBackgnd Backgnd() const { return Master->Backgnd(); }
    void SetBackgnd(TRBBackgnd value);
    TBarBorderStyle BorderStyle() const { return Master->BorderStyle(); }
    void SetBorderStyle(TBarBorderStyle value);
    int ButtonSize() const { return Master->ButtonSize(); }
    void SetButtonSize(int value);
    bool Framed() const { return Master->Framed(); }
    void SetFramed(bool value);
    TColor HandleColor() const { return Master->HandleColor(); }
    void SetHandleColor(TColor value);
    bool ShowArrows() const { return Master->ShowArrows(); }
    void SetShowArrows(bool value);
    bool ShowHandleGrip() const { return Master->ShowHandleGrip(); }
    void SetShowHandleGrip(bool value);
    // Copies the settings of another access object.
    void Assign(const TPersistent* source) override;

private:
    template <class Setter>
    void both(Setter set)
    {
        set(Master);
        if (Slave) set(Slave);
    }
};
