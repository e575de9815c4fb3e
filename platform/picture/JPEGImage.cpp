#include "platform/picture/JPEGImage.h"

#include "platform/jpeg/JpegDecoding.h"
#include "platform/jpeg/JpegMetadata.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <cstdio>
#include <string>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace {

// libjpeg reports fatal errors through a callback that must not return; we
// jump back to the decoder and raise from there, so no C++ exception crosses
// the C library.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool endOfFile = false;  // the data ended and libjpeg put in the end marker
};

void errorExit(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void ignoreMessage(j_common_ptr) {}

// Corrupt coded data ends the decode at once rather than give a picture with
// made-up parts; the end of the data is judged once the scans are read
// (JpegWholeImageRead). Other warnings pass.
void onMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0) return;
    if (cinfo->err->msg_code == JWRN_JPEG_EOF) reinterpret_cast<ErrorManager*>(cinfo->err)->endOfFile = true;
    if (JpegCorruptDataWarning(cinfo->err->msg_code)) errorExit(cinfo);
}

// All state lives behind one pointer made before setjmp, so nothing the jump
// skips over is left in a register.
struct DecodeState {
    jpeg_decompress_struct cinfo{};
    ErrorManager errors{};
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> row;
    TBitmap bitmap;
    int orientation = 1;
    bool tooLarge = false;
    bool cannotFill = false;
    bool corrupt = false;
    bool created = false;
};

// The coded bytes of the scans must be able to fill the frame before the
// bitmap is made.
bool dataCanFill(const DecodeState& s)
{
    TJpegFrameShape shape;
    shape.Width = s.cinfo.image_width;
    shape.Height = s.cinfo.image_height;
    shape.Components = std::min(s.cinfo.num_components, 4);
    for (int c = 0; c < shape.Components; ++c) {
        shape.HorizontalSampling[c] = s.cinfo.comp_info[c].h_samp_factor;
        shape.VerticalSampling[c] = s.cinfo.comp_info[c].v_samp_factor;
    }
    shape.Arithmetic = s.cinfo.arith_code;
    // Only coded scan data counts: bytes after the end marker fill nothing.
    const std::size_t consumed = std::min(std::size_t(s.cinfo.src->next_input_byte - s.data.data()), s.data.size());
    TJpegScanData scan(TJpegScanData::From::ScanData, s.cinfo.restart_interval);
    scan.FeedUntil(s.data.data() + consumed, s.data.size() - consumed, JpegFillBytes(shape));
    return JpegDataCanFill(shape, scan.Bytes());
}

// The decoded bitmap turned upright by the file's EXIF orientation.
void orient(DecodeState& s)
{
    if (s.orientation == 1) return;
    const int width = s.bitmap.Width(), height = s.bitmap.Height();
    const bool swap = OrientationSwapsSides(s.orientation);
    TBitmap upright;
    upright.SetPixelFormat(pf24bit);
    upright.SetSize(swap ? height : width, swap ? width : height);
    std::vector<const std::uint8_t*> stored;
    for (int y = 0; y < height; ++y) stored.push_back(s.bitmap.ScanLine(y));
    std::vector<std::uint8_t*> rows;
    for (int y = 0; y < upright.Height(); ++y) rows.push_back(upright.ScanLine(y));
    OrientPixels(s.orientation, width, height, 3, stored, rows);
    s.bitmap = std::move(upright);
}

