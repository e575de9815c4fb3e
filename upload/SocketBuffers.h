#pragma once
// One block of a socket's send queue: a fixed data area filled at the end and
// drained from the front; when drained it starts again from its beginning.

#include <cstdint>
#include <vector>

class TBuffer {
public:
    static constexpr int DefaultSize = 1514;  // one Ethernet frame

    explicit TBuffer(int size);  // size <= 0 gives DefaultSize

    int Size() const { return static_cast<int>(FData.size()); }
    int WrCount() const { return FWrCount; }
    int RdCount() const { return FRdCount; }

    // Copies as many bytes as fit into the free space; returns that number
    // (0 when full or when len <= 0).
    int Write(const void* data, int len);
    // Unread bytes, or nullptr with count 0 when there are none.
    const std::uint8_t* Peek(int& count) const;
    // Takes up to len unread bytes; returns how many were taken. Once
    // everything is read the block is reused from its start.
    int Remove(int len);
    // New area size (<= 0 gives DefaultSize); the stored bytes stay where
    // they are, as many as fit.
    void SetSize(int size);

private:
    std::vector<std::uint8_t> FData;
    std::int32_t FWrCount = 0;
    std::int32_t FRdCount = 0;
};
