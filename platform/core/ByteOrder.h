#pragma once
// Multi-byte numbers in files, read from and written to bytes in memory in a
// stated byte order, whatever the processor's own. The caller has checked that
// the bytes are there (a BoundedReader does that for streams).

#include <cstdint>

enum class TByteOrder { LittleEndian, BigEndian };

inline std::uint16_t GetLE16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
inline std::uint32_t GetLE32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
inline std::uint16_t GetBE16(const std::uint8_t* p) { return std::uint16_t((p[0] << 8) | p[1]); }
inline std::uint32_t GetBE32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | std::uint32_t(p[3]);
}
inline std::uint16_t Get16(const std::uint8_t* p, TByteOrder order)
{
    return order == TByteOrder::BigEndian ? GetBE16(p) : GetLE16(p);
}
inline std::uint32_t Get32(const std::uint8_t* p, TByteOrder order)
{
    return order == TByteOrder::BigEndian ? GetBE32(p) : GetLE32(p);
}

inline void PutLE16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
inline void PutLE32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}
inline void PutBE16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = std::uint8_t(v >> 8);
    p[1] = std::uint8_t(v);
}
inline void PutBE32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (24 - 8 * i));
}
