#pragma once
// Our JPEG library (libijl15.so): one property record per operation,
// prepared by ijlInit, filled in by the caller and handed to ijlRead /
// ijlWrite, released by ijlFree. Built over libjpeg-turbo.
//
// Pixel rows (DIB side): DIBWidth pixels of DIBChannels bytes, DIBPadBytes
// bytes of padding after each row. DIBHeight > 0: the first row in memory is
// the top of the picture; DIBHeight < 0: the first row in memory is the
// bottom (the layout of a bottom-up DIB). DIBColor IJL_BGR with 3 channels,
// or IJL_G with 1 channel.

#include <cstdint>

extern "C" {

enum IJLIOTYPE : std::int32_t {
    IJL_JFILE_READPARAMS = 0,       // header only: JPGWidth, JPGHeight, JPGChannels, JPGOrientation, JPGSegments
    IJL_JFILE_READWHOLEIMAGE = 2,   // decode into DIBBytes
    IJL_JFILE_WRITEWHOLEIMAGE = 8,  // encode DIBBytes into JPGFile
};

enum IJL_COLOR : std::int32_t {
    IJL_RGB = 1,
    IJL_BGR = 2,
    IJL_YCBCR = 3,
    IJL_G = 4,
    IJL_CMYK = 7,
    IJL_YCCK = 8,
    IJL_OTHER = 255
};

enum IJLERR : std::int32_t {
    IJL_OK = 0,
    IJL_INVALID_ENCODER = -1,
    IJL_UNSUPPORTED_SUBSAMPLING = -2,
    IJL_INVALID_JPEG_PROPERTIES = -3,
    IJL_FILE_OPEN_ERROR = -4,
    IJL_ERR_DATA = -5,  // corrupt or truncated file
    IJL_MEMORY_ERROR = -6,
    IJL_ERR_DIB = -7,  // pixel description does not fit the JPEG
    IJL_WRITE_ERROR = -8,
    IJL_TOO_LARGE = -9,
    IJL_CANNOT_FILL = -10,  // the file is too short for the picture its header claims
};

struct JPEG_CORE_PROPERTIES {
    std::uint32_t UseJPEGPROPERTIES;  // unused, kept for the record's shape
    std::uint8_t* DIBBytes;           // pixel rows
    std::int32_t DIBWidth;
    std::int32_t DIBHeight;  // sign gives the row order (see above)
    std::int32_t DIBPadBytes;
    std::int32_t DIBChannels;  // 3 (default) or 1
    std::int32_t DIBColor;     // IJL_BGR (default) or IJL_G
    std::int32_t DIBSubSampling;
    const char* JPGFile;           // zero-terminated file name
    const std::uint8_t* JPGBytes;  // not used: files only
    std::int32_t JPGSizeBytes;
    std::int32_t JPGWidth;  // read: after the header; write: the picture's width
    std::int32_t JPGHeight;
    std::int32_t JPGChannels;  // read: 1 grey, 3 colour, 4 CMYK / YCCK
    std::int32_t JPGColor;     // read: IJL_G, IJL_YCBCR, IJL_RGB, IJL_CMYK, IJL_YCCK
    std::int32_t jquality;     // write: 1..100
    std::int32_t Options;      // write: 1 = optimise Huffman tables (accepted, ignored)
    std::int32_t ReadOption;   // read: accepted, ignored
    char ErrorText[200];       // why the last call failed
    void* Internal;            // owned by the library between ijlInit and ijlFree
    // Read: the EXIF orientation (1..8; 1 when the file has none).
    std::int32_t JPGOrientation;
    // Read: the file's application and comment segments, packed as
    // platform/jpeg/JpegMetadata.h packs them, valid until ijlFree.
    // Write: segments to put in the new file after its JFIF header.
    const std::uint8_t* JPGSegments;
    std::int32_t JPGSegmentsSize;
};

#define IJL_API __attribute__((visibility("default")))
IJL_API IJLERR ijlInit(JPEG_CORE_PROPERTIES* jcprops);
IJL_API IJLERR ijlFree(JPEG_CORE_PROPERTIES* jcprops);
IJL_API IJLERR ijlRead(JPEG_CORE_PROPERTIES* jcprops, IJLIOTYPE iotype);
IJL_API IJLERR ijlWrite(JPEG_CORE_PROPERTIES* jcprops, IJLIOTYPE iotype);

using ijlInitFunc = IJLERR (*)(JPEG_CORE_PROPERTIES*);
using ijlFreeFunc = IJLERR (*)(JPEG_CORE_PROPERTIES*);
using ijlReadFunc = IJLERR (*)(JPEG_CORE_PROPERTIES*, IJLIOTYPE);
using ijlWriteFunc = IJLERR (*)(JPEG_CORE_PROPERTIES*, IJLIOTYPE);
}
