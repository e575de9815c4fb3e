#pragma once
// BMP files read and written for TRasterDIB buffers, and JPEG files through
// our JPEG library (libijl15.so), loaded by name when the program starts.

#include "platform/jpeg/JpegMetadata.h"
#include "platform/streams/Streams.h"
#include "raster/RasterDIB.h"

#include <string>
#include <vector>

// A BMP file that cannot be read: malformed header, sizes, offsets or runs.
class EBmpError : public ERasterError {
public:
    using ERasterError::ERasterError;
};
// A JPEG file that could not be written, or whose picture is too large to hold.
class EJpegError : public ERasterError {
public:
    using ERasterError::ERasterError;
};

// What the BMP reader does with a colour table or pixel data that the file
// cuts short. Keep: the missing rows stay as allocated. Refuse (every path
// that loads a picture for the user): raise EBmpError for a cut colour table,
// missing rows, or run-length data that ends before its end code. In both
// modes run-length data that could not fill its picture (more than 4096
// pixels per byte left) is refused before the picture is allocated.
enum class TBmpShortData { Keep, Refuse };

void ReadBmpFile(TRasterDIB& dib, const std::string& fileName, TBmpShortData shortData = TBmpShortData::Keep);
void WriteBmpFile(TRasterDIB& dib, const std::string& fileName);
void ReadBmpStream(TRasterDIB& dib, TStream& stream, TBmpShortData shortData = TBmpShortData::Keep);
void WriteBmpStream(const TRasterDIB& dib, TStream& stream);

// What a JPEG file holds besides its pixels.
struct TJpegMetadata {
    int Orientation = 1;                 // EXIF orientation, 1..8
    std::vector<TJpegSegment> Segments;  // application and comment segments, in file order
};

// Without the JPEG library both do nothing. A file that cannot be decoded,
// or whose data is too short to fill the picture its header claims, leaves
// the buffer empty (0 by 0) before the picture is allocated; a picture past
// MaxPixelCount and a failed write raise EJpegError. The pixels are read as
// stored: `metadata`, when given, receives the orientation to apply
// (OrientPicture) and the segments. `segments`, when given, go into the
// written file after its JFIF header.
void ReadJpegFile(TRasterDIB& dib, const std::string& fileName, std::uint8_t option, TJpegMetadata* metadata = nullptr);
void WriteJpegFile(TRasterDIB& dib, const std::string& fileName, int quality,
                   const std::vector<TJpegSegment>* segments = nullptr);
// The header's metadata alone; false when the file is no readable JPEG (or
// the library is missing).
bool ReadJpegMetadata(const std::string& fileName, TJpegMetadata& metadata);
// Turns a picture read as stored into the upright one its EXIF orientation
// describes: mirrors, flips and quarter turns, pixel for pixel. Whole-byte
// depths (8 to 32 bits) keep their depth and palette; others become 24 bits
// when they need turning.
void OrientPicture(TRasterDIB& dib, int orientation);

// The JPEG library: loaded once at start-up (beside the executable, then the
// default library path). JpegLibraryPresent tells whether it was found.
bool JpegLibraryPresent();
// Unloads the library and loads it again from `path` (empty: the usual
// search). Tests use it to name a missing file and see the "absent" path.
bool ReloadJpegLibrary(const std::string& path = std::string());
// The USECPU value written to the registry when the library loads.
std::uint32_t JpegProcessorValue(const TCPUInfo& info);
