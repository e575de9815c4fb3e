// The bounded reader: byte orders, every way to step past the data, and the
// size checks at their edges, each raising the caller's own error.

#include "platform/streams/BoundedReader.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <optional>

namespace {

struct LoaderError {
    TReadFault fault;
};

void raiseLoaderError(TReadFault fault) { throw LoaderError{fault}; }

std::optional<TReadFault> faultOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const LoaderError& e) {
        return e.fault;
    }
    return std::nullopt;
}

}  // namespace

TEST(BoundedReader, ReadsBothByteOrdersAndPutsThemBack)
{
    const std::vector<std::uint8_t> bytes = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0x11, 0x22, 0x33, 0x44};
    TByteViewStream stream(bytes.data(), bytes.size());
    BoundedReader in(stream, raiseLoaderError);
    EXPECT_EQ(in.LE16(), 0x3412);
    EXPECT_EQ(in.BE16(), 0x5678);
    EXPECT_EQ(in.LE32(), 0xF0DEBC9Au);
    EXPECT_EQ(in.U16(TByteOrder::BigEndian), 0x1122);
    EXPECT_EQ(in.Position(), 10);
    in.Seek(0);
    EXPECT_EQ(in.BE32(), 0x12345678u);
    EXPECT_EQ(in.U32(TByteOrder::LittleEndian), 0xF0DEBC9Au);

    std::uint8_t out[4];
    PutLE32(out, 0x01020304);
    EXPECT_EQ(GetBE32(out), 0x04030201u);
    PutBE16(out, 0xA1B2);
    EXPECT_EQ(Get16(out, TByteOrder::LittleEndian), 0xB2A1);
    PutBE32(out, 0xCAFEF00D);
    EXPECT_EQ(Get32(out, TByteOrder::BigEndian), 0xCAFEF00Du);
    PutLE16(out, 0x1234);
    EXPECT_EQ(GetLE16(out), 0x1234);
}

TEST(BoundedReader, EveryStepPastTheDataRaisesTheCallersErrorAndAllocatesNothing)
{
    const std::vector<std::uint8_t> bytes = {1, 2, 3};
    TByteViewStream stream(bytes.data(), bytes.size());
    BoundedReader in(stream, raiseLoaderError);
    std::uint8_t buffer[8];
    const std::pair<const char*, std::function<void()>> steps[] = {
        {"LE32", [&] { in.LE32(); }},
        {"BE32", [&] { in.BE32(); }},
        {"Read", [&] { in.Read(buffer, 4); }},
        {"Skip", [&] { in.Skip(4); }},
        {"Seek", [&] { in.Seek(4); }},
        {"Seek before the start", [&] { in.Seek(-1); }},
        {"Bytes", [&] { in.Bytes(std::uint64_t(1) << 60); }},  // refused before the vector is made
        {"Byte at the end",
         [&] {
             in.Seek(3);
             in.Byte();
         }},
    };
    for (const auto& [name, step] : steps) {
        in.Seek(0);
        EXPECT_EQ(faultOf(step), TReadFault::ShortData) << name;
    }
    in.Seek(3);  // the end itself is a place to stand
    EXPECT_EQ(in.Remaining(), 0);
    in.Seek(1);
    EXPECT_EQ(in.Bytes(2), (std::vector<std::uint8_t>{2, 3}));
}

TEST(CheckedSizes, PixelCapAndWhatTheDataCanFill)
{
    constexpr std::uint64_t side = std::uint64_t(1) << 14;  // side × side is the cap
    struct Case {
        const char* name;
        std::uint64_t width, height, bytesPerPixel;
        std::int64_t left;
        std::uint64_t expansion;
        std::optional<TReadFault> fault;
    };
    const Case cases[] = {
        {"the cap itself", side, side, 1, 1 << 20, 4096, std::nullopt},
        {"one row past the cap", side, side + 1, 1, 1 << 20, 4096, TReadFault::TooLarge},
        {"one side past the cap with the other 0", 0, MaxPixelCount + 1, 1, 0, 1, TReadFault::TooLarge},
        {"bytes past 64 bits", side, side, std::uint64_t(1) << 40, 0, 1, TReadFault::TooLarge},
        {"the hostile run-length header", side, side, 1, 21 * 1024, 4096, TReadFault::CannotFill},
        {"header-only slack", 64, 64, 1, 0, 1, std::nullopt},
        {"one byte past the slack", 4097, 1, 1, 0, 1, TReadFault::CannotFill},
        {"exactly what the data packs", 4096 + 64 * 10, 1, 1, 10, 64, std::nullopt},
        {"one byte more", 4096 + 64 * 10 + 1, 1, 1, 10, 64, TReadFault::CannotFill},
        {"nothing left at all", 100, 100, 3, -5, 128, TReadFault::CannotFill},
        {"no overflow from a huge file", side, side, 16, std::numeric_limits<std::int64_t>::max(),
         std::numeric_limits<std::uint64_t>::max(), std::nullopt},
    };
    for (const Case& c : cases) {
        std::size_t bytes = 0;
        EXPECT_EQ(faultOf([&] {
                      bytes = CheckedPictureBytes(c.width, c.height, c.bytesPerPixel, c.left, c.expansion,
                                                  raiseLoaderError);
                  }),
                  c.fault)
            << c.name;
        if (!c.fault) {
            EXPECT_EQ(bytes, c.width * c.height * c.bytesPerPixel) << c.name;
        }
    }
    EXPECT_EQ(faultOf([] { CheckedMultiply(std::uint64_t(1) << 32, std::uint64_t(1) << 32, raiseLoaderError); }),
              TReadFault::TooLarge);
    EXPECT_EQ(CheckedRowBytes(9, 4, raiseLoaderError), 5u);

    // The reader measures against the bytes from its position on.
    const std::vector<std::uint8_t> bytes(100);
    TByteViewStream stream(bytes.data(), bytes.size());
    BoundedReader in(stream, raiseLoaderError);
    EXPECT_EQ(in.PictureBytes(4096 + 100, 1, 1, 1), 4196u);
    in.Skip(1);
    EXPECT_EQ(faultOf([&] { in.PictureBytes(4096 + 100, 1, 1, 1); }), TReadFault::CannotFill);
}

TEST(CheckedSizes, AHandlerThatReturnsStillEndsTheRead)
{
    const std::vector<std::uint8_t> bytes = {1};
    TByteViewStream stream(bytes.data(), bytes.size());
    BoundedReader in(stream, [](TReadFault) {});
    EXPECT_THROW(in.LE16(), Exception);
    EXPECT_THROW(CheckedPixelCount(MaxPixelCount, 2, nullptr), Exception);
}
