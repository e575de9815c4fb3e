#pragma once
// Pictures in memory: the graphic base, the device-independent bitmap with
// its pixel formats and palette, and the picture object that chooses a graphic
// class by file extension from a process-wide registry.
//
// Bitmaps are top-down here: ScanLine(0) is the top row. Rows are padded to
// 4 bytes. New pixel memory is zero-filled.

#include "platform/core/CheckedSizes.h"
#include "platform/core/Color.h"
#include "platform/core/Exception.h"
#include "platform/core/ZeroedBytes.h"
#include "platform/streams/Streams.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Raised by graphics and loaders: unreadable pictures, unknown extensions,
// pictures too large to hold.
class EInvalidGraphic : public Exception {
public:
    using Exception::Exception;
};

// The framework's pixel formats, in their numeric order (device 0 .. custom 8).
enum TPixelFormat : std::uint8_t {
    pfDevice = 0,
    pf1bit = 1,
    pf4bit = 2,
    pf8bit = 3,
    pf15bit = 4,  // 5-5-5, blue in the low bits
    pf16bit = 5,  // 5-6-5, blue in the low bits
    pf24bit = 6,  // blue, green, red
    pf32bit = 7,  // blue, green, red, alpha
    pfCustom = 8
};

// Bits of one pixel for a storable format (pfDevice counts as 24 bits); 0 for custom.
int BitsPerPixelOf(TPixelFormat format);

struct TPaletteEntry {
    std::uint8_t peRed = 0;
    std::uint8_t peGreen = 0;
    std::uint8_t peBlue = 0;
    std::uint8_t peFlags = 0;
    bool operator==(const TPaletteEntry&) const = default;
};

// A logical palette (version 0x300) of at most 256 entries. Loaders build one
// and hand it to the bitmap, which keeps its own copy.
struct TLogPalette {
    std::uint16_t Version = 0x300;
    std::vector<TPaletteEntry> Entries;
};

constexpr std::size_t MaxPaletteEntries = 256;

// The 16 colours of the standard VGA palette (the system's 16-colour palette).
TLogPalette SystemPalette16();

struct TRect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
    bool operator==(const TRect&) const = default;
};

enum class TProgressStage { psStarting, psRunning, psEnding };

class TGraphic;
using TProgressEvent = std::function<void(TGraphic& sender, TProgressStage stage, std::uint8_t percentDone,
                                          bool redrawNow, const TRect& rect, std::string_view message)>;

// --- Allocation limits ---------------------------------------------------------
// No picture may hold more than MaxPixelCount (2^28, platform/core/CheckedSizes.h)
// pixels. Every reader sends width × height (× bytes per pixel) through these,
// or through its BoundedReader, before allocating anything.

// Raised when a picture's size is beyond what we allocate.
class EImageTooLarge : public EInvalidGraphic {
public:
    EImageTooLarge();
};
// The fault handler of the picture layer: TooLarge and CannotFill raise
// EImageTooLarge, ShortData EReadError "Stream read error".
void RaisePictureFault(TReadFault fault);

// The checks of CheckedSizes.h raising EImageTooLarge: width × height, refused
// above MaxPixelCount (also when one side alone exceeds it).
std::uint64_t CheckedPixelCount(std::uint64_t width, std::uint64_t height);
// width × height × bytesPerPixel through one overflow-checked multiply, with
// the pixel cap applied; the result fits in size_t.
std::size_t CheckedImageBytes(std::uint64_t width, std::uint64_t height, std::uint64_t bytesPerPixel);
// rowBytes × rows through an overflow-checked multiply, for buffers of whole
// (padded) rows; refused above what a capped picture at 128 bits per pixel
// could need. Use it after the pixel count itself has been checked.
std::size_t CheckedBufferBytes(std::uint64_t rowBytes, std::uint64_t rows);
// Bytes of one packed row of width pixels at bitsPerPixel, rounded up to whole
// bytes (no padding); refused when the width alone exceeds the pixel cap.
std::size_t CheckedRowBytes(std::uint64_t width, std::uint64_t bitsPerPixel);

