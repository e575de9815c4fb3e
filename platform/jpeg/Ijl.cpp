// libijl15.so: JPEG files read into and written from pixel rows, over
// libjpeg-turbo. Rows are handed to libjpeg directly, so decoding costs no
// more than libjpeg's own work.

#include "platform/jpeg/ijl15.h"

#include "platform/core/CheckedSizes.h"
#include "platform/jpeg/JpegDecoding.h"
#include "platform/jpeg/JpegMetadata.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <csetjmp>
#include <memory>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

namespace {

constexpr int kRowBatch = 16;
constexpr long kMaxDecoderMemory = 1L << 30;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char text[JMSG_LENGTH_MAX];
    bool endOfFile = false;  // the data ended and libjpeg put in the end marker
};

void onError(j_common_ptr cinfo)
{
    auto* e = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, e->text);
    std::longjmp(e->jump, 1);
}

// A corrupt or truncated stream only raises warnings in libjpeg; we stop at
// the first one rather than deliver a picture with made-up parts.
// Stray bytes between markers are harmless and pass. The end of the file
// passes too: libjpeg then supplies the end marker, and a scan that still
// needed data warns again (JWRN_HIT_MARKER) and stops us; whether a
// multi-scan file had all its scans is judged once they are read
// (JpegWholeImageRead).
void onMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0 || cinfo->err->msg_code == JWRN_EXTRANEOUS_DATA) return;
    if (cinfo->err->msg_code == JWRN_JPEG_EOF) {
        reinterpret_cast<ErrorManager*>(cinfo->err)->endOfFile = true;
        return;
    }
    onError(cinfo);
}

// What a read leaves for the caller until ijlFree.
struct ReadState {
    std::vector<std::uint8_t> segments;
};

void releaseState(JPEG_CORE_PROPERTIES* p)
{
    std::unique_ptr<ReadState>(static_cast<ReadState*>(p->Internal));
    p->Internal = nullptr;
    p->JPGSegments = nullptr;
    p->JPGSegmentsSize = 0;
}

// The orientation and the segments libjpeg kept (jpeg_save_markers), in file order.
void takeMetadata(JPEG_CORE_PROPERTIES* p, const jpeg_decompress_struct& cinfo)
{
    releaseState(p);
    std::vector<TJpegSegment> segments;
    p->JPGOrientation = 1;
    bool oriented = false;
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        segments.push_back({std::uint8_t(m->marker), std::vector<std::uint8_t>(m->data, m->data + m->data_length)});
        // The first EXIF segment counts, as in other readers.
        if (m->marker == JPEG_APP0 + 1 && !oriented && m->data_length >= 6 && std::memcmp(m->data, "Exif", 4) == 0) {
            p->JPGOrientation = ExifOrientation(m->data, m->data_length);
            oriented = true;
        }
    }
    auto state = std::make_unique<ReadState>();
    state->segments = PackSegments(segments);
    p->JPGSegments = state->segments.data();
    p->JPGSegmentsSize = std::int32_t(state->segments.size());
    p->Internal = state.release();
}

// The frame the header read describes.
TJpegFrameShape frameShape(const jpeg_decompress_struct& cinfo)
{
    TJpegFrameShape shape;
    shape.Width = cinfo.image_width;
    shape.Height = cinfo.image_height;
    shape.Components = std::min(cinfo.num_components, 4);
    for (int c = 0; c < shape.Components; ++c) {
        shape.HorizontalSampling[c] = cinfo.comp_info[c].h_samp_factor;
        shape.VerticalSampling[c] = cinfo.comp_info[c].v_samp_factor;
    }
    shape.Arithmetic = cinfo.arith_code;
    return shape;
}

// The largest piece of the file the count reads at a time.
constexpr std::size_t kCountPiece = std::size_t(1) << 16;

