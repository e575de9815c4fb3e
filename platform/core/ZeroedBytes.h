#pragma once
// Owned zero-filled memory whose pages cost nothing until they are written.
// A picture is allocated before its rows are decoded; a vector's zero fill
// would touch every page of it at once, so a file that fails after a few
// rows would already have cost the whole picture. calloc hands out large
// blocks freshly mapped by the system, already zero and untouched, and
// clears only what it reuses.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <utility>

class TZeroedBytes {
public:
    TZeroedBytes() = default;
    // size zero bytes; raises std::bad_alloc when memory is refused.
    explicit TZeroedBytes(std::size_t size) : bytes_(allocate(size)), size_(size) {}
    TZeroedBytes(const TZeroedBytes& other) : TZeroedBytes(other.size_)
    {
        if (size_) std::memcpy(bytes_.get(), other.bytes_.get(), size_);
    }
    TZeroedBytes& operator=(const TZeroedBytes& other)
    {
        if (this != &other) *this = TZeroedBytes(other);
        return *this;
    }
    TZeroedBytes(TZeroedBytes&& other) noexcept : bytes_(std::move(other.bytes_)), size_(std::exchange(other.size_, 0))
    {
    }
    TZeroedBytes& operator=(TZeroedBytes&& other) noexcept
    {
        bytes_ = std::move(other.bytes_);
        size_ = std::exchange(other.size_, 0);
        return *this;
    }

    std::uint8_t* data() { return bytes_.get(); }
    const std::uint8_t* data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::span<std::uint8_t> span() { return {data(), size_}; }
    std::span<const std::uint8_t> span() const { return {data(), size_}; }

private:
    struct Free {
        void operator()(std::uint8_t* p) const { std::free(p); }
    };
    static std::uint8_t* allocate(std::size_t size)
    {
        if (size == 0) return nullptr;
        auto* p = static_cast<std::uint8_t*>(std::calloc(size, 1));
        if (!p) throw std::bad_alloc();
        return p;
    }

    std::unique_ptr<std::uint8_t[], Free> bytes_;
    std::size_t size_ = 0;
};
