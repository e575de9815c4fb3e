#pragma once
// What every decoder over libjpeg (the JPEG library, the picture registry's
// JPEG class, the TIFF loader's JPEG strips) does with corrupt coded data.
// libjpeg only warns about it and goes on with made-up values (zeros from
// the fault on); each of them stops at such a warning instead. A picture is
// allocated before its rows are decoded (its memory touched only as rows
// come), so one whose data is found corrupt only late may already have cost
// the rows before the fault: when the picture is large for its file, its
// coded data is read once without its pixels first.

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
// times its size. Photos of low quality and smooth wallpapers fall under
// that share too, so the check reads only the codes.
inline constexpr std::uint64_t JpegCheckedPictureBytes = std::uint64_t(32) << 20;
inline constexpr std::uint64_t JpegCheckedExpansion = 32;
inline bool JpegDataNeedsCheck(std::uint64_t pictureBytes, std::uint64_t fileBytes)
{
    return pictureBytes > JpegCheckedPictureBytes && pictureBytes / JpegCheckedExpansion >= fileBytes;
}

// Reads the coded data of a JPEG stream without making its pixels and says
// whether it is sound: false where libjpeg fails on its header, and where
// our own check of a Huffman-coded stream (TJpegScanCheck, which reads only
// the codes, a fraction of libjpeg's decode) finds data libjpeg would find
// corrupt (JpegCorruptDataWarning), or a multi-scan stream that ends before
// its last scan. A single-scan arithmetic-coded stream is decoded by libjpeg
// at an eighth of its size, a row at a time (false for corrupt data, a fatal
// error, or a stream that ends inside its scan); a multi-scan one would cost
// libjpeg its whole coefficient buffer and counts as sound. The stream is a
// file, or bytes in memory, optionally after an abbreviated stream of tables
// (a TIFF's JPEGTables).
bool JpegCodedDataSound(const char* fileName);
bool JpegCodedDataSound(const std::uint8_t* data, std::size_t size, const std::uint8_t* tables = nullptr,
                        std::size_t tablesSize = 0);
