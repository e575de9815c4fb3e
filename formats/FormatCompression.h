#pragma once
// Decoders for the compressed blocks of the picture loaders: run-length
// schemes, LZW (TIFF and GIF order) and deflate over zlib.
//
// Every decoder works on caller-owned buffers and never reads more than
// PackedSize bytes nor writes more than UnpackedSize bytes (pixels for the
// Targa decoder). A packet whose data would run past the input, or whose
// output would run past the output space, raises EGraphicCompression after
// writing what fits; input that simply ends between packets stops the
// decoder quietly, and the caller sees how much was written in Produced().
//
// MaxExpansion of each decoder: the most output bytes its densest coding
// makes of one input byte. A loader passes it to CheckedPictureBytes
// (platform/core/CheckedSizes.h) with the packed bytes it has, so no header
// makes it allocate a picture its data could never fill.

#include "platform/core/Exception.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <zlib.h>

class EGraphicCompression : public Exception {
public:
    using Exception::Exception;
};

[[noreturn]] void CompressionError(const std::string& message);

class TDecoder {
public:
    virtual ~TDecoder() = default;

    // Decodes one block. Members that advance Source and Dest say so.
    virtual void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                        std::size_t UnpackedSize) = 0;
    virtual void DecodeEnd() {}
    virtual void DecodeInit() {}
    virtual void Encode(const std::uint8_t* Source, std::uint8_t* Dest, std::size_t Count, std::size_t& BytesStored);
    virtual void EncodeInit() {}
    virtual void EncodeEnd() {}

    // What the last Decode used and wrote, in bytes (Targa: Produced in pixels).
    std::size_t Consumed() const { return consumed_; }
    std::size_t Produced() const { return produced_; }

protected:
    std::size_t consumed_ = 0;
    std::size_t produced_ = 0;
};

// Targa run-length; advances Source only. UnpackedSize counts pixels.
class TTargaRLEDecoder : public TDecoder {
public:
    static constexpr std::uint64_t MaxExpansion = 128;  // 128 pixels of b bytes from b + 1 bytes
    explicit TTargaRLEDecoder(int ColorDepth);
    void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                std::size_t UnpackedSize) override;
    // Dest must hold Count * bytes per pixel + ceil(Count / 128) bytes.
    void Encode(const std::uint8_t* Source, std::uint8_t* Dest, std::size_t Count, std::size_t& BytesStored) override;
    std::size_t BytesPerPixel() const { return bytesPerPixel_; }
    // Worst-case size of Encode's output for Count pixels.
    std::size_t EncodedCapacity(std::size_t Count) const { return Count * bytesPerPixel_ + (Count + 127) / 128; }

private:
    std::size_t bytesPerPixel_;
};

class TTIFFLZWDecoder : public TDecoder {
public:
    static constexpr std::uint64_t MaxExpansion = 8 * 4096 / 9 + 1;  // a string of at most 4096 bytes per 9-bit code
    void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                std::size_t UnpackedSize) override;
};

class TPackbitsRLEDecoder : public TDecoder {
public:
    static constexpr std::uint64_t MaxExpansion = 64;  // 128 bytes from 2
    void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                std::size_t UnpackedSize) override;
};

class TPCXRLEDecoder : public TDecoder {
public:
    static constexpr std::uint64_t MaxExpansion = 32;  // 63 bytes from 2
    void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                std::size_t UnpackedSize) override;
};

class TSGIRLEDecoder : public TDecoder {
public:
    static constexpr std::uint64_t MaxExpansion = 64;  // 127 samples of 1 or 2 bytes from 2 or 4
    explicit TSGIRLEDecoder(int SampleSize);
    void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                std::size_t UnpackedSize) override;

private:
    int sampleSize_;
};

// CUT rows; advances Source to just after the zero header.
class TCUTRLEDecoder : public TDecoder {
public:
    static constexpr std::uint64_t MaxExpansion = 64;  // 127 bytes from 2
    void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                std::size_t UnpackedSize) override;
};

class TPSPRLEDecoder : public TDecoder {
public:
    static constexpr std::uint64_t MaxExpansion = 64;  // 127 bytes from 2
    void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                std::size_t UnpackedSize) override;
};

class TRLADecoder : public TDecoder {
public:
    static constexpr std::uint64_t MaxExpansion = 64;  // 128 bytes from 2
    void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                std::size_t UnpackedSize) override;
};

class TGIFLZWDecoder : public TDecoder {
public:
    static constexpr std::uint64_t MaxExpansion = 8 * 4096 / 3 + 1;  // at most 4096 bytes per code of 3 bits or more
    // InitialCodeSize must be 2..8 (the GIF loader checks it before); other
    // values raise EGraphicCompression here too.
    explicit TGIFLZWDecoder(int InitialCodeSize);
    void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                std::size_t UnpackedSize) override;

private:
    int initialCodeSize_;
};

// Inflate of zlib-wrapped deflate data. Inflate results are kept in
// ZLibResult, never raised; Source and Dest advance.
class TLZ77Decoder : public TDecoder {
public:
    static constexpr std::uint64_t MaxExpansion = 1032;  // deflate's limit, about 1032 to 1
    TLZ77Decoder(int FlushMode, bool AutoReset);
    ~TLZ77Decoder() override;
    TLZ77Decoder(const TLZ77Decoder&) = delete;
    TLZ77Decoder& operator=(const TLZ77Decoder&) = delete;

    void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                std::size_t UnpackedSize) override;
    void DecodeInit() override;
    void DecodeEnd() override;

    int ZLibResult() const { return zlibResult_; }
    std::size_t AvailableInput() const { return stream_.avail_in; }
    std::size_t AvailableOutput() const { return stream_.avail_out; }

private:
    z_stream stream_{};
    int zlibResult_ = Z_OK;
    int flushMode_;
    bool autoReset_;
    bool initialised_ = false;
};
