// The picture side of the build: buffers, measuring and saving.
#include "gallery/pvuBuild.h"

#include "gallery/pvutilsPictures.h"
#include "platform/system/System.h"
#include <memory>

void TRasterDIBDeleter::operator()(TRasterDIB* picture) const { std::default_delete<TRasterDIB>{}(picture); }

TPicturePtr NewPicture() { return TPicturePtr(std::make_unique<TRasterDIB>().release()); }

void PictureSize(const TRasterDIB& picture, int& width, int& height, int* colours) {
    width = picture.Width();
    height = picture.AbsHeight;
    if (colours) *colours = picture.CountColors();
}

void SavePicture(TRasterDIB& picture, const std::string& dateSource, const std::string& target, int kind,
                 int quality, bool keepDate, int colors) {
    SaveImageFile(picture, dateSource, target, kind, quality, keepDate, colors);
}

void MeasurePictureFile(const std::string& fileName, int& width, int& height, int* colours) {
    if (!FileExists(fileName)) return;
    TRasterDIB picture;
    LoadImageFile(picture, fileName);
    PictureSize(picture, width, height, colours);
}

std::string TargetFileName(int mode, const std::string& pattern, const std::string& defaultName, int number,
                           int numbering, const std::string& templ) {
    std::string result;
    MakeTargetFileName(mode, pattern, defaultName, result, number, numbering, templ);
    return result;
}
