#include "gallery/pvutilsSourceCache.h"

#include "platform/system/System.h"
#include "raster/RasterDIB.h"

#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace {

struct CachedPicture {
    std::string fileName;
    long long size = -1;
    long long modified = -1;
    std::unique_ptr<TRasterDIB> picture;
};

int activeCaches = 0;
CachedPicture cached;
int hits = 0;

bool FileIdentity(const std::string& fileName, long long& size, long long& modified) {
    struct stat info {};
    if (stat(ToFileSystemPath(fileName).c_str(), &info) != 0) return false;
    size = static_cast<long long>(info.st_size);
    modified = static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
    return true;
}

void Forget() { cached = CachedPicture(); }

}  // namespace

TSourcePictureCache::TSourcePictureCache() { ++activeCaches; }

TSourcePictureCache::~TSourcePictureCache() {
    if (--activeCaches == 0) Forget();
}

bool TakeCachedSourcePicture(TRasterDIB& dib, const std::string& fileName) {
    if (activeCaches == 0 || !cached.picture || cached.fileName != fileName) return false;
    long long size = 0, modified = 0;
    const bool same = FileIdentity(fileName, size, modified) && size == cached.size && modified == cached.modified;
    if (same) {
        dib.TakeOver(std::move(cached.picture));
        ++hits;
    }
    Forget();
    return same;
}

void RememberSourcePicture(const TRasterDIB& dib, const std::string& fileName) {
    if (activeCaches == 0) return;
    Forget();
    if (dib.Width() <= 0 || dib.AbsHeight <= 0 || dib.Header.BitCount != 24 || !dib.Bits) return;
    CachedPicture entry;
    if (!FileIdentity(fileName, entry.size, entry.modified)) return;
    entry.fileName = fileName;
    entry.picture = std::make_unique<TRasterDIB>();
    entry.picture->UseGDI = dib.UseGDI;
    entry.picture->SetSize(dib.Width(), dib.Header.Height, 24);
    if (entry.picture->Stride != dib.Stride) return;
    std::memcpy(entry.picture->Bits, dib.Bits, static_cast<std::size_t>(dib.Stride) * dib.AbsHeight);
    cached = std::move(entry);
}

int CachedSourcePictureHits() { return hits; }
