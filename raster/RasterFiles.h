#pragma once
// BMP files read and written for TRasterDIB buffers, and JPEG files through
// our JPEG library (libijl15.so), loaded by name when the program starts.

#include "platform/streams/Streams.h"
#include "raster/RasterDIB.h"

#include <string>

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

// Without the JPEG library both do nothing. A file that cannot be decoded
// leaves the buffer empty (0 by 0); a picture past MaxPixelCount and a
// failed write raise EJpegError.
void ReadJpegFile(TRasterDIB& dib, const std::string& fileName, std::uint8_t option);
void WriteJpegFile(TRasterDIB& dib, const std::string& fileName, int quality);

// The JPEG library: loaded once at start-up (beside the executable, then the
// default library path). JpegLibraryPresent tells whether it was found.
bool JpegLibraryPresent();
// Unloads the library and loads it again from `path` (empty: the usual
// search). Tests use it to name a missing file and see the "absent" path.
bool ReloadJpegLibrary(const std::string& path = std::string());
// The USECPU value written to the registry when the library loads.
std::uint32_t JpegProcessorValue(const TCPUInfo& info);
