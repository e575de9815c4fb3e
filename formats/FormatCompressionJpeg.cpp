// JPEG-compressed TIFF strips through libjpeg.
//
// Libjpeg reports fatal errors through a callback that must not return: it
// jumps back into the one function that called libjpeg, which aborts the
// decompression and returns a status; exceptions are raised only after that
// function has returned, so none crosses libjpeg's C frames.

#include "formats/FormatCompressionTiff.h"
#include "formats/ImageFormats.h"
#include "platform/jpeg/JpegDecoding.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <string>

#include <jerror.h>
#include <jpeglib.h>

namespace {

TJPEGWarningHook& warningHook()
{
    static TJPEGWarningHook hook;
    return hook;
}

const char* const WarningCaption = "Warning";
const char* const UnexpectedEnd = "JPEG decompression error. Unexpected end of input.";

enum class Status { Ok, LibraryError, BogusTables, StripSize, ComponentCount, DataPrecision, SamplingFactors };

const char* statusText(Status status)
{
    switch (status) {
    case Status::BogusTables: return "Bogus JPEG tables field.";
    case Status::StripSize: return "Improper JPEG strip/tile size.";
    case Status::ComponentCount: return "Improper JPEG component count.";
    case Status::DataPrecision: return "Improper JPEG data precision.";
    case Status::SamplingFactors: return "Improper JPEG sampling factors.";
    default: return "";
    }
}

}  // namespace

void SetJPEGWarningHook(TJPEGWarningHook hook) { warningHook() = std::move(hook); }

// What one strip must look like, taken from the loader's properties.
struct StripShape {
    std::uint32_t width = 0;
    std::uint32_t rows = 0;
    std::size_t bytesPerRow = 0;
    int components = 0;
    int precision = 0;
    bool yCbCr = false;
    bool rgb = false;  // three components stored as RGB (no colour transform)
};

struct TTIFFJPEGDecoder::State {
    jpeg_decompress_struct cinfo{};
    struct ErrorManager {
        jpeg_error_mgr pub;
        std::jmp_buf jump;
    } errors{};
    jpeg_source_mgr source{};
    const std::uint8_t* data = nullptr;  // what the source manager reads: the tables or a strip
    std::size_t length = 0;
    bool created = false;
    bool ranOut = false;
    std::uint16_t HorizontalSampling = 1;
    std::uint16_t VerticalSampling = 1;
};

