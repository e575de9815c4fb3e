#pragma once
// The decorations' own pictures (frame, outline, logo, the text stamp's
// panel picture, the mask) read once per build instead of once per photo.
// Only while a TDecorationPictureCache lives (the build holds one around its
// items); a file that changes during a build is not read again. Outside a
// build every call reads its file, as before.

#include <functional>
#include <memory>
#include <string>

class TRasterDIB;

class TDecorationPictureCache {
public:
    TDecorationPictureCache();
    ~TDecorationPictureCache();
    TDecorationPictureCache(const TDecorationPictureCache&) = delete;
    TDecorationPictureCache& operator=(const TDecorationPictureCache&) = delete;
};

// The picture load() makes for key, kept under that key while a cache lives
// (a null picture too: the file is not tried again). An exception from
// load() passes through and nothing is kept.
using TDecorationPictureLoad = std::function<std::unique_ptr<TRasterDIB>()>;
std::shared_ptr<const TRasterDIB> CachedDecorationPicture(const std::string& key, const TDecorationPictureLoad& load);

// A stored decoration file (relative names in the program folder) as a
// 24-bit picture; null when it is missing, empty or unreadable.
std::shared_ptr<const TRasterDIB> DecorationPicture(const std::string& stored);

// How often a decoration picture was read from its file (for tests).
int DecorationPictureReads();
