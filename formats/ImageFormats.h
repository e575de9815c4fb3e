#pragma once
// The base of the picture loaders (a bitmap that can test a stream for its
// format, read the header facts and load the pixels), the facts it reads, and
// the registry that maps file extensions to picture classes.

#include "formats/FormatColor.h"
#include "formats/FormatStrings.h"
#include "platform/picture/Picture.h"
#include "platform/streams/Streams.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// EInvalidGraphic (platform/picture/Picture.h) is the loaders' error.

// Compression of the stored image data.
enum TCompressionCode : std::uint8_t {
    ctUnknown = 0,
    ctNone = 1,
    ctRLE = 2,  // the format's own run-length scheme
    ctPackedBits = 3,
    ctLZW = 4,
    ctFax3 = 5,
    ctFaxRLE = 6,
    ctFax4 = 7,
    ctFaxRLEW = 8,
    ctLZ77 = 9,  // deflate (zlib stream)
    ctJPEG = 10,
    ctOJPEG = 11,
    ctThunderscan = 12,
    ctNext = 13,
    ctIT8CTPAD = 14,
    ctIT8LW = 15,
    ctIT8MP = 16,
    ctIT8BL = 17,
    ctPixarFilm = 18,
    ctPixarLog = 19,
    ctDCS = 20,
    ctJBIG = 21,
    ctPCDHuffmann = 22
};

// Bits of TImageProperties::Options.
constexpr std::uint8_t TiledOption = 1;
constexpr std::uint8_t BigEndianOption = 2;
constexpr std::uint8_t MinIsWhiteOption = 4;
constexpr std::uint8_t ReversedFillOrderOption = 8;
constexpr std::uint8_t GammaAppliedOption = 16;

using TCardinalArray = std::vector<std::uint32_t>;
using TByteArray = std::vector<std::uint8_t>;

// Header facts of an image, read without decoding pixels.
struct TImageProperties {
    std::uint32_t Version = 0;
    std::uint8_t Options = 0;
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    TColorScheme ColorScheme = csUnknown;
    std::uint8_t BitsPerSample = 0;
    std::uint8_t SamplesPerPixel = 0;
    std::uint8_t BitsPerPixel = 0;
    TCompressionCode Compression = ctUnknown;
    float FileGamma = 1.0f;
    float XResolution = 0;
    float YResolution = 0;
    bool Interlaced = false;
    bool HasAlpha = false;
    std::uint32_t FirstIFD = 0;
    std::uint32_t PlanarConfig = 0;
    std::uint32_t CurrentRow = 0;
    std::uint32_t TileWidth = 0;
    std::uint32_t TileLength = 0;
    std::uint32_t BytesPerLine = 0;
    TCardinalArray RowsPerStrip;
    TByteArray YCbCrSubSampling;
    TByteArray JPEGTables;
    std::uint32_t JPEGColorMode = 0;
    std::uint32_t JPEGTablesMode = 0;
    std::uint32_t CurrentStrip = 0;
    std::uint32_t StripCount = 0;
    std::uint32_t Predictor = 0;
    bool Overview = false;
    std::uint8_t Rotate = 0;
    std::uint16_t ImageCount = 0;
    bool LocalColorTable = false;
    bool BottomUp = false;
    std::uint8_t Channels = 0;
    std::uint8_t FilterMode = 0;
};

// Put inside the public part of every loader class; the class must declare
// `static bool CanLoad(TStream& stream);`. Adds the class reference and the
// class-level CanLoad(fileName).
#define PICTAVO_FORMAT_GRAPHIC_CLASS(Name, ParentName)                                                             \
    static TGraphicClass StaticClass()                                                                             \
    {                                                                                                              \
        static const TGraphicClassRec rec{#Name,                                                                   \
                                          []() -> std::unique_ptr<TGraphic> { return std::make_unique<Name>(); },  \
                                          ParentName::StaticClass(), [](TStream& s) { return Name::CanLoad(s); }}; \
        return &rec;                                                                                               \
    }                                                                                                              \
    TGraphicClass ClassType() const override { return StaticClass(); }                                             \
    static bool CanLoad(const std::string& fileName)                                                               \
    {                                                                                                              \
        return TFormatGraphic::CanLoadFile(fileName, [](TStream& s) { return Name::CanLoad(s); });                 \
    }

