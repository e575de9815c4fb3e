#pragma once
// One decoded source picture kept across the two loads of a build item: the
// image copy and the thumbnail both load the same file, and a 12-megapixel
// decode costs far more than a copy. Only active while a TSourcePictureCache
// lives (the build holds one around each item); everything else decodes.

#include <string>

class TRasterDIB;

class TSourcePictureCache {
public:
    TSourcePictureCache();
    ~TSourcePictureCache();
    TSourcePictureCache(const TSourcePictureCache&) = delete;
    TSourcePictureCache& operator=(const TSourcePictureCache&) = delete;
};

// For LoadImageFile, before decoding: true when the active cache holds the
// picture of this file (same size and modification time as when it was
// decoded); dib then receives it and the cache lets it go.
bool TakeCachedSourcePicture(TRasterDIB& dib, const std::string& fileName);
// For LoadImageFile, after a successful decode: keeps a copy when a cache is active.
void RememberSourcePicture(const TRasterDIB& dib, const std::string& fileName);
// Pictures handed out by a cache since the program started (for tests).
int CachedSourcePictureHits();