// The file's coded scan data from the first scan's data on, until `enough`
// bytes are counted, the end marker is met or the file ends: first what
// libjpeg holds in its buffer (a small picture's bound is usually there),
// then read beside libjpeg, which keeps its own place in the file.
TJpegScanData scanData(const jpeg_decompress_struct& cinfo, std::FILE* file, std::uint64_t enough)
{
    TJpegScanData data(TJpegScanData::From::ScanData, cinfo.restart_interval);
    data.FeedUntil(cinfo.src->next_input_byte, cinfo.src->bytes_in_buffer, enough);
    if (data.Ended() || data.Bytes() >= enough) return data;
    const long position = std::ftell(file);
    if (position < 0) return data;
    off_t at = off_t(position);
    auto chunk = std::make_unique_for_overwrite<std::uint8_t[]>(kCountPiece);
    // Pieces grow from 4 KB: most pictures need no more than the first.
    for (std::size_t step = 4096; !data.Ended() && data.Bytes() < enough; step = std::min(step * 2, kCountPiece)) {
        const ssize_t got = pread(fileno(file), chunk.get(), step, at);
        if (got <= 0) break;
        at += got;
        data.FeedUntil(chunk.get(), std::size_t(got), enough);
    }
    return data;
}

// The file's size in bytes (0 when it cannot be told).
std::uint64_t fileBytes(std::FILE* file)
{
    struct stat status;
    return fstat(fileno(file), &status) == 0 && status.st_size > 0 ? std::uint64_t(status.st_size) : 0;
}

void setError(JPEG_CORE_PROPERTIES* p, const char* text)
{
    std::snprintf(p->ErrorText, sizeof(p->ErrorText), "%s", text);
}

std::uint8_t* rowAddress(const JPEG_CORE_PROPERTIES* p, long long stride, long long height, long long line)
{
    // A negative DIBHeight stores the bottom row first.
    const long long memoryRow = p->DIBHeight < 0 ? height - 1 - line : line;
    return p->DIBBytes + memoryRow * stride;
}

// Every way out of a read releases the decoder and the file; a failure
// leaves its reason in the properties.
IJLERR endRead(jpeg_decompress_struct& cinfo, std::FILE* file, JPEG_CORE_PROPERTIES* p, IJLERR result,
               const char* reason = nullptr)
{
    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);
    if (reason) setError(p, reason);
    return result;
}