class TFormatGraphic : public TBitmap {
public:
    TFormatGraphic();
    TFormatGraphic(const TFormatGraphic& other);
    TFormatGraphic& operator=(const TFormatGraphic& other);

    PICTAVO_FORMAT_GRAPHIC_CLASS(TFormatGraphic, TBitmap)

    // Copies ImageProperties when the source is a format graphic, then the bitmap.
    void Assign(const TGraphic& source) override;

    // The format's signature test; leaves the stream where it found it. The
    // base recognises nothing.
    static bool CanLoad(TStream& stream);
    // Opens the file read-only and runs a stream test on it; false when the file
    // cannot be opened.
    static bool CanLoadFile(const std::string& fileName, bool (*canLoadStream)(TStream&));

    // Fills ImageProperties from the header. The base resets the record
    // (FileGamma 1.0, all else 0 or empty) and returns false; overrides call it
    // first and return true only when they recognised the header. A loader
    // keeps what else its load needs of the header, and leaves the stream
    // where its load goes on.
    virtual bool ReadImageProperties(TStream& stream, std::uint32_t imageIndex);

    // The one course of every loader: the image released, the header parsed
    // once (ReadImageProperties; a header that is not the format's is refused
    // with "Cannot load image. Invalid or unexpected %s image format.", or
    // ends the load quietly where the format does so), then LoadImage from
    // where the header ended. A load that fails leaves the picture empty and
    // raises the loader's own error, EInvalidGraphic: a layout the colour
    // manager refuses as "Invalid color format in %s file.", a decoder's
    // complaint with its own text.
    void LoadFromStream(TStream& stream) override;

    std::unique_ptr<TColorManager> ColorManager;
    TImageProperties ImageProperties;
    std::int64_t BasePosition = 0;  // where the image data begins in the stream
    TStream* Stream = nullptr;      // the stream being read, not owned
    TRect ProgressRect;

protected:
    // The format's name in the loader's messages ("" for the base).
    virtual const char* FormatName() const { return ""; }
    // The image a load reads (Photo-CD: its resolution index).
    virtual std::uint32_t LoadedImageIndex() const { return 0; }
    // False where an unrecognised header ends the load quietly with an empty
    // picture (PCX, Photo-CD, RLA).
    virtual bool RefusesUnknownHeader() const { return true; }
    // Loads the pixels after ReadImageProperties recognised the header; the
    // stream stands where that left it. The base loads nothing.
    virtual void LoadImage(TStream&) {}

    // Common steps of a load.
    // Starts a load: releases the image, notes BasePosition (and Stream) and
    // takes a fresh ColorManager, so nothing of an earlier load (gamma,
    // options) carries over.
    void BeginLoad(TStream& stream);
    // Reports psEnding when it goes, so a load that raises still ends its progress.
    struct TEndProgress {
        TFormatGraphic& graphic;
        ~TEndProgress() { graphic.Progress(TProgressStage::psEnding, 0, false, graphic.ProgressRect, ""); }
    };
    // ProgressRect := (0, 0, Width, 1).
    void ResetProgressRect(std::uint32_t width);
    // Reports psStarting with the stage's text over the picture's first row.
    void StartProgress(const char* stage);
    // Ends the stage under way and starts the next one over the same rect.
    void NextStage(const char* stage);
    // Reports a finished row (running, MulDiv(row, 100, height) %, redraw) and
    // moves ProgressRect down one row.
    void RowDone(std::uint32_t row, std::uint32_t height);
};

