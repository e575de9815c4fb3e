#pragma once
// The fixed English texts of the image-format library, and the one formatter
// that fills their "%s" places.

#include <initializer_list>
#include <string>
#include <string_view>

namespace FormatStrings {

// Loader messages ("%s" is the format's name, e.g. "GIF").
inline constexpr const char* gesInvalidImage = "Cannot load image. Invalid or unexpected %s image format.";
inline constexpr const char* gesInvalidColorFormat = "Invalid color format in %s file.";
inline constexpr const char* gesStreamReadError = "Stream read error in %s file.";
inline constexpr const char* gesUnsupportedFeature = "Cannot load image. %s not supported for %s files.";
inline constexpr const char* gesCompressionScheme = "The compression scheme is";
inline constexpr const char* gesInvalidCRC = "Cannot load image. CRC error found in %s file.";
inline constexpr const char* gesCompression = "Cannot load image. Compression error found in %s file.";
inline constexpr const char* gesExtraCompressedData = "Cannot load image. Extra compressed data found in %s file.";
inline constexpr const char* gesInvalidPalette = "Cannot load image. Palette in %s file is invalid.";
inline constexpr const char* gesUnknownCriticalChunk = "Cannot load PNG image. Unexpected but critical chunk detected.";
// A size in the file that does not fit the data or the pixel cap.
inline constexpr const char* gesInvalidImageSize = "Cannot load image. Image size in %s file is invalid.";

// Registry messages.
inline constexpr const char* gesRegistration = "Attempt to register %s twice.";

// Progress texts.
inline constexpr const char* gesPreparing = "Preparing...";
inline constexpr const char* gesLoadingData = "Loading data...";
inline constexpr const char* gesUpsampling = "Upsampling...";
inline constexpr const char* gesTransfering = "Transfering...";

// Colour manager messages.
inline constexpr const char* gesIndexedNotSupported =
    "Conversion between indexed and non-indexed pixel formats is not supported.";
inline constexpr const char* gesConversionUnsupported = "Color conversion failed. Could not find a proper method.";
inline constexpr const char* gesInvalidSampleDepth =
    "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.";
inline constexpr const char* gesInvalidPixelDepth =
    "Sample count per pixel does not correspond to the given color scheme.";
inline constexpr const char* gesInvalidSubSampling = "Subsampling value is invalid. Allowed are 1, 2 and 4.";
inline constexpr const char* gesVerticalSubSamplingError =
    "Vertical subsampling value must be <= horizontal subsampling value.";
// A row buffer shorter than the pixels asked for.
inline constexpr const char* gesRowBufferTooSmall = "Color conversion failed. The row buffer is too small.";

// Format names used in the messages.
inline constexpr const char* gesGIF = "GIF";
inline constexpr const char* gesPNG = "PNG";
inline constexpr const char* gesPCX = "PCX";
inline constexpr const char* gesTarga = "Targa";
inline constexpr const char* gesTIFFormat = "TIF/TIFF";
inline constexpr const char* gesEPSFormat = "EPS";
inline constexpr const char* gesPSDFormat = "PSD or PDD";
inline constexpr const char* gesPSPFormat = "PSP";
inline constexpr const char* gesRLAFormat = "RLA";

// Descriptions of the registered file formats.
inline constexpr const char* gesBitmaps = "Windows bitmaps";
inline constexpr const char* gesRLEBitmaps = "Run length encoded Windows bitmaps";
inline constexpr const char* gesDIBs = "Device independant Windows bitmaps";
inline constexpr const char* gesIcons = "Windows icons";
inline constexpr const char* gesMetaFiles = "Windows metafiles";
inline constexpr const char* gesEnhancedMetaFiles = "Windows enhanced meta files";
inline constexpr const char* gesJPGImages = "JPG images";
inline constexpr const char* gesJPEGImages = "JPEG images";
inline constexpr const char* gesJPEImages = "JPE images";
inline constexpr const char* gesJFIFImages = "JFIF images";
inline constexpr const char* gesTruevision = "Truevision images";
inline constexpr const char* gesTIFF = "Tagged image file format images";
inline constexpr const char* gesMacTIFF = "Macintosh TIFF images";
inline constexpr const char* gesPCTIF = "PC TIF images";
inline constexpr const char* gesGFIFax = "GFI fax images";
inline constexpr const char* gesEPS = "Encapsulated Postscript images";
inline constexpr const char* gesZSoft = "ZSoft Paintbrush images";
inline constexpr const char* gesWordScreenCapture = "Word 5.x screen capture images";
inline constexpr const char* gesAliasWaveFront = "Alias/Wavefront images";
inline constexpr const char* gesSGI = "SGI images";
inline constexpr const char* gesSGITrueColor = "SGI true color images";
inline constexpr const char* gesSGITrueColorAlpha = "SGI true color images with alpha";
inline constexpr const char* gesSGIMono = "SGI black/white images";
inline constexpr const char* gesPhotoshop = "Photoshop images";
inline constexpr const char* gesPortable = "Portable map images";
inline constexpr const char* gesPortablePixel = "Portable pixel map images";
inline constexpr const char* gesPortableGray = "Portable gray map images";
inline constexpr const char* gesPortableMono = "Portable bitmap images";
inline constexpr const char* gesAutodesk = "Autodesk images";
inline constexpr const char* gesKodakPhotoCD = "Kodak Photo-CD images";
inline constexpr const char* gesCompuserve = "CompuServe images";
inline constexpr const char* gesHalo = "Dr. Halo images";
inline constexpr const char* gesPaintShopPro = "Paintshop Pro images";
inline constexpr const char* gesPortableNetworkGraphic = "Portable network graphic images";

}  // namespace FormatStrings

// Fills the "%s" places of pattern with the arguments, in order ("%%" gives
// "%"). Places without an argument stay empty; extra arguments are ignored.
std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> arguments);
