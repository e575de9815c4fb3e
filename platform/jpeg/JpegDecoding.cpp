#include "platform/jpeg/JpegDecoding.h"

#include "platform/jpeg/JpegScanCheck.h"

#include <unistd.h>

#include <csetjmp>
#include <memory>

#include <jerror.h>

bool JpegCorruptDataWarning(int messageCode)
{
    switch (messageCode) {
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_NOT_SEQUENTIAL: return true;
    default: return false;
    }
}

bool JpegWholeImageRead(j_decompress_ptr cinfo, bool endOfFile)
{
    if (!endOfFile || !jpeg_has_multiple_scans(cinfo)) return true;
    if (!cinfo->progressive_mode || !cinfo->coef_bits) return false;
    for (int c = 0; c < cinfo->num_components; ++c)
        for (int k = 0; k < DCTSIZE2; ++k)
            if (cinfo->coef_bits[c][k] != 0) return false;
    return true;
}

namespace {

// Everything the jump back may meet lives here, made before setjmp.
struct DataCheck {
    jpeg_decompress_struct cinfo{};
    struct Errors {
        jpeg_error_mgr pub;
        std::jmp_buf jump;
    } errors{};
    std::FILE* file = nullptr;
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    const std::uint8_t* tables = nullptr;
    std::size_t tablesSize = 0;
    bool huffman = false;  // left to our own check, which keeps no coefficients and makes no pixels
};

void checkError(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<DataCheck::Errors*>(cinfo->err)->jump, 1); }

void checkMessage(j_common_ptr cinfo, int level)
{
    if (level < 0 && JpegCorruptDataWarning(cinfo->err->msg_code)) checkError(cinfo);
}

// The only function that calls libjpeg for a check.
bool decodeWithoutPixels(DataCheck& c)
{
    c.cinfo.err = jpeg_std_error(&c.errors.pub);
    c.errors.pub.error_exit = checkError;
    c.errors.pub.emit_message = checkMessage;
    if (setjmp(c.errors.jump)) {
        jpeg_destroy_decompress(&c.cinfo);
        return false;
    }
    jpeg_create_decompress(&c.cinfo);
    c.cinfo.mem->max_memory_to_use = 1L << 30;
    if (c.tables) {
        jpeg_mem_src(&c.cinfo, c.tables, static_cast<unsigned long>(c.tablesSize));
        jpeg_read_header(&c.cinfo, FALSE);
    }
    if (c.file)
        jpeg_stdio_src(&c.cinfo, c.file);
    else
        jpeg_mem_src(&c.cinfo, c.data, static_cast<unsigned long>(c.size));
    jpeg_read_header(&c.cinfo, TRUE);
    c.huffman = !c.cinfo.arith_code;
    if (!c.huffman && !jpeg_has_multiple_scans(&c.cinfo)) {
        // The coded data is read whole whatever the scale; the pixels made of it are few.
        c.cinfo.scale_num = 1;
        c.cinfo.scale_denom = 8;
        c.cinfo.do_fancy_upsampling = FALSE;
        c.cinfo.dct_method = JDCT_IFAST;
        c.cinfo.out_color_space = c.cinfo.jpeg_color_space;
        jpeg_start_decompress(&c.cinfo);
        JSAMPARRAY row = (*c.cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&c.cinfo), JPOOL_IMAGE,
                                                      c.cinfo.output_width * JDIMENSION(c.cinfo.output_components), 1);
        while (c.cinfo.output_scanline < c.cinfo.output_height) jpeg_read_scanlines(&c.cinfo, row, 1);
    }
    jpeg_destroy_decompress(&c.cinfo);
    return true;
}

}  // namespace

bool JpegCodedDataSound(const char* fileName)
{
    std::FILE* file = std::fopen(fileName, "rb");
    if (!file) return false;
    auto check = std::make_unique<DataCheck>();
    check->file = file;
    bool sound = decodeWithoutPixels(*check);
    if (sound && check->huffman) {
        const int fd = fileno(file);
        TJpegScanCheck scans([fd](std::uint64_t offset, std::uint8_t* to, std::size_t size) -> std::size_t {
            const ssize_t got = pread(fd, to, size, off_t(offset));
            return got > 0 ? std::size_t(got) : 0;
        });
        sound = scans.Run() == TJpegScanCheck::TVerdict::Sound;
    }
    std::fclose(file);
    return sound;
}

bool JpegCodedDataSound(const std::uint8_t* data, std::size_t size, const std::uint8_t* tables, std::size_t tablesSize)
{
    if (!data || size == 0) return false;
    auto check = std::make_unique<DataCheck>();
    check->data = data;
    check->size = size;
    check->tables = tables && tablesSize ? tables : nullptr;
    check->tablesSize = tablesSize;
    if (!decodeWithoutPixels(*check)) return false;
    return !check->huffman ||
           TJpegScanCheck::Check(data, size, check->tables, check->tablesSize) == TJpegScanCheck::TVerdict::Sound;
}