// Raises EInvalidGraphic with the message, or with "%s" places filled.
[[noreturn]] void ImageFormatsError(const std::string& message);
[[noreturn]] void ImageFormatsError(std::string_view pattern, std::initializer_list<std::string_view> arguments);

// Reverse the byte order of count 16-bit or 32-bit values in place.
void SwapShorts(std::uint16_t* values, std::size_t count);
void SwapLongs(std::uint32_t* values, std::size_t count);
std::uint32_t SwapLong(std::uint32_t value);

// a × b / c rounded toward zero in 64 bits; c 0 gives 0.
std::int32_t MulDiv(std::int64_t a, std::int64_t b, std::int64_t c);

// Refuses (EImageTooLarge, an EInvalidGraphic) image sizes past the pixel cap
// before a loader allocates or sets its size: width × height × bytesPerPixel
// through one checked multiply (platform/picture/Picture.h has the helpers).
using ::CheckedImageBytes;
using ::CheckedPixelCount;
using ::CheckedRowBytes;

// --- Registry --------------------------------------------------------------------

// Bits of TFormatTypes.
constexpr std::uint8_t ftAnimation = 1;
constexpr std::uint8_t ftLayered = 2;
constexpr std::uint8_t ftMultiImage = 4;
constexpr std::uint8_t ftRaster = 8;
constexpr std::uint8_t ftVector = 16;
using TFormatTypes = std::uint8_t;

struct TClassEntry {
    TGraphicClass GraphicClass = nullptr;
    std::string Description;
    int Count = 0;
};

struct TExtensionEntry {
    std::string Extension;
    std::string Description;
    TFormatTypes Types = 0;
    TClassEntry* ClassEntry = nullptr;
};

// Which picture class reads which extension; every registration is mirrored
// into the picture registry (TPicture::RegisterFileFormat).
class TFileFormatList {
public:
    TFileFormatList() = default;
    ~TFileFormatList();
    TFileFormatList(const TFileFormatList&) = delete;
    TFileFormatList& operator=(const TFileFormatList&) = delete;

    void Clear();
    // Index of the extension entry (ignoring case); -1 when none or empty.
    int FindExtension(const std::string& extension) const;
    int FindGraphicClass(TGraphicClass graphicClass) const;
    // Raises EInvalidGraphic "Attempt to register %s twice." for a known
    // extension without replace.
    void RegisterFileFormat(const std::string& extension, const std::string& common, const std::string& individual,
                            TFormatTypes types, bool replace, TGraphicClass graphicClass);
    // With an extension: that one; with an empty one: the whole class.
    void UnregisterFileFormat(const std::string& extension, TGraphicClass graphicClass);

    const std::vector<std::unique_ptr<TClassEntry>>& ClassList() const { return classes_; }
    const std::vector<std::unique_ptr<TExtensionEntry>>& ExtensionList() const { return extensions_; }

private:
    void removeClassEntry(TClassEntry* entry);

    std::vector<std::unique_ptr<TClassEntry>> classes_;
    std::vector<std::unique_ptr<TExtensionEntry>> extensions_;
};

// One start-up registration as the library lists it.
struct TFormatRegistration {
    const char* Extension;
    const char* ClassName;
    const char* Common;      // "" when the call gives none
    const char* Individual;  // "" when the call gives none
    TFormatTypes Types;
};

// All 40 start-up registrations, in order.
const std::vector<TFormatRegistration>& StartupRegistrations();
// The class built into this program for a class name, or null when that
// loader is not built (yet).
TGraphicClass BuiltGraphicClass(const std::string& className);

// The process-wide list. InitializeImageFormats() creates it and registers
// every start-up entry whose class is built; it runs once (later calls do
// nothing). FinalizeImageFormats() unregisters and frees it.
TFileFormatList* FileFormatList();
void InitializeImageFormats();
void FinalizeImageFormats();
