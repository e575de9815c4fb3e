#pragma once
// The start of a build item's thumbnail, made from the source the image copy
// decoded: the image copy and the thumbnail both load the same file, and a
// 12-megapixel decode costs far more than a resampling. The thumbnail's first
// step (resampling to its size) needs only the decoded source, so the image
// copy makes it before it changes the source in place, and the thumbnail
// continues from it; no full-size copy of the source is kept. Only active
// while a TSourcePictureCache lives (the build holds one around each item);
// everything else decodes.

#include <memory>
#include <string>

class TRasterDIB;

class TSourcePictureCache {
public:
    TSourcePictureCache();
    ~TSourcePictureCache();
    TSourcePictureCache(const TSourcePictureCache&) = delete;
    TSourcePictureCache& operator=(const TSourcePictureCache&) = delete;
};

// The thumbnail settings its start depends on.
struct TThumbnailGeometry {
    int Size = 0;  // 0 percent, 1 pixel, 2 crop
    bool Lock = false;
    int Width = 0, Height = 0;
    friend bool operator==(const TThumbnailGeometry&, const TThumbnailGeometry&) = default;
};

// True while a cache is alive (only then is a start worth making).
bool SourcePictureCacheActive();
// Keeps the resampled start of fileName's thumbnail when a cache is active.
void RememberThumbnailStart(const std::string& fileName, const TThumbnailGeometry& geometry,
                            std::unique_ptr<TRasterDIB> start);
// True when the active cache holds the start of this file's thumbnail for the
// same geometry, and the file is unchanged since (size and modification
// time); dib then receives it and the cache lets it go.
bool TakeThumbnailStart(TRasterDIB& dib, const std::string& fileName, const TThumbnailGeometry& geometry);
// Starts handed out by a cache since the program started (for tests).
int CachedSourcePictureHits();
