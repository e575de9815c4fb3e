#pragma once
// The picture control: a window that paints a TRasterDIB in one of five draw
// styles, stretching by nearest neighbour (smGDI) or through the raster
// core's resamplers into a working copy. It paints through QPainter straight
// from the buffers and never erases its background first: every paint covers
// the whole control, the parts the picture leaves free in the control's Color.
//
// This file is the raster core's only window; it is built as its own library
// (raster_view) over platform/gui so the raster library itself stays Qt-free.

#include "platform/gui/Gui.h"
#include "platform/streams/Streams.h"
#include "raster/RasterDIB.h"

#include <QPointer>
#include <QWidget>

#include <string>

class QImage;
class QPainter;
class QRect;

enum TSizeMode { smGDI, smFast, smBilinear };
enum TDrawStyle { dsDraw, dsStretch, dsResize, dsTile, dsCenter };
// alClient: the control follows its parent's client area.
enum TAlign { alNone, alClient };

class TRasterView : public TControl {
public:
    TRasterView(TComponent* owner, std::string name, QWidget* parent);
    ~TRasterView() override;

    TRasterDIB WorkDIB;     // the resampled copy a paint draws
    TRasterDIB PictureDIB;  // the picture; callers fill it and call Refresh

    // "(None)" or "(TRasterDIB)". Setting a file name reads the file as DIB
    // data (a BMP file); a missing or unreadable file empties both buffers.
    std::string Picture() const { return picture_; }
    void SetPicture(const std::string& fileName);
    bool AutoSize() const { return autoSize_; }
    // With a picture, the control takes the picture's size and stops following its parent.
    void SetAutoSize(bool autoSize);
    TSizeMode SizeMode() const { return sizeMode_; }
    void SetSizeMode(TSizeMode mode);
    TDrawStyle DrawStyle() const { return drawStyle_; }
    void SetDrawStyle(TDrawStyle style);
    TAlign Align() const { return align_; }
    void SetAlign(TAlign align);
    // The colour of everything the picture does not cover; repaints.
    void SetColor(TColor color);

    // Schedules a repaint after PictureDIB changed (AutoSize is applied again).
    void Refresh();
    // Paints the whole control onto painter, as a paint event does.
    void PaintTo(QPainter& painter);

    // DIB data: a BMP stream. Reading replaces PictureDIB (an unreadable
    // stream empties it and raises the reader's error); writing stores
    // PictureDIB when it has pixels.
    virtual void ReadDIBData(TStream& stream);
    virtual void WriteDIBData(TStream& stream);

    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;

private:
    class Surface;
    friend class Surface;
    void FollowParent();
    void FillOutside(QPainter& painter, const QRect& picture) const;
    void DrawPicture(QPainter& painter, int x, int y) const;
    void StretchPicture(QPainter& painter, const QRect& target);
    void PaintResized(QPainter& painter);

    QPointer<QWidget> surface_;  // gone first when a form destroys its window
    std::string picture_ = "(None)";
    bool autoSize_ = false;
    TSizeMode sizeMode_ = smGDI;
    TDrawStyle drawStyle_ = dsDraw;
    TAlign align_ = alNone;
};

// The buffer as a 32-bit image, top row first whatever the buffer's row order;
// 1-, 4- and 8-bit pixels through the palette, 16- and 32-bit ones through
// their channel masks. An empty or unsupported buffer gives a null image.
QImage RasterToImage(const TRasterDIB& dib);
