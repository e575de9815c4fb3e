#include "MakersWindowTestSupport.h"

#include "raster/RasterDIB.h"
#include "raster/RasterFiles.h"

std::shared_ptr<TRasterDIB> NewTestPicture() { return std::make_shared<TRasterDIB>(); }

std::pair<int, int> TestPictureSize(const TRasterDIB& picture) { return {picture.Width(), picture.AbsHeight}; }

void WriteTestBmp(const std::string& path, int width, int height)
{
    TRasterDIB dib;
    dib.SetSize(width, height, 24);
    for (int row = 0; row < height; ++row)
        for (int x = 0; x < width; ++x)
            dib.SetPixelColor(row, x, x < width / 2 ? TColorTriple{0, 0, 255} : TColorTriple{255, 0, 0});
    WriteBmpFile(dib, path);
}
