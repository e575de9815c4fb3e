#include "widgets/kitwave.h"

#include "widgets/kitprocs.h"

#include <cstring>

namespace {
const char* const CannotOpenFile = "Cannot open file %s";

bool ReadTag(TStream& stream, const char* expected)
{
    char tag[4];
    stream.ReadBuffer(tag, 4);
    return std::memcmp(tag, expected, 4) == 0;
}
}  // namespace

bool CheckWaveHeader(TStream* stream, TWaveInfo& info)
{
    if (!stream || stream->Size() == 0) return false;
    bool good = false;
    try {
        stream->SetPosition(0);
        if (ReadTag(*stream, "RIFF")) {
            const std::uint32_t riffLength = stream->ReadLE32();
            if (ReadTag(*stream, "WAVE") && ReadTag(*stream, "fmt ")) {
                stream->ReadLE32();  // chunk length, not needed
                const std::uint16_t formatTag = stream->ReadLE16();
                const std::uint16_t channels = stream->ReadLE16();
                const std::uint32_t sampleRate = stream->ReadLE32();
                stream->ReadLE32();  // byte rate
                const std::uint16_t blockAlign = stream->ReadLE16();
                info.RiffLength = riffLength;
                info.SampleRate = sampleRate;
                info.ChannelMode = channels == 1 ? 1 : (channels == 2 ? 2 : 0);
                info.Pcm = formatTag == 1;
                info.BlockAlign = blockAlign;
                good = true;
            }
        }
    } catch (const EStreamError&) {
        stream->SetPosition(0);
        throw EErrorCheckingWave(std::string("GetWaveData: ") + CannotOpenFile);
    }
    stream->SetPosition(0);
    return good;
}

TKitWave::TKitWave(const std::string& fileName) { LoadFromFile(fileName); }

void TKitWave::Assign(const TKitWave* source)
{
    if (source == this) return;
    if (!source || source->Empty()) {
        Clear();
        return;
    }
    Stop();
    auto copy = std::make_unique<TMemoryStream>(source->stream_->Bytes());
    info_ = source->info_;
    stream_ = std::move(copy);
    Changed();
}

bool TKitWave::Empty() const { return !stream_ || stream_->Size() == 0; }

std::int64_t TKitWave::Size() const { return stream_ ? stream_->Size() : 0; }

void TKitWave::Clear()
{
    Stop();
    stream_.reset();
    info_ = TWaveInfo{};
    Changed();
}

void TKitWave::TakeStream(std::unique_ptr<TMemoryStream> stream)
{
    Stop();
    stream_ = std::move(stream);
    stream_->SetPosition(0);
    Changed();
}

void TKitWave::LoadSized(TStream& stream, std::int64_t count)
{
    if (count == 0) {
        Clear();
        return;
    }
    // The count comes from a file: never allocate more than the stream holds.
    if (count < 0 || count > stream.Remaining()) throw EReadError("Stream read error");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
    stream.ReadBuffer(bytes.data(), bytes.size());
    auto loaded = std::make_unique<TMemoryStream>(std::move(bytes));
    TWaveInfo info;
    if (!CheckWaveHeader(loaded.get(), info)) throw EInvalidWave(std::string("TKitWave: ") + CannotOpenFile);
    info_ = info;
    TakeStream(std::move(loaded));
}

void TKitWave::LoadFromStream(TStream& stream) { LoadSized(stream, stream.Remaining()); }

void TKitWave::LoadFromFile(const std::string& fileName)
{
    TFileStream file(fileName, FileMode::OpenRead);
    LoadFromStream(file);
}

void TKitWave::SaveToStream(TStream& stream) const
{
    if (!stream_) return;
    const auto& bytes = stream_->Bytes();
    stream.WriteBuffer(bytes.data(), bytes.size());
}

void TKitWave::SaveToFile(const std::string& fileName) const
{
    TFileStream file(fileName, FileMode::Create);
    SaveToStream(file);
}

void TKitWave::ReadData(TStream& stream)
{
    const std::int64_t count = static_cast<std::int32_t>(stream.ReadLE32());
    LoadSized(stream, count);
}

void TKitWave::WriteData(TStream& stream) const
{
    if (!stream_) return;
    WriteSizedBlock(stream, stream_->Bytes());
}

void TKitWave::LoadFromWaveRecord(TStream& stream, bool compressed) { ReadWaveRecord(stream, *this, compressed); }

void TKitWave::SaveToWaveRecord(TStream& stream, bool compressed) const { WriteWaveRecord(stream, *this, compressed); }

std::vector<std::uint8_t> TKitWave::Bytes() const { return stream_ ? stream_->Bytes() : std::vector<std::uint8_t>{}; }
