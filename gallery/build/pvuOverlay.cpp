// The masked overlay: a grey mask picture decides, pixel by pixel, how much
// of the picture shows and how much of a flat background colour shows
// instead. The main window's hidden image view composites it.
//
// Besides the view's own bitmap, at most four picture-sized 32-bit buffers
// live at once (the layer's bitmap, the stretched mask, the mask itself when
// it is as large, the rendering), and all of them are gone when ApplyOverlay
// returns, the view's bitmap included.

#include "gallery/mainwindow/pvu.h"

#include "compositing/ArgbFilters.h"
#include "compositing/ArgbImage.h"
#include "gallery/records/PropertyRecords.h"
#include "gallery/records/pvutils.h"
#include "gallery/pictures/pvutilsDecorations.h"
#include "gallery/pictures/pvutilsPictures.h"
#include "platform/system/System.h"
#include "raster/RasterDIB.h"

#include <memory>

void TForm1::CreateImgView()
{
    ImgView = Make<TArgbImgView>("ImgView", Client());
    ImgView->SetVisible(false);
    ImgView->SetBounds(0, 0, 57, 54);
    ImgView->SetScale(1);
    ImgView->SetSizeGrip(sgAuto);
    ImgView->ScrollBars()->SetColor(SystemColor(COLOR_BTNSHADOW));
    ImgView->ScrollBars()->SetHandleColor(SystemColor(COLOR_BTNSHADOW));
    ImgView->ScrollBars()->SetShowHandleGrip(true);
    // The mask slot is this window's; the other decorations need no window.
    Decorations = StandardDecorationHooks();
    Decorations.ApplyOverlay = [this](TRasterDIB& picture, const std::string& record, const std::string&) {
        ApplyMaskRecord(picture, record);
    };
}

void TForm1::ResetCompositor(int width, int height, TArgbColor color)
{
    ImgView->Layers()->Clear();
    ImgView->SetScale(1);
    ImgView->Bitmap()->SetSize(width, height);
    ImgView->Bitmap()->Clear(color);
}

void TForm1::ApplyMaskRecord(TRasterDIB& picture, const std::string& record)
{
    auto number = [&](int field) { return StrToInt(GetField(0, record, field)); };
    const std::string file = RecordText(1, record, MaskField::File);
    const int brightening = number(MaskField::Transparency);
    const int scale = number(MaskField::Scale);
    const int kind = number(MaskField::BackgroundKind);
    const TColor background = TColor(number(MaskField::BackgroundColor));
    const int invert = number(MaskField::Invert);
    ApplyOverlay(picture, file, GetField(1, record, MaskField::Extra1), invert, background, scale, kind, brightening);
}

namespace {

// The composite back into the picture: through its DC when it has one (the
// 24-bit picture takes the colour bytes), else through its header's layout.
void copyBack(TArgbBitmap& composite, TRasterDIB& picture)
{
    if (picture.DC) {
        composite.DrawToDC(picture.DC, 0, 0);
        return;
    }
    BITMAPINFO info{};
    info.bmiHeader = picture.Header;
    GetDIBits(nullptr, composite.Handle(), 0, unsigned(composite.Height()), picture.Bits, &info, DIB_RGB_COLORS);
}

}  // namespace

void TForm1::ApplyOverlay(TRasterDIB& picture, const std::string& maskFile, const std::string&, int invert,
                          TColor background, int scale, int, int brightening)
{
    const int w = picture.Width(), h = picture.AbsHeight;
    if (w <= 0 || h <= 0 || !picture.Bits) return;
    if (!FileExists(ToFileSystemPath(maskFile))) return;
    // A mask scaled to nothing is no mask.
    if (scale <= 0) return;
    TRasterDIB maskPicture;
    LoadScaledImage(maskPicture, maskFile, scale, invert, brightening);
    // A mask that does not load leaves the picture as it is.
    if (maskPicture.Width() <= 0 || maskPicture.AbsHeight <= 0 || !maskPicture.Bits) return;

    // Every picture starts from a fresh compositor, whatever the record's kind.
    ResetCompositor(w, h, ArgbFromColor(background));
    try {
        auto* layer = ImgView->Layers()->AddLayer<TBitmapLayer>();
        TArgbBitmap& layerBitmap = *layer->Bitmap();
        layerBitmap.SetSize(w, h);
        picture.Draw(layerBitmap.DC(), 0, 0);
        layerBitmap.SetDrawMode(dmBlend);
        {
            auto mask = std::make_unique<TArgbBitmap>();
            mask->SetSize(maskPicture.Width(), maskPicture.AbsHeight);
            maskPicture.Draw(mask->DC(), 0, 0);
            maskPicture.SetSize(0, 0, 24);
            GrayscaleFromColor(mask.get(), mask.get());
            auto stretched = std::make_unique<TArgbBitmap>();
            stretched->SetSize(w, h);
            mask->DrawTo(stretched.get(), TRect{0, 0, w, h});
            mask.reset();
            // White mask pixels show the picture, black ones the background.
            AlphaFromIntensity(&layerBitmap, stretched.get());
        }
        // The layer covers the picture exactly.
        layer->SetLocation(TSingleRect{0, 0, float(w), float(h)});
        layer->SetScaled(true);

        auto rendering = std::make_unique<TArgbBitmap>();
        rendering->SetSize(w, h);
        ImgView->PaintTo(rendering.get(), TRect{0, 0, w, h});
        ImgView->Layers()->Clear();
        ImgView->SetBitmap(rendering.get());
        rendering.reset();
        copyBack(*ImgView->Bitmap(), picture);
    } catch (...) {
        ResetCompositor(0, 0, 0);
        throw;
    }
    ResetCompositor(0, 0, 0);
}
