#pragma once
// What every decoder over libjpeg (the JPEG library, the picture registry's
// JPEG class, the TIFF loader's JPEG strips) does with corrupt coded data.
// libjpeg only warns about it and goes on with made-up values (zeros from
// the fault on); each of them stops at such a warning instead. A picture is
// allocated before its rows are decoded (its memory touched only as rows
// come), so one whose data is found corrupt only late may already have cost
// the rows before the fault: when the picture is large for its file, the
// coded data is decoded once without its pixels first.

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <jpeglib.h>

// libjpeg's warnings that the coded data is corrupt: a bad code, a marker
// where data should be (which is how data that runs out shows, too), a
// missing restart marker, scans that do not fit the frame or each other.
bool JpegCorruptDataWarning(int messageCode);

// After jpeg_start_decompress has read every scan of a file that ended
// early (endOfFile: libjpeg supplied the end marker): a single-scan file
// lost only what follows its scan (its end marker); a progressive one is
// whole when every coefficient of every component reached its last
// refinement. Other multi-scan files may have lost a whole scan unseen, so
// they are not taken. True as well for a file that did not end early.
bool JpegWholeImageRead(j_decompress_ptr cinfo, bool endOfFile);

// A picture of pictureBytes decoded from a file (or strips) of fileBytes
// has its coded data checked first: past 32 MB, when the picture is more
// than 32 times the file. A corrupt file thus costs at most 32 MB or 32
// times its size; real photos are larger than that share and skip the check.
inline constexpr std::uint64_t JpegCheckedPictureBytes = std::uint64_t(32) << 20;
inline constexpr std::uint64_t JpegCheckedExpansion = 32;
inline bool JpegDataNeedsCheck(std::uint64_t pictureBytes, std::uint64_t fileBytes)
{
    return pictureBytes > JpegCheckedPictureBytes && pictureBytes / JpegCheckedExpansion >= fileBytes;
}

// Decodes the coded data of a JPEG stream without keeping its pixels (at an
// eighth of its size, a row at a time) and says whether libjpeg found it
// sound: false for corrupt data (JpegCorruptDataWarning), a fatal error, or
// a stream that ends inside its scan. A multi-scan stream would cost libjpeg
// its whole coefficient buffer, so a Huffman-coded one is read by our own
// check instead (TJpegScanCheck: false for data libjpeg would find corrupt,
// or a stream that ends before its last scan); an arithmetic-coded one
// counts as sound. The stream is a file, or bytes in memory, optionally
// after an abbreviated stream of tables (a TIFF's JPEGTables).
bool JpegCodedDataSound(const char* fileName);
bool JpegCodedDataSound(const std::uint8_t* data, std::size_t size, const std::uint8_t* tables = nullptr,
                        std::size_t tablesSize = 0);
