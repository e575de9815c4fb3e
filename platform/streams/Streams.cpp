#include "platform/streams/Streams.h"

#include "platform/core/ByteOrder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

std::int64_t resolveSeek(std::int64_t offset, SeekOrigin origin, std::int64_t position, std::int64_t size)
{
    std::int64_t base = origin == SeekOrigin::Beginning ? 0 : origin == SeekOrigin::Current ? position : size;
    std::int64_t target = base + offset;
    return target < 0 ? 0 : target;
}

}  // namespace

std::int64_t TStream::Size()
{
    std::int64_t here = Position();
    std::int64_t end = Seek(0, SeekOrigin::End);
    Seek(here, SeekOrigin::Beginning);
    return end;
}

std::int64_t TStream::Remaining()
{
    std::int64_t rest = Size() - Position();
    return rest > 0 ? rest : 0;
}

void TStream::ReadBuffer(void* buffer, std::size_t count)
{
    if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, std::size_t count)
{
    if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    std::vector<std::uint8_t> chunk(64 * 1024);
    std::int64_t left = count;
    while (left > 0) {
        std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(chunk.size())));
        source.ReadBuffer(chunk.data(), n);
        WriteBuffer(chunk.data(), n);
        left -= static_cast<std::int64_t>(n);
    }
    return count;
}

std::uint8_t TStream::ReadByte()
{
    std::uint8_t b;
    ReadBuffer(&b, 1);
    return b;
}

std::uint16_t TStream::ReadLE16()
{
    std::uint8_t b[2];
    ReadBuffer(b, 2);
    return GetLE16(b);
}

std::uint32_t TStream::ReadLE32()
{
    std::uint8_t b[4];
    ReadBuffer(b, 4);
    return GetLE32(b);
}

std::uint16_t TStream::ReadBE16()
{
    std::uint8_t b[2];
    ReadBuffer(b, 2);
    return GetBE16(b);
}

std::uint32_t TStream::ReadBE32()
{
    std::uint8_t b[4];
    ReadBuffer(b, 4);
    return GetBE32(b);
}

TFileStream::TFileStream(const std::string& fileName, FileMode mode) : fileName_(fileName)
{
    const char* how = "rb";
    switch (mode) {
    case FileMode::OpenRead: how = "rb"; break;
    case FileMode::OpenWrite:
    case FileMode::OpenReadWrite: how = "r+b"; break;
    case FileMode::Create: how = "w+b"; break;
    }
    file_ = std::fopen(fileName.c_str(), how);
    if (file_ != nullptr && mode != FileMode::Create) {
        // fopen happily opens a folder for reading; a stream of one is an error.
        struct stat st {};
        if (fstat(fileno(file_), &st) == 0 && S_ISDIR(st.st_mode)) {
            std::fclose(file_);
            file_ = nullptr;
            errno = EISDIR;
        }
    }
    if (file_ == nullptr) {
        std::string reason = std::strerror(errno);
        if (mode == FileMode::Create) throw EFCreateError("Cannot create file \"" + fileName + "\". " + reason);
        throw EFOpenError("Cannot open file \"" + fileName + "\". " + reason);
    }
}

TFileStream::~TFileStream()
{
    if (file_ != nullptr) std::fclose(file_);
}

std::size_t TFileStream::Read(void* buffer, std::size_t count) { return std::fread(buffer, 1, count, file_); }

std::size_t TFileStream::Write(const void* buffer, std::size_t count)
{
    std::size_t written = std::fwrite(buffer, 1, count, file_);
    if (written == count && std::fflush(file_) != 0) return 0;
    return written;
}

std::int64_t TFileStream::Seek(std::int64_t offset, SeekOrigin origin)
{
    int whence = origin == SeekOrigin::Beginning ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
    if (!(origin == SeekOrigin::Current && offset == 0)) fseeko(file_, static_cast<off_t>(offset), whence);
    return static_cast<std::int64_t>(ftello(file_));
}

std::size_t TMemoryStream::Read(void* buffer, std::size_t count)
{
    std::int64_t size = Size();
    if (position_ >= size) return 0;
    std::size_t n =
        static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(count), size - position_));
    std::memcpy(buffer, data_.data() + position_, n);
    position_ += static_cast<std::int64_t>(n);
    return n;
}

std::size_t TMemoryStream::Write(const void* buffer, std::size_t count)
{
    if (count == 0) return 0;
    std::size_t end = static_cast<std::size_t>(position_) + count;
    if (end > data_.size()) data_.resize(end);
    std::memcpy(data_.data() + position_, buffer, count);
    position_ = static_cast<std::int64_t>(end);
    return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, SeekOrigin origin)
{
    position_ = resolveSeek(offset, origin, position_, Size());
    return position_;
}

void TMemoryStream::LoadFromStream(TStream& source)
{
    source.SetPosition(0);
    std::int64_t size = source.Size();
    data_.assign(static_cast<std::size_t>(size), 0);
    source.ReadBuffer(data_.data(), data_.size());
    position_ = 0;
}

void TMemoryStream::LoadFromFile(const std::string& fileName)
{
    TFileStream file(fileName, FileMode::OpenRead);
    LoadFromStream(file);
}

void TMemoryStream::SaveToStream(TStream& target) { target.WriteBuffer(data_.data(), data_.size()); }

void TMemoryStream::SaveToFile(const std::string& fileName)
{
    TFileStream file(fileName, FileMode::Create);
    SaveToStream(file);
}

void TMemoryStream::Clear()
{
    data_.clear();
    position_ = 0;
}

void TMemoryStream::SetSize(std::size_t size)
{
    data_.resize(size);
    if (position_ > static_cast<std::int64_t>(size)) position_ = static_cast<std::int64_t>(size);
}

std::size_t TByteViewStream::Read(void* buffer, std::size_t count)
{
    std::int64_t size = Size();
    if (position_ >= size) return 0;
    std::size_t n =
        static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(count), size - position_));
    std::memcpy(buffer, data_ + position_, n);
    position_ += static_cast<std::int64_t>(n);
    return n;
}

std::int64_t TByteViewStream::Seek(std::int64_t offset, SeekOrigin origin)
{
    position_ = resolveSeek(offset, origin, position_, Size());
    return position_;
}