void decode(DecodeState& s)
{
    s.cinfo.err = jpeg_std_error(&s.errors.pub);
    s.errors.pub.error_exit = errorExit;
    s.errors.pub.output_message = ignoreMessage;
    s.errors.pub.emit_message = onMessage;
    jpeg_create_decompress(&s.cinfo);
    s.created = true;
    jpeg_mem_src(&s.cinfo, s.data.data(), static_cast<unsigned long>(s.data.size()));
    jpeg_save_markers(&s.cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&s.cinfo, TRUE);
    try {
        CheckedPixelCount(s.cinfo.image_width, s.cinfo.image_height);
    } catch (const EImageTooLarge&) {
        s.tooLarge = true;
        return;
    }
    if (!dataCanFill(s)) {
        s.cannotFill = true;
        return;
    }
    // A picture large for its file has its coded data decoded once without
    // pixels first, so data found corrupt late costs none of its rows.
    const std::uint64_t pictureBytes = std::uint64_t(s.cinfo.image_width) * s.cinfo.image_height * 3;
    if (JpegDataNeedsCheck(pictureBytes, s.data.size()) && !JpegCodedDataSound(s.data.data(), s.data.size())) {
        s.corrupt = true;
        return;
    }
    for (jpeg_saved_marker_ptr m = s.cinfo.marker_list; m; m = m->next)
        if (m->data_length >= 6 && std::memcmp(m->data, "Exif", 4) == 0) {
            s.orientation = ExifOrientation(m->data, m->data_length);
            break;
        }
    bool cmyk = s.cinfo.jpeg_color_space == JCS_CMYK || s.cinfo.jpeg_color_space == JCS_YCCK;
    s.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&s.cinfo);
    if (!JpegWholeImageRead(&s.cinfo, s.errors.endOfFile)) {
        s.cinfo.err->msg_code = JWRN_JPEG_EOF;
        errorExit(reinterpret_cast<j_common_ptr>(&s.cinfo));
    }
    s.bitmap.SetPixelFormat(pf24bit);
    s.bitmap.SetSize(int(s.cinfo.output_width), int(s.cinfo.output_height));
    s.row.resize(std::size_t(s.cinfo.output_width) * std::size_t(s.cinfo.output_components));
    while (s.cinfo.output_scanline < s.cinfo.output_height) {
        int y = int(s.cinfo.output_scanline);
        JSAMPROW rows[1] = {s.row.data()};
        jpeg_read_scanlines(&s.cinfo, rows, 1);
        std::uint8_t* to = s.bitmap.ScanLine(y);
        for (std::size_t x = 0; x < s.cinfo.output_width; ++x) {
            const std::uint8_t* p = s.row.data() + x * std::size_t(s.cinfo.output_components);
            if (cmyk) {
                // Adobe writes CMYK inverted: each value is 255 - ink.
                to[3 * x] = std::uint8_t(p[2] * p[3] / 255);
                to[3 * x + 1] = std::uint8_t(p[1] * p[3] / 255);
                to[3 * x + 2] = std::uint8_t(p[0] * p[3] / 255);
            } else {
                to[3 * x] = p[2];
                to[3 * x + 1] = p[1];
                to[3 * x + 2] = p[0];
            }
        }
    }
    jpeg_finish_decompress(&s.cinfo);
    orient(s);
}

}  // namespace

void TJPEGImage::LoadFromStream(TStream& stream)
{
    auto state = std::make_unique<DecodeState>();
    std::int64_t size = stream.Remaining();
    if (size <= 0 || std::uint64_t(size) > (std::uint64_t(1) << 31))
        throw EInvalidGraphic("JPEG error #42: Empty input file");
    state->data.resize(std::size_t(size));
    stream.ReadBuffer(state->data.data(), state->data.size());

    DecodeState* s = state.get();
    if (setjmp(s->errors.jump) != 0) {
        std::string message = "JPEG error #" + std::to_string(s->errors.pub.msg_code) + ": " + s->errors.message;
        jpeg_destroy_decompress(&s->cinfo);
        throw EInvalidGraphic(message);
    }
    try {
        decode(*s);
    } catch (...) {
        jpeg_destroy_decompress(&s->cinfo);
        throw;
    }
    jpeg_destroy_decompress(&s->cinfo);
    if (s->tooLarge) throw EImageTooLarge();
    if (s->cannotFill) RaisePictureFault(TReadFault::CannotFill);
    if (s->corrupt) throw EInvalidGraphic("JPEG error: Corrupt JPEG data");
    bitmap_ = std::move(s->bitmap);
}

void TJPEGImage::Assign(const TGraphic& source)
{
    if (const auto* jpeg = dynamic_cast<const TJPEGImage*>(&source)) {
        bitmap_ = jpeg->bitmap_;
        return;
    }
    TGraphic::Assign(source);
}

std::unique_ptr<TBitmap> TJPEGImage::RenderBitmap() const { return bitmap_.RenderBitmap(); }