IJLERR readJpeg(JPEG_CORE_PROPERTIES* p, bool whole)
{
    if (!p->JPGFile) return IJL_INVALID_JPEG_PROPERTIES;
    std::FILE* file = std::fopen(p->JPGFile, "rb");
    if (!file) {
        setError(p, "cannot open the file");
        return IJL_FILE_OPEN_ERROR;
    }
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.emit_message = onMessage;
    if (setjmp(err.jump)) {
        return endRead(cinfo, file, p, IJL_ERR_DATA, err.text);
    }
    jpeg_create_decompress(&cinfo);
    // libjpeg's own working memory (whole-image coefficient buffers of
    // progressive files) is capped; past it the file fails to load rather
    // than take the machine's memory.
    cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
    jpeg_stdio_src(&cinfo, file);
    // The header call hands out the metadata; a whole read needs none of it.
    if (!whole) {
        for (int app = 0; app < 16; ++app) jpeg_save_markers(&cinfo, JPEG_APP0 + app, 0xFFFF);
        jpeg_save_markers(&cinfo, JPEG_COM, 0xFFFF);
    }
    jpeg_read_header(&cinfo, TRUE);
    p->JPGWidth = std::int32_t(cinfo.image_width);
    p->JPGHeight = std::int32_t(cinfo.image_height);
    p->JPGChannels = cinfo.num_components;
    switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE: p->JPGColor = IJL_G; break;
    case JCS_RGB: p->JPGColor = IJL_RGB; break;
    case JCS_YCbCr: p->JPGColor = IJL_YCBCR; break;
    case JCS_CMYK: p->JPGColor = IJL_CMYK; break;
    case JCS_YCCK: p->JPGColor = IJL_YCCK; break;
    default: p->JPGColor = IJL_OTHER; break;
    }
    const long long width = cinfo.image_width, height = cinfo.image_height;
    // Refused before anybody allocates the picture: scan data that cannot
    // fill the frame; bytes after the end marker are not scan data. A picture
    // past the cap is the caller's to refuse (it says "too large").
    // An arithmetic coder's data may stop before its scan does (libjpeg then
    // supplies zeros), so a file that ends inside a scan cannot be told from
    // one cut there: for a whole read such a file is followed to its end.
    const bool arithmeticRead = whole && cinfo.arith_code;
    TJpegScanData data(TJpegScanData::From::ScanData);
    if (width * height <= static_cast<long long>(MaxPixelCount)) {
        const std::uint64_t fill = JpegFillBytes(frameShape(cinfo));
        data = scanData(cinfo, file, arithmeticRead ? UINT64_MAX : fill);
        if (data.Bytes() < fill)
            return endRead(cinfo, file, p, IJL_CANNOT_FILL, "the file is too short for the picture it claims");
    }
    if (!whole) {
        takeMetadata(p, cinfo);
        return endRead(cinfo, file, p, IJL_OK);
    }
    const bool grey = p->DIBChannels == 1 && p->DIBColor == IJL_G;
    const bool bgr = p->DIBChannels == 3 && (p->DIBColor == IJL_BGR || p->DIBColor == IJL_RGB);
    IJLERR problem = IJL_OK;
    if (width * height > static_cast<long long>(MaxPixelCount))
        problem = IJL_TOO_LARGE;
    else if (!p->DIBBytes || (!grey && !bgr) || p->DIBPadBytes < 0 || p->DIBWidth != width ||
             std::llabs(p->DIBHeight) != height)
        problem = IJL_ERR_DIB;
    if (problem != IJL_OK)
        return endRead(cinfo, file, p, problem,
                       problem == IJL_TOO_LARGE ? "the picture is too large" : "the pixel rows do not fit the picture");
    if (arithmeticRead && data.InsideScan())
        return endRead(cinfo, file, p, IJL_ERR_DATA, "the file ends inside a scan");
    // A picture large for its file has its coded data decoded once without
    // pixels first, so data found corrupt late costs none of its rows.
    if (JpegDataNeedsCheck(std::uint64_t(width * height * p->DIBChannels), fileBytes(file)) &&
        !JpegCodedDataSound(p->JPGFile))
        return endRead(cinfo, file, p, IJL_ERR_DATA, "the coded data is corrupt");
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    if (cmyk)
        cinfo.out_color_space = JCS_CMYK;
    else if (grey)
        cinfo.out_color_space = JCS_GRAYSCALE;
    else
        cinfo.out_color_space = p->DIBColor == IJL_RGB ? JCS_RGB : JCS_EXT_BGR;
    // Adobe writes CMYK inverted; libjpeg tells us by the Adobe marker.
    jpeg_start_decompress(&cinfo);
    if (!JpegWholeImageRead(&cinfo, err.endOfFile))
        return endRead(cinfo, file, p, IJL_ERR_DATA, "the file ends before its last scan");
    const long long stride = width * p->DIBChannels + p->DIBPadBytes;
    if (!cmyk) {
        JSAMPROW rows[kRowBatch];
        while (cinfo.output_scanline < cinfo.output_height) {
            const int count = int(std::min<long long>(kRowBatch, height - cinfo.output_scanline));
            for (int i = 0; i < count; ++i) rows[i] = rowAddress(p, stride, height, cinfo.output_scanline + i);
            jpeg_read_scanlines(&cinfo, rows, JDIMENSION(count));
        }
    } else {
        const bool inverted = cinfo.saw_Adobe_marker;
        JSAMPARRAY scratch =
            (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE, JDIMENSION(width * 4), 1);
        while (cinfo.output_scanline < cinfo.output_height) {
            std::uint8_t* out = rowAddress(p, stride, height, cinfo.output_scanline);
            jpeg_read_scanlines(&cinfo, scratch, 1);
            const std::uint8_t* in = scratch[0];
            for (long long x = 0; x < width; ++x, in += 4) {
                int c = in[0], m = in[1], y = in[2], k = in[3];
                if (!inverted) {
                    c = 255 - c;
                    m = 255 - m;
                    y = 255 - y;
                    k = 255 - k;
                }
                // Inverted form: the ink-free share times the black-free share.
                const int r = (c * k + 127) / 255, g = (m * k + 127) / 255, b = (y * k + 127) / 255;
                if (grey) {
                    out[x] = std::uint8_t((r * 77 + g * 150 + b * 29 + 128) >> 8);
                } else {
                    out[3 * x] = std::uint8_t(b);
                    out[3 * x + 1] = std::uint8_t(g);
                    out[3 * x + 2] = std::uint8_t(r);
                }
            }
        }
    }
    jpeg_finish_decompress(&cinfo);
    return endRead(cinfo, file, p, IJL_OK);
}

