#pragma once
// Path helpers of the build driver: where outputs may go and which source
// folders a destination would overwrite.

#include <memory>
#include <string>

// The folder's absolute path with symbolic links, "." and ".." resolved; a
// part that does not exist yet is resolved through its nearest existing parent.
// No trailing '/', except for the root itself.
std::string CanonicalFolderPath(const std::string& folder);

// True when folder is the container itself or lies somewhere below it, both
// compared as canonical paths, ASCII letters without regard to case (a
// refusal too many is harmless; overwriting an original is not).
bool FolderLiesWithin(const std::string& folder, const std::string& container);

// An output name made safe to join to the destination folder: '\' becomes
// '/', and empty, "." and ".." segments (a leading '/' too) are dropped, so
// the name can never leave the destination.
std::string SafeOutputName(const std::string& name);

// The build's picture work, kept in a unit of its own: the raster and window
// headers cannot meet in one translation unit (both name a font record TFontInfo).
class TRasterDIB;
struct TRasterDIBDeleter {
    void operator()(TRasterDIB* picture) const;
};
using TPicturePtr = std::unique_ptr<TRasterDIB, TRasterDIBDeleter>;
TPicturePtr NewPicture();
// Width, height and (when asked for) the colour count of a picture.
void PictureSize(const TRasterDIB& picture, int& width, int& height, int* colours);
// SaveImageFile of the picture (colors: the GIF palette limit); raises what the writer raises.
void SavePicture(TRasterDIB& picture, const std::string& dateSource, const std::string& target, int kind,
                 int quality, bool keepDate, int colors);
// Loads a picture file (when it exists) and measures it; width and height stay when it does not load.
void MeasurePictureFile(const std::string& fileName, int& width, int& height, int* colours);
// MakeTargetFileName's result (see pvutilsPictures.h).
std::string TargetFileName(int mode, const std::string& pattern, const std::string& defaultName, int number,
                           int numbering, const std::string& templ);