// --- Graphic classes -------------------------------------------------------------
// A class reference: what the registry keeps to create a graphic of a class.
struct TGraphicClassRec;
using TGraphicClass = const TGraphicClassRec*;
struct TGraphicClassRec {
    const char* ClassName;
    std::unique_ptr<TGraphic> (*Create)();  // null for abstract classes
    TGraphicClass Parent;                   // null for TGraphic
    bool (*CanLoadStream)(TStream&);        // the class's signature test, null when it has none
};
bool InheritsFrom(TGraphicClass cls, TGraphicClass ancestor);

// Put inside the public part of every concrete graphic class.
#define PICTAVO_GRAPHIC_CLASS(Name, ParentName)                                                                   \
    static TGraphicClass StaticClass()                                                                            \
    {                                                                                                             \
        static const TGraphicClassRec rec{#Name,                                                                  \
                                          []() -> std::unique_ptr<TGraphic> { return std::make_unique<Name>(); }, \
                                          ParentName::StaticClass(), nullptr};                                    \
        return &rec;                                                                                              \
    }                                                                                                             \
    TGraphicClass ClassType() const override { return StaticClass(); }

class TBitmap;

class TGraphic {
public:
    TGraphic() = default;
    TGraphic(const TGraphic&) = default;
    TGraphic& operator=(const TGraphic&) = default;
    TGraphic(TGraphic&&) = default;
    TGraphic& operator=(TGraphic&&) = default;
    virtual ~TGraphic() = default;

    static TGraphicClass StaticClass();
    virtual TGraphicClass ClassType() const { return StaticClass(); }

    virtual int Width() const = 0;
    virtual int Height() const = 0;
    bool Empty() const { return Width() <= 0 || Height() <= 0; }

    // Opens the file read-only and calls LoadFromStream.
    virtual void LoadFromFile(const std::string& fileName);
    virtual void LoadFromStream(TStream& stream) = 0;
    virtual void SaveToFile(const std::string& fileName);
    // The base cannot save; it raises EInvalidGraphic.
    virtual void SaveToStream(TStream& stream);
    virtual void Assign(const TGraphic& source);

    // The graphic drawn into a new bitmap (any format; callers convert).
    virtual std::unique_ptr<TBitmap> RenderBitmap() const = 0;

    // Called by loaders while they work; costs one test when nobody listens.
    TProgressEvent OnProgress;
    void Progress(TProgressStage stage, std::uint8_t percentDone, bool redrawNow, const TRect& rect,
                  std::string_view message)
    {
        if (OnProgress) OnProgress(*this, stage, percentDone, redrawNow, rect, message);
    }

    bool Transparent = false;
    // Set before loading when a file cut short is a broken picture: a loader
    // whose format may end early (GIF data blocks without their terminator)
    // then raises its error instead of keeping what it read. BMP files are
    // always refused when cut.
    bool RefuseCutData = false;
};

class TBitmap : public TGraphic {
public:
    TBitmap() = default;
    TBitmap(const TBitmap&) = default;
    TBitmap& operator=(const TBitmap&) = default;
    // Moves hand the pixel memory over without copying it; the bitmap moved
    // from is left as a new one (0 × 0, 24 bits, no palette).
    TBitmap(TBitmap&& other) noexcept;
    TBitmap& operator=(TBitmap&& other) noexcept;

    PICTAVO_GRAPHIC_CLASS(TBitmap, TGraphic)

    int Width() const override { return width_; }
    int Height() const override { return height_; }
    // Size changes keep the pixels that still fit; new pixels are zero. Sizes
    // beyond the pixel cap raise EImageTooLarge; negative sizes count as 0.
    void SetWidth(int width) { SetSize(width, height_); }
    void SetHeight(int height) { SetSize(width_, height); }
    void SetSize(int width, int height);

    TPixelFormat PixelFormat() const { return format_; }
    // Converts the pixels already there. pfDevice is stored as 24 bits; pfCustom
    // raises EInvalidGraphic. A new indexed format gets the default palette for
    // its depth unless the bitmap already has a palette.
    void SetPixelFormat(TPixelFormat format);
    int BitsPerPixel() const { return BitsPerPixelOf(format_); }

