#include "gallery/pictures/pvutilsDecorationCache.h"

#include "gallery/pictures/pvutilsDecorations.h"
#include "gallery/pictures/pvutilsPictures.h"
#include "platform/system/System.h"
#include "raster/RasterDIB.h"

#include <map>
#include <new>

namespace {

int activeCaches = 0;
std::map<std::string, std::shared_ptr<const TRasterDIB>> pictures;
int reads = 0;

}  // namespace

TDecorationPictureCache::TDecorationPictureCache() { ++activeCaches; }

TDecorationPictureCache::~TDecorationPictureCache()
{
    if (--activeCaches == 0) pictures.clear();
}

std::shared_ptr<const TRasterDIB> CachedDecorationPicture(const std::string& key, const TDecorationPictureLoad& load)
{
    if (activeCaches > 0)
        if (const auto found = pictures.find(key); found != pictures.end()) return found->second;
    ++reads;
    std::shared_ptr<const TRasterDIB> picture = load();
    if (activeCaches > 0) pictures.emplace(key, picture);
    return picture;
}

std::shared_ptr<const TRasterDIB> DecorationPicture(const std::string& stored)
{
    const std::string path = DecorationFilePath(stored);
    return CachedDecorationPicture(path, [&path]() -> std::unique_ptr<TRasterDIB> {
        if (path.empty() || !FileExists(path)) return nullptr;
        auto dib = std::make_unique<TRasterDIB>();
        try {
            LoadImageFile(*dib, path);
        } catch (const Exception&) {
            return nullptr;
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        if (!dib->Bits || dib->Width() <= 0 || dib->AbsHeight <= 0 || dib->BitCount() != 24) return nullptr;
        return dib;
    });
}

int DecorationPictureReads() { return reads; }
