#pragma once
// BoundedReader: how a picture loader takes bytes from a file. Every read,
// skip and seek is checked against the bytes the stream holds; numbers come in
// the byte order the format states; sizes go through the checked arithmetic of
// platform/core/CheckedSizes.h (one pixel cap, MaxPixelCount = 2^28) before
// anything is allocated. Each fault raises the loader's own error through the
// handler it passes, so the reader knows nothing of any format:
//
//   BoundedReader in(stream, [](TReadFault f) { throw EMyError(MyText(f)); });
//   const std::uint32_t width = in.BE32(), height = in.BE32();  // ShortData at the end
//   in.Skip(in.LE16());                                          // an ID field
//   const std::size_t bytes = in.PictureBytes(width, height, 3, 64);  // before allocating
//   std::vector<std::uint8_t> packed = in.Bytes(in.Remaining());
//
// Bytes already in memory are read through a TByteViewStream. Offsets a
// format counts from the start of its image add the position the loader
// started at. Get/Put helpers for bytes in memory are in
// platform/core/ByteOrder.h; TByteOrder chooses an order at run time (TIFF).

#include "platform/core/ByteOrder.h"
#include "platform/core/CheckedSizes.h"
#include "platform/streams/Streams.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

class BoundedReader {
public:
    BoundedReader(TStream& stream, TFaultHandler raise)
        : stream_(stream), raise_(std::move(raise)), size_(stream.Size())
    {
    }

    TStream& Stream() { return stream_; }
    const TFaultHandler& Handler() const { return raise_; }

    std::int64_t Size() const { return size_; }
    std::int64_t Position() { return stream_.Position(); }
    std::int64_t Remaining()
    {
        const std::int64_t rest = size_ - stream_.Position();
        return rest > 0 ? rest : 0;
    }
    // To an absolute position; ShortData past the end (the end itself is fine).
    void Seek(std::int64_t position)
    {
        if (position < 0 || position > size_) Fail(TReadFault::ShortData);
        stream_.SetPosition(position);
    }
    void Skip(std::uint64_t count)
    {
        if (static_cast<std::uint64_t>(Remaining()) < count) Fail(TReadFault::ShortData);
        stream_.Seek(static_cast<std::int64_t>(count), SeekOrigin::Current);
    }

    void Read(void* buffer, std::size_t count)
    {
        if (count == 0) return;
        if (static_cast<std::uint64_t>(Remaining()) < count || stream_.Read(buffer, count) != count)
            Fail(TReadFault::ShortData);
    }
    // count bytes into a new vector, checked before the vector is made.
    std::vector<std::uint8_t> Bytes(std::uint64_t count)
    {
        if (static_cast<std::uint64_t>(Remaining()) < count) Fail(TReadFault::ShortData);
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
        Read(bytes.data(), bytes.size());
        return bytes;
    }

    std::uint8_t Byte()
    {
        std::uint8_t b;
        Read(&b, 1);
        return b;
    }
    std::uint16_t LE16() { return GetLE16(take<2>().data()); }
    std::uint32_t LE32() { return GetLE32(take<4>().data()); }
    std::uint16_t BE16() { return GetBE16(take<2>().data()); }
    std::uint32_t BE32() { return GetBE32(take<4>().data()); }
    std::uint16_t U16(TByteOrder order) { return order == TByteOrder::BigEndian ? BE16() : LE16(); }
    std::uint32_t U32(TByteOrder order) { return order == TByteOrder::BigEndian ? BE32() : LE32(); }

    // The checked sizes of CheckedSizes.h with this reader's handler;
    // PictureBytes measures against the bytes from here to the end.
    std::uint64_t Multiply(std::uint64_t a, std::uint64_t b) { return CheckedMultiply(a, b, raise_); }
    std::uint64_t PixelCount(std::uint64_t width, std::uint64_t height)
    {
        return CheckedPixelCount(width, height, raise_);
    }
    std::size_t PictureBytes(std::uint64_t width, std::uint64_t height, std::uint64_t bytesPerPixel,
                             std::uint64_t expansion)
    {
        return CheckedPictureBytes(width, height, bytesPerPixel, Remaining(), expansion, raise_);
    }

    [[noreturn]] void Fail(TReadFault fault) { RaiseFault(raise_, fault); }

private:
    template <std::size_t N>
    std::array<std::uint8_t, N> take()
    {
        std::array<std::uint8_t, N> b;
        Read(b.data(), N);
        return b;
    }

    TStream& stream_;
    TFaultHandler raise_;
    std::int64_t size_;
};
