// The desktop's clipboard for TArgbBitmap's Assign and AssignTo.

#include "compositing/ArgbClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>

#include <cstring>

std::unique_ptr<TGraphic> TArgbClipboard::GetPicture()
{
    const QImage image = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_ARGB32);
    if (image.isNull()) return nullptr;
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(pf32bit);
    bitmap->SetSize(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(bitmap->ScanLine(y), image.constScanLine(y), std::size_t(image.width()) * 4);
    return bitmap;
}

void TArgbClipboard::SetBitmap(const TBitmap& bitmap)
{
    TBitmap copy = bitmap;
    copy.SetPixelFormat(pf32bit);
    QImage image(copy.Width(), copy.Height(), QImage::Format_ARGB32);
    for (int y = 0; y < copy.Height(); ++y)
        std::memcpy(image.scanLine(y), copy.ScanLine(y), std::size_t(copy.Width()) * 4);
    QGuiApplication::clipboard()->setImage(image);
}