namespace {

using DecoderState = TTIFFJPEGDecoder::State;

DecoderState* stateOf(j_common_ptr cinfo) { return static_cast<DecoderState*>(cinfo->client_data); }

void errorExit(j_common_ptr cinfo)
{
    auto* errors = reinterpret_cast<DecoderState::ErrorManager*>(cinfo->err);
    std::longjmp(errors->jump, 1);
}

// Corrupt coded data (a bad code, a marker where data should be, which is
// also how a strip whose data runs out inside its scan shows) ends the
// strip's decode at once, as a fatal error: libjpeg would go on with made-up
// values. Other warnings and trace messages are dropped.
void emitMessage(j_common_ptr cinfo, int level)
{
    if (level < 0 && JpegCorruptDataWarning(cinfo->err->msg_code)) errorExit(cinfo);
}
void outputMessage(j_common_ptr) {}
void resetErrorManager(j_common_ptr cinfo)
{
    cinfo->err->num_warnings = 0;
    cinfo->err->msg_code = 0;
}

const JOCTET EndOfImage[2] = {0xFF, JPEG_EOI};

void initSource(j_decompress_ptr cinfo)
{
    DecoderState* s = stateOf(reinterpret_cast<j_common_ptr>(cinfo));
    cinfo->src->next_input_byte = s->data;
    cinfo->src->bytes_in_buffer = s->length;
}

// Called only when the data ran out: the image ends here.
boolean fillInputBuffer(j_decompress_ptr cinfo)
{
    stateOf(reinterpret_cast<j_common_ptr>(cinfo))->ranOut = true;
    cinfo->src->next_input_byte = EndOfImage;
    cinfo->src->bytes_in_buffer = 2;
    return TRUE;
}

void skipInputData(j_decompress_ptr cinfo, long count)
{
    if (count <= 0) return;
    if (static_cast<unsigned long>(count) > cinfo->src->bytes_in_buffer) {
        fillInputBuffer(cinfo);
        return;
    }
    cinfo->src->next_input_byte += count;
    cinfo->src->bytes_in_buffer -= static_cast<std::size_t>(count);
}

void termSource(j_decompress_ptr) {}

void formatMessage(j_common_ptr, char* buffer) { buffer[0] = 0; }

// The error manager every decoder starts from: fatal errors and corrupt
// data jump back to the decoder, other warnings and trace messages are dropped.
const jpeg_error_mgr& DefaultErrorManager()
{
    static const jpeg_error_mgr manager = [] {
        jpeg_error_mgr m;
        jpeg_std_error(&m);
        m.error_exit = errorExit;
        m.emit_message = emitMessage;
        m.output_message = outputMessage;
        m.format_message = formatMessage;
        m.reset_error_mgr = resetErrorManager;
        return m;
    }();
    return manager;
}

// The only functions that call libjpeg. Nothing with a destructor lives in
// their frames, so the jump back from errorExit skips no cleanup.
Status createDecompress(DecoderState* s)
{
    s->errors.pub = DefaultErrorManager();
    s->cinfo.err = &s->errors.pub;
    if (setjmp(s->errors.jump)) return Status::LibraryError;
    jpeg_create_decompress(&s->cinfo);
    s->created = true;
    s->cinfo.client_data = s;
    s->source.init_source = initSource;
    s->source.fill_input_buffer = fillInputBuffer;
    s->source.skip_input_data = skipInputData;
    s->source.resync_to_restart = jpeg_resync_to_restart;
    s->source.term_source = termSource;
    s->cinfo.src = &s->source;
    return Status::Ok;
}

Status readTables(DecoderState* s, const std::uint8_t* tables, std::size_t length)
{
    if (setjmp(s->errors.jump)) {
        jpeg_abort_decompress(&s->cinfo);
        return Status::LibraryError;
    }
    s->data = tables;
    s->length = length;
    if (jpeg_read_header(&s->cinfo, FALSE) != JPEG_HEADER_TABLES_ONLY) {
        jpeg_abort_decompress(&s->cinfo);
        return Status::BogusTables;
    }
    return Status::Ok;
}

Status checkHeader(const DecoderState* s, const StripShape& shape)
{
    const jpeg_decompress_struct& c = s->cinfo;
    if (c.image_width != shape.width || c.image_height != shape.rows) return Status::StripSize;
    if (c.num_components != shape.components) return Status::ComponentCount;
    if (c.data_precision != shape.precision) return Status::DataPrecision;
    for (int i = 0; i < c.num_components; ++i) {
        const int h = i == 0 ? s->HorizontalSampling : 1;
        const int v = i == 0 ? s->VerticalSampling : 1;
        if (c.comp_info[i].h_samp_factor != h || c.comp_info[i].v_samp_factor != v) return Status::SamplingFactors;
    }
    return Status::Ok;
}

Status decodeStrip(DecoderState* s, const std::uint8_t* source, std::size_t packedSize, std::uint8_t* dest,
                   std::size_t unpackedSize, const StripShape& shape)
{
    if (setjmp(s->errors.jump)) {
        jpeg_abort_decompress(&s->cinfo);
        return Status::LibraryError;
    }
    jpeg_abort_decompress(&s->cinfo);
    s->data = source;
    s->length = packedSize;
    jpeg_read_header(&s->cinfo, TRUE);
    if (Status status = checkHeader(s, shape); status != Status::Ok) {
        jpeg_abort_decompress(&s->cinfo);
        return status;
    }
    switch (shape.components) {
    case 1: s->cinfo.jpeg_color_space = s->cinfo.out_color_space = JCS_GRAYSCALE; break;
    case 3:
        s->cinfo.jpeg_color_space = shape.yCbCr ? JCS_YCbCr : shape.rgb ? JCS_RGB : s->cinfo.jpeg_color_space;
        s->cinfo.out_color_space = JCS_EXT_BGR;
        break;
    default: s->cinfo.out_color_space = s->cinfo.jpeg_color_space = JCS_CMYK; break;
    }
    s->cinfo.raw_data_out = FALSE;
    s->cinfo.buffered_image = FALSE;
    jpeg_start_decompress(&s->cinfo);
    // A multi-scan strip that ended before its last scan lost more than its
    // end marker: refused as a file that ends early is.
    if (!JpegWholeImageRead(&s->cinfo, s->ranOut)) {
        s->errors.pub.msg_code = JWRN_JPEG_EOF;
        jpeg_abort_decompress(&s->cinfo);
        return Status::LibraryError;
    }
    if (std::size_t(s->cinfo.output_width) * std::size_t(s->cinfo.output_components) > shape.bytesPerRow) {
        jpeg_abort_decompress(&s->cinfo);
        return Status::StripSize;
    }
    const std::size_t rows = std::min<std::size_t>(unpackedSize / shape.bytesPerRow, s->cinfo.output_height);
    for (std::size_t row = 0; row < rows; ++row) {
        JSAMPROW line = dest + row * shape.bytesPerRow;
        if (jpeg_read_scanlines(&s->cinfo, &line, 1) != 1) break;
    }
    if (s->cinfo.output_scanline == s->cinfo.output_height)
        jpeg_finish_decompress(&s->cinfo);
    else
        jpeg_abort_decompress(&s->cinfo);
    return Status::Ok;
}

}  // namespace