    // Row 0 is the top row; an index outside 0..Height-1 raises EInvalidGraphic
    // "Scan line index out of range".
    std::uint8_t* ScanLine(int row);
    const std::uint8_t* ScanLine(int row) const;
    // The same row as a span of BytesPerScanLine() bytes (padding included).
    std::span<std::uint8_t> ScanLineSpan(int row);
    std::span<const std::uint8_t> ScanLineSpan(int row) const;
    // Stride: bytes of one row, padded to a multiple of 4.
    std::size_t BytesPerScanLine() const { return stride_; }
    static std::size_t BytesPerScanLineFor(int width, TPixelFormat format);

    // The palette: at most 256 entries, owned by the bitmap.
    const std::vector<TPaletteEntry>& Palette() const { return palette_; }
    void SetPalette(const TLogPalette& palette);
    void SetPaletteEntries(std::vector<TPaletteEntry> entries);

    // The colour of one pixel; indices past the palette's end read as black.
    TColor PixelColor(int x, int y) const;
    // Sets one pixel to a colour (indexed formats take the nearest palette entry).
    void SetPixelColor(int x, int y, TColor color);
    // Fills the whole picture with one colour.
    void FillColor(TColor color);

    // Forgets the picture (size 0 × 0), keeping format and palette.
    void ReleaseImage();
    // All pixel bytes, rows top first, each BytesPerScanLine() long.
    std::span<const std::uint8_t> Bits() const { return pixels_.span(); }

    TColor TransparentColor = 0;

    // The bitmap alone reads and writes no files (loading raises
    // EInvalidGraphic, saving is the base's refusal): BMP files belong to the
    // image-format library's bitmap class, registered for them there.
    void LoadFromStream(TStream& stream) override;
    void Assign(const TGraphic& source) override;
    std::unique_ptr<TBitmap> RenderBitmap() const override;

private:
    void reallocate(int width, int height, TPixelFormat format);

    int width_ = 0;
    int height_ = 0;
    TPixelFormat format_ = pf24bit;
    std::size_t stride_ = 0;
    TZeroedBytes pixels_;
    std::vector<TPaletteEntry> palette_;
};

// One entry of the picture registry.
struct TPictureFileFormat {
    std::string Extension;  // without the dot, as registered
    std::string Description;
    TGraphicClass GraphicClass;
};

class TPicture {
public:
    TPicture() = default;
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    TGraphic* Graphic() const { return graphic_.get(); }
    void SetGraphic(std::unique_ptr<TGraphic> graphic);
    // The picture as a bitmap: the graphic itself when it is one; otherwise the
    // graphic is rendered into a new bitmap which then replaces it (an empty
    // picture gets an empty bitmap).
    TBitmap& Bitmap();
    int Width() const { return graphic_ ? graphic_->Width() : 0; }
    int Height() const { return graphic_ ? graphic_->Height() : 0; }

    // Chooses the graphic class by the file's extension (ignoring case); an
    // unknown one raises EInvalidGraphic "Unknown picture file extension (.%s)".
    // On failure the picture keeps what it had.
    void LoadFromFile(const std::string& fileName);
    // The same for a stream, with the extension given (with or without dot).
    void LoadFromStream(TStream& stream, const std::string& extension);
    void SaveToFile(const std::string& fileName);

    // Passed on to the graphic while it loads.
    TProgressEvent OnProgress;
    // Passed on to the graphic before it loads (TGraphic::RefuseCutData).
    bool RefuseCutData = false;

    // The process-wide registry. The framework's own icon, metafile and JPEG
    // classes are registered from the start; BMP files are registered by the
    // image-format library, which owns their reader. A later registration of the same
    // extension takes precedence over earlier ones.
    static void RegisterFileFormat(const std::string& extension, const std::string& description,
                                   TGraphicClass graphicClass);
    static void UnregisterGraphicClass(TGraphicClass graphicClass);
    // Registered formats, most recent first (the order lookups use).
    static std::vector<TPictureFileFormat> FileFormats();
    // The class registered for an extension (with or without dot, any case), or null.
    static TGraphicClass FindGraphicClass(const std::string& extension);
    static std::string FileFormatDescription(const std::string& extension);

private:
    std::unique_ptr<TGraphic> graphic_;
};

// Lower-cased (ASCII) extension of a file name without the dot; "" when none.
std::string ExtensionOf(const std::string& fileName);
