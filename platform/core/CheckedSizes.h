#pragma once
// The one pixel cap, and size arithmetic on numbers a file supplies. Each
// check raises through the caller's fault handler, so a loader's failures
// keep the loader's own error type and message. BoundedReader
// (platform/streams/BoundedReader.h) binds these to a stream.

#include "platform/core/Exception.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>

// No picture, buffer or reader holds more pixels than this.
inline constexpr std::uint64_t MaxPixelCount = std::uint64_t(1) << 28;

// Slack every "can the data fill it" check allows, so a tiny picture whose
// pixels all come from the header or one escape code still loads.
inline constexpr std::uint64_t PictureBytesSlack = 4096;

enum class TReadFault {
    ShortData,   // fewer bytes left than a read, skip or seek needs
    TooLarge,    // a size past the pixel cap, or a product past 64 bits
    CannotFill,  // a picture the bytes left could not produce at the format's densest coding
};

// Raises the caller's own error for a fault. It is expected to throw; if it
// returns, RaiseFault throws a plain Exception.
using TFaultHandler = std::function<void(TReadFault)>;

[[noreturn]] inline void RaiseFault(const TFaultHandler& raise, TReadFault fault)
{
    if (raise) raise(fault);
    throw Exception(fault == TReadFault::ShortData  ? "Read past the end of the data"
                    : fault == TReadFault::TooLarge ? "The picture is too large"
                                                    : "The data cannot fill the picture");
}

// a × b; TooLarge when it does not fit in 64 bits.
inline std::uint64_t CheckedMultiply(std::uint64_t a, std::uint64_t b, const TFaultHandler& raise)
{
    if (a != 0 && b > std::numeric_limits<std::uint64_t>::max() / a) RaiseFault(raise, TReadFault::TooLarge);
    return a * b;
}

// width × height; TooLarge past MaxPixelCount, also when one side alone is
// past it (so a zero side cannot carry an absurd other one).
inline std::uint64_t CheckedPixelCount(std::uint64_t width, std::uint64_t height, const TFaultHandler& raise)
{
    if (width > MaxPixelCount || height > MaxPixelCount) RaiseFault(raise, TReadFault::TooLarge);
    const std::uint64_t pixels = CheckedMultiply(width, height, raise);
    if (pixels > MaxPixelCount) RaiseFault(raise, TReadFault::TooLarge);
    return pixels;
}

// Bytes of one packed row of width pixels at bitsPerPixel (at most 128),
// rounded up to whole bytes, no padding; TooLarge past the cap.
inline std::size_t CheckedRowBytes(std::uint64_t width, std::uint64_t bitsPerPixel, const TFaultHandler& raise)
{
    if (width > MaxPixelCount || bitsPerPixel > 128) RaiseFault(raise, TReadFault::TooLarge);
    return static_cast<std::size_t>((width * bitsPerPixel + 7) / 8);
}

// width × height × bytesPerPixel, checked against the pixel cap (TooLarge)
// and against the data that is to produce it: more than `expansion` decoded
// bytes per byte of bytesLeft (plus PictureBytesSlack) is CannotFill.
// expansion is 1 for stored rows, and the densest the format's coding can
// pack for compressed ones (a run packet of 128 pixels in 2 bytes: 64).
// A picture counted in pixels rather than bytes passes bytesPerPixel 1.
inline std::size_t CheckedPictureBytes(std::uint64_t width, std::uint64_t height, std::uint64_t bytesPerPixel,
                                       std::int64_t bytesLeft, std::uint64_t expansion, const TFaultHandler& raise)
{
    const std::uint64_t bytes = CheckedMultiply(CheckedPixelCount(width, height, raise), bytesPerPixel, raise);
    if (bytes > std::numeric_limits<std::size_t>::max()) RaiseFault(raise, TReadFault::TooLarge);
    const std::uint64_t left = bytesLeft > 0 ? static_cast<std::uint64_t>(bytesLeft) : 0;
    if (expansion == 0) expansion = 1;
    // (bytes - slack) / expansion, rounded up, against the bytes left: no product that could overflow.
    if (bytes > PictureBytesSlack && (bytes - PictureBytesSlack - 1) / expansion + 1 > left)
        RaiseFault(raise, TReadFault::CannotFill);
    return static_cast<std::size_t>(bytes);
}