IJLERR writeJpeg(JPEG_CORE_PROPERTIES* p)
{
    if (!p->JPGFile) return IJL_INVALID_JPEG_PROPERTIES;
    const bool grey = p->DIBChannels == 1;
    const long long width = p->DIBWidth, height = std::llabs(p->DIBHeight);
    if (!p->DIBBytes || width <= 0 || height <= 0 || (p->DIBChannels != 1 && p->DIBChannels != 3) ||
        p->DIBPadBytes < 0 || width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION) {
        setError(p, "the pixel rows cannot be written as a JPEG picture");
        return IJL_ERR_DIB;
    }
    std::FILE* file = std::fopen(p->JPGFile, "wb");
    if (!file) {
        setError(p, "cannot create the file");
        return IJL_FILE_OPEN_ERROR;
    }
    jpeg_compress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::fclose(file);
        std::remove(p->JPGFile);
        setError(p, err.text);
        return IJL_WRITE_ERROR;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = grey ? 1 : 3;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : (p->DIBColor == IJL_RGB ? JCS_RGB : JCS_EXT_BGR);
    jpeg_set_defaults(&cinfo);
    int quality = p->jquality;
    quality = quality < 1 ? 1 : quality > 100 ? 100 : quality;
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    for (const TJpegSegment& segment : UnpackSegments(p->JPGSegments, std::size_t(std::max(p->JPGSegmentsSize, 0))))
        if (segment.Data.size() <= 65533 &&
            ((segment.Marker >= JPEG_APP0 && segment.Marker <= JPEG_APP0 + 15) || segment.Marker == JPEG_COM))
            jpeg_write_marker(&cinfo, segment.Marker, segment.Data.data(), unsigned(segment.Data.size()));
    const long long stride = width * p->DIBChannels + p->DIBPadBytes;
    JSAMPROW rows[kRowBatch];
    while (cinfo.next_scanline < cinfo.image_height) {
        const int count = int(std::min<long long>(kRowBatch, height - cinfo.next_scanline));
        for (int i = 0; i < count; ++i) rows[i] = rowAddress(p, stride, height, cinfo.next_scanline + i);
        jpeg_write_scanlines(&cinfo, rows, JDIMENSION(count));
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    const bool failed = std::fflush(file) != 0 || std::ferror(file);
    if (std::fclose(file) != 0 || failed) {
        std::remove(p->JPGFile);
        setError(p, "the file could not be written");
        return IJL_WRITE_ERROR;
    }
    return IJL_OK;
}

}  // namespace

extern "C" {

IJLERR ijlInit(JPEG_CORE_PROPERTIES* p)
{
    if (!p) return IJL_INVALID_JPEG_PROPERTIES;
    std::memset(p, 0, sizeof(*p));
    p->DIBChannels = 3;
    p->DIBColor = IJL_BGR;
    p->jquality = 75;
    p->JPGOrientation = 1;
    return IJL_OK;
}

IJLERR ijlFree(JPEG_CORE_PROPERTIES* p)
{
    if (!p) return IJL_INVALID_JPEG_PROPERTIES;
    releaseState(p);
    return IJL_OK;
}

IJLERR ijlRead(JPEG_CORE_PROPERTIES* p, IJLIOTYPE mode)
{
    if (!p) return IJL_INVALID_JPEG_PROPERTIES;
    if (mode == IJL_JFILE_READPARAMS) return readJpeg(p, false);
    if (mode == IJL_JFILE_READWHOLEIMAGE) return readJpeg(p, true);
    return IJL_INVALID_ENCODER;
}

IJLERR ijlWrite(JPEG_CORE_PROPERTIES* p, IJLIOTYPE mode)
{
    if (!p) return IJL_INVALID_JPEG_PROPERTIES;
    if (mode == IJL_JFILE_WRITEWHOLEIMAGE) return writeJpeg(p);
    return IJL_INVALID_ENCODER;
}
}