TTIFFJPEGDecoder::TTIFFJPEGDecoder(const TImageProperties& Properties) : properties_(Properties) {}

TTIFFJPEGDecoder::~TTIFFJPEGDecoder()
{
    if (state_ && state_->created) jpeg_destroy_decompress(&state_->cinfo);
}

void TTIFFJPEGDecoder::DecodeInit()
{
    if (state_ && state_->created) jpeg_destroy_decompress(&state_->cinfo);
    state_ = std::make_unique<State>();
    dataRanOut_ = false;
    const TImageProperties& p = properties_;
    if (p.YCbCrSubSampling.size() >= 2) {
        state_->HorizontalSampling = p.YCbCrSubSampling[0];
        state_->VerticalSampling = p.YCbCrSubSampling[1];
    }
    auto raise = [this](Status status) {
        if (status == Status::LibraryError)
            ImageFormatsError("JPEG error #%s", {std::to_string(state_->errors.pub.msg_code)});
        CompressionError(statusText(status));
    };
    if (Status status = createDecompress(state_.get()); status != Status::Ok) raise(status);
    if (!p.JPEGTables.empty()) {
        Status status = readTables(state_.get(), p.JPEGTables.data(), p.JPEGTables.size());
        if (state_->ranOut) dataRanOut_ = true;
        if (status != Status::Ok) raise(status);
    }
}

void TTIFFJPEGDecoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                              std::size_t UnpackedSize)
{
    consumed_ = produced_ = 0;
    if (!state_ || !state_->created) CompressionError("JPEG decoder not initialised.");
    const TImageProperties& p = properties_;
    StripShape shape;
    shape.width = p.Width;
    std::uint32_t rowsPerStrip = p.Height;
    if (!p.RowsPerStrip.empty())
        rowsPerStrip = p.RowsPerStrip[std::min<std::size_t>(p.CurrentStrip, p.RowsPerStrip.size() - 1)];
    // As the loader reads strips: no rows per strip means the whole picture.
    if (rowsPerStrip == 0) rowsPerStrip = p.Height;
    shape.rows = p.CurrentRow < p.Height ? std::min(rowsPerStrip, p.Height - p.CurrentRow) : 0;
    shape.bytesPerRow = p.BytesPerLine;
    shape.components = p.SamplesPerPixel;
    shape.precision = p.BitsPerSample;
    shape.yCbCr = p.ColorScheme == csYCbCr;
    shape.rgb = p.ColorScheme == csRGB || p.ColorScheme == csRGBA;
    if (shape.bytesPerRow == 0 || (shape.components != 1 && shape.components != 3 && shape.components != 4))
        CompressionError(statusText(Status::ComponentCount));
    if (UnpackedSize % shape.bytesPerRow != 0) CompressionError("Fractional JPEG scanline unsupported.");

    const bool ranOutBefore = dataRanOut_;
    state_->ranOut = false;
    Status status = decodeStrip(state_.get(), Source, PackedSize, Dest, UnpackedSize, shape);
    if (status == Status::LibraryError)
        ImageFormatsError("JPEG error #%s", {std::to_string(state_->errors.pub.msg_code)});
    if (status != Status::Ok) CompressionError(statusText(status));
    // Data that ran out inside the scan was refused above; a strip that lost
    // only its end marker is whole. One warning per file, shown after
    // libjpeg has returned.
    if (state_->ranOut) {
        dataRanOut_ = true;
        if (!ranOutBefore && warningHook()) warningHook()(WarningCaption, UnexpectedEnd);
    }
    consumed_ = PackedSize;
    produced_ = std::min<std::size_t>(UnpackedSize, std::size_t(state_->cinfo.output_scanline) * shape.bytesPerRow);
}

void TTIFFJPEGDecoder::DecodeEnd()
{
    if (state_ && state_->created) jpeg_destroy_decompress(&state_->cinfo);
    state_.reset();
}
