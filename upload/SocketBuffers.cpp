#include "upload/SocketBuffers.h"

#include <algorithm>
#include <cstring>

TBuffer::TBuffer(int size) { SetSize(size); }

int TBuffer::Write(const void* data, int len)
{
    if (len <= 0 || data == nullptr) return 0;
    int room = Size() - FWrCount;
    int count = std::min(len, room);
    if (count <= 0) return 0;
    std::memcpy(FData.data() + FWrCount, data, static_cast<std::size_t>(count));
    FWrCount += count;
    return count;
}

const std::uint8_t* TBuffer::Peek(int& count) const
{
    count = FWrCount - FRdCount;
    if (count <= 0) {
        count = 0;
        return nullptr;
    }
    return FData.data() + FRdCount;
}

int TBuffer::Remove(int len)
{
    if (len <= 0) return 0;
    int count = std::min(len, FWrCount - FRdCount);
    FRdCount += count;
    if (FRdCount >= FWrCount) {
        FRdCount = 0;
        FWrCount = 0;
    }
    return count;
}

void TBuffer::SetSize(int size)
{
    if (size <= 0) size = DefaultSize;
    // The stored bytes keep their places; a smaller area keeps what fits.
    int keep = std::min(FWrCount, size);
    std::vector<std::uint8_t> area(static_cast<std::size_t>(size));
    if (keep > 0) std::memcpy(area.data(), FData.data(), static_cast<std::size_t>(keep));
    FData = std::move(area);
    FWrCount = keep;
    FRdCount = std::min(FRdCount, FWrCount);
}
