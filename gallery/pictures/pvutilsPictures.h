#pragma once
// Pictures between files and the working pixel buffer, and output file names.
// The geometry the makers and decorations share is in
// gallery/pictures/pvutilsGeometry.h, the GIF writer in gallery/pictures/pvutilsGif.h.

#include "gallery/pictures/pvutilsGif.h"
#include "platform/core/Exception.h"
#include "raster/RasterDIB.h"

#include <cstdint>
#include <string>

// ESaveImageError, the error of a picture that could not be written, is
// declared with the GIF writer (gallery/pictures/pvutilsGif.h), the lowest writer.

// Width and height both above 0 ("loaded").
bool PictureLoaded(const TRasterDIB& dib);

// Output kinds of SaveImageFile.
enum TOutputKind : int { okJpeg = 0, okGif = 1, okBmpRaster = 3, okBmpBuffer = 4 };

// Fills dib from the file: JPEG and BMP through the raster core, every other
// extension through the picture registry (InitializeImageFormats must have
// run). A JPEG is turned upright by its EXIF orientation first. The result is 24 bits per pixel, or empty (0 x 0) when
// the file could not be decoded: corrupt, truncated, too large, or the JPEG library missing. A file that does not exist
// leaves dib as it was. An extension no loader is registered for raises EInvalidGraphic "Unknown picture file extension
// (.%s)".
void LoadImageFile(TRasterDIB& dib, const std::string& fileName);

// Loads an overlay picture: inverted when invert is 1, brightened by three
// times brightness, and at percent other than 100 scaled down into the middle
// of a black picture of its own size.
void LoadScaledImage(TRasterDIB& dib, const std::string& fileName, int percent, int invert, int brightness);

// Writes dib to target in the given kind: 0 JPEG with quality 1..100 (the
// JPEG writer holds other values to that range), 1 GIF
// with at most `colors` colours (2..256; the "Colors" setting), 3 BMP by the
// raster writer, 4 BMP by the buffer's own writer. With keepDate the target
// gets the packed file date dateSource had before the write (none when
// dateSource cannot be opened). Returns only when the file was written: every
// failure raises (ESaveImageError for an unknown kind, an empty picture or a
// missing JPEG library; the writers' own errors otherwise), and no partly
// written file is left behind.
void SaveImageFile(TRasterDIB& dib, const std::string& dateSource, const std::string& target, int kind, int quality,
                   bool keepDate, int colors = 255);

// Writes dib over the JPEG file `path` as the upright picture it is, at the
// given quality, keeping the photo's metadata (EXIF with orientation 1, XMP,
// ICC profile, comments; SegmentsForUprightCopy), its permissions and its
// access and modification times to the nanosecond. The new file is written
// beside the old one and takes its place only when whole, so a failed write
// leaves the photo as it was. Raises ESaveImageError or the writer's error.
void RewriteJpegFile(TRasterDIB& dib, const std::string& path, int quality);

// Forms an output name relative to the destination folder (see the notes in
// pvutilsPictures.cpp): mode 0 from the pattern, renumbered by number; mode 1
// the name put in place of the first '*' of templ. '\' becomes '/', and empty,
// "." and ".." folder steps are dropped so no name leaves the destination.
void MakeTargetFileName(int mode, const std::string& pattern, const std::string& defaultName, std::string& result,
                        int number, int numbering, const std::string& templ);

// The filter of the picture open dialogs ("description|masks|..."): "All
// formats" with every extension the picture registry holds, the program's
// listed formats (JPEG, GIF, Photoshop, TIFF, Targa, metafiles, BMP, icons,
// PCX, Dr. Halo, Photo-CD), then every other registered format under its own
// description, in the order the formats were registered.
std::string PictureFilesFilter();

// The name a picture of the kind is written under: the name itself when it
// already ends in an extension of what the kind writes (".jpg" or ".jpeg" for
// JPEG, ".gif" for GIF, ".bmp" for BMP; any case), else the name with that
// extension appended ("rose.png" holding JPEG is "rose.png.jpg", so it never
// meets the copy of "rose.tif"). A name without a file part stays as it is.
std::string OutputPictureName(int kind, const std::string& name);

// Keeps a relative output name inside its folder: '\' -> '/', empty, "." and
// ".." steps dropped (so also any leading '/').
std::string ContainedRelativePath(const std::string& name);
