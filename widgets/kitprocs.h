#pragma once
// The kit's stream records (little-endian integers, bytes, short strings,
// sized blocks, string lists, bitmaps as DIB records, waves, compressed
// streams) and its bitmap drawing procedures.

#include "platform/core/Exception.h"
#include "platform/streams/Streams.h"
#include "widgets/kitutils.h"

#include <QImage>

#include <cstdint>
#include <string>
#include <vector>

class TStringList;
class TKitWave;
class QPainter;

// A record that does not hold what its header says (a DIB record that is not
// one, a size that runs past the data) raises this.
class EKitRecordError : public Exception {
public:
    using Exception::Exception;
};

void WriteIntegerRecord(TStream& stream, std::int32_t value);
std::int32_t ReadIntegerRecord(TStream& stream);
void WriteByteRecord(TStream& stream, std::uint8_t value);
std::uint8_t ReadByteRecord(TStream& stream);
void WriteBooleanRecord(TStream& stream, bool value);
bool ReadBooleanRecord(TStream& stream);
// One length byte, then the characters. Texts longer than 255 bytes keep their
// first 255 (the length byte cannot say more).
void WriteShortStringRecord(TStream& stream, const std::string& text);
std::string ReadShortStringRecord(TStream& stream);

// A 4-byte length n, then n bytes. Reading checks n against the bytes left.
void WriteSizedBlock(TStream& stream, const std::uint8_t* data, std::size_t size);
void WriteSizedBlock(TStream& stream, const std::vector<std::uint8_t>& data);
std::vector<std::uint8_t> ReadSizedBlock(TStream& stream);

// Compressed stream: 4-byte total, then blocks (4-byte length, block bytes),
// each block holding up to KitStreamBlockInput input bytes. Writing takes the
// source from its position to its end; reading appends what it expands to dest.
constexpr std::size_t KitStreamBlockInput = 32781;
void WriteCompressedStream(TStream& source, TStream& dest);
void ReadCompressedStream(TStream& source, TStream& dest);

// String lists: their text (CR LF after every line) in a sized block or a compressed stream.
void WriteStringListRecord(TStream& stream, const TStringList& list, bool compressed);
void ReadStringListRecord(TStream& stream, TStringList& list, bool compressed);

// DIB record (a whole BMP file). colorDepth: 0 the bitmap's own depth, 2 one
// bit, 16 four bits, 256 eight bits; 16- and 32-bit pictures are written as 24
// bits. A null picture raises "Bitmap image is not valid".
std::vector<std::uint8_t> MakeDIBRecord(const QImage& bitmap, int colorDepth);
void WriteDIBRecord(TStream& stream, const QImage& bitmap, int colorDepth);
// Reads an uncompressed 1, 4, 8, 24 or 32-bit DIB record held in bytes.
QImage ParseDIBRecord(const std::vector<std::uint8_t>& bytes);

// Bitmap records: uncompressed a sized block, compressed a compressed stream,
// either holding a DIB record (the bitmap's own depth unless colorDepth says).
void WriteBitmapRecord(TStream& stream, const QImage& bitmap, bool compressed, int colorDepth = 0);
QImage ReadBitmapRecord(TStream& stream, bool compressed);

// Wave records: the wave file's bytes in a sized block or a compressed stream.
void WriteWaveRecord(TStream& stream, const TKitWave& wave, bool compressed);
void ReadWaveRecord(TStream& stream, TKitWave& wave, bool compressed);

// Drawing procedures.
QImage FillBitmap(const TKitRect& rect, unsigned color);             // colour 0x00BBGGRR
QImage MakeTransparencyMask(const QImage& picture, unsigned color);  // black where opaque, white where transparent

namespace KitDraw {
constexpr unsigned Clip = 0x1, Center = 0x8, Stretch = 0x10, Tile = 0x20, Transparent = 0x40, BrushCopy = 0x80,
                   Masked = 0x100, KeepWidthScale = 0x200, KeepHeightScale = 0x400, RealizePalette = 0x1000;
}
// Draws the picture into target and returns the rectangle actually covered.
// offset: low word x, high word y, shifts the clip rectangle (0 = none).
// mask is used with KitDraw::Masked.
TKitRect DrawBitmapInRect(QPainter& canvas, const TKitRect& target, const QImage& picture, unsigned color,
                          std::uint32_t offset, unsigned mode, const QImage* mask = nullptr);
