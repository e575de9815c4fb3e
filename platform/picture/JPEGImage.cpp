#include "platform/picture/JPEGImage.h"

#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

// libjpeg reports fatal errors through a callback that must not return; we
// jump back to the decoder and raise from there, so no C++ exception crosses
// the C library.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void errorExit(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void ignoreMessage(j_common_ptr) {}

// All state lives behind one pointer made before setjmp, so nothing the jump
// skips over is left in a register.
struct DecodeState {
    jpeg_decompress_struct cinfo{};
    ErrorManager errors{};
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> row;
    TBitmap bitmap;
    bool tooLarge = false;
    bool created = false;
};

void decode(DecodeState& s)
{
    s.cinfo.err = jpeg_std_error(&s.errors.pub);
    s.errors.pub.error_exit = errorExit;
    s.errors.pub.output_message = ignoreMessage;
    jpeg_create_decompress(&s.cinfo);
    s.created = true;
    jpeg_mem_src(&s.cinfo, s.data.data(), static_cast<unsigned long>(s.data.size()));
    jpeg_read_header(&s.cinfo, TRUE);
    try {
        CheckedPixelCount(s.cinfo.image_width, s.cinfo.image_height);
    } catch (const EImageTooLarge&) {
        s.tooLarge = true;
        return;
    }
    bool cmyk = s.cinfo.jpeg_color_space == JCS_CMYK || s.cinfo.jpeg_color_space == JCS_YCCK;
    s.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&s.cinfo);
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
