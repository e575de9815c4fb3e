#include "gallery/pictures/pvutilsSourceCache.h"

#include "platform/system/System.h"
#include "raster/RasterDIB.h"

#include <sys/stat.h>

namespace {

struct CachedStart {
    std::string fileName;
    TThumbnailGeometry geometry;
    long long size = -1;
    long long modified = -1;
    std::unique_ptr<TRasterDIB> picture;
};

int activeCaches = 0;
CachedStart cached;
int hits = 0;

bool FileIdentity(const std::string& fileName, long long& size, long long& modified)
{
    struct stat info {};
    if (stat(ToFileSystemPath(fileName).c_str(), &info) != 0) return false;
    size = static_cast<long long>(info.st_size);
    modified = static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
    return true;
}

void Forget() { cached = CachedStart(); }

}  // namespace

TSourcePictureCache::TSourcePictureCache() { ++activeCaches; }

TSourcePictureCache::~TSourcePictureCache()
{
    if (--activeCaches == 0) Forget();
}

bool SourcePictureCacheActive() { return activeCaches > 0; }

void RememberThumbnailStart(const std::string& fileName, const TThumbnailGeometry& geometry,
                            std::unique_ptr<TRasterDIB> start)
{
    if (activeCaches == 0) return;
    Forget();
    if (!start) return;
    CachedStart entry;
    if (!FileIdentity(fileName, entry.size, entry.modified)) return;
    entry.fileName = fileName;
    entry.geometry = geometry;
    entry.picture = std::move(start);
    cached = std::move(entry);
}

bool TakeThumbnailStart(TRasterDIB& dib, const std::string& fileName, const TThumbnailGeometry& geometry)
{
    if (activeCaches == 0 || !cached.picture || cached.fileName != fileName || !(cached.geometry == geometry))
        return false;
    long long size = 0, modified = 0;
    const bool same = FileIdentity(fileName, size, modified) && size == cached.size && modified == cached.modified;
    if (same) {
        dib.TakeOver(std::move(cached.picture));
        ++hits;
    }
    Forget();
    return same;
}

int CachedSourcePictureHits() { return hits; }
