#pragma once
// The kit's wave-sound holder: the complete bytes of one RIFF/WAVE file.

#include "platform/core/Exception.h"
#include "platform/streams/Streams.h"
#include "widgets/kitcompo.h"

#include <cstdint>
#include <memory>
#include <string>

// Facts of a wave header (filled by CheckWaveHeader).
struct TWaveInfo {
    std::uint32_t RiffLength = 0;
    std::uint32_t SampleRate = 0;
    std::uint8_t ChannelMode = 0;  // 1 mono, 2 stereo, 0 other
    bool Pcm = false;              // format tag 1
    std::uint16_t BlockAlign = 0;
};

class EInvalidWave : public Exception {
public:
    using Exception::Exception;
};
class EErrorCheckingWave : public Exception {
public:
    using Exception::Exception;
};

// False for a missing or empty stream or one that is not RIFF/WAVE with a
// "fmt " chunk first; a header that breaks off raises EErrorCheckingWave.
// The stream is read from its start and rewound afterwards.
bool CheckWaveHeader(TStream* stream, TWaveInfo& info);

class TKitWave : public TKitObject {
public:
    TKitWave() = default;
    explicit TKitWave(const std::string& fileName);

    // From another wave: a copy of its bytes; from nullptr: empty.
    void Assign(const TKitWave* source);

    bool Empty() const;
    std::int64_t Size() const;
    void Clear();
    // Stops a sound that is playing. Nothing is ever played on a system
    // without an audio device, so there is nothing to stop either.
    void Stop() {}
    // Plays the sound; returns false when it cannot (always, here: no audio output).
    bool Play() const { return false; }

    // The whole file, opened read-only.
    void LoadFromFile(const std::string& fileName);
    // From the stream's position to its end.
    void LoadFromStream(TStream& stream);
    // Exactly count bytes of the stream; 0 clears the wave.
    void LoadSized(TStream& stream, std::int64_t count);
    void SaveToFile(const std::string& fileName) const;
    // The wave file's bytes, nothing in front.
    void SaveToStream(TStream& stream) const;

    // The stored "Data" property: a sized block. Written only when a stream exists.
    bool HasData() const { return stream_ != nullptr; }
    void ReadData(TStream& stream);
    void WriteData(TStream& stream) const;

    // The wave record of the kit's streams (sized block or compressed stream).
    void LoadFromWaveRecord(TStream& stream, bool compressed);
    void SaveToWaveRecord(TStream& stream, bool compressed) const;

    const TWaveInfo& Info() const { return info_; }
    std::vector<std::uint8_t> Bytes() const;

private:
    void TakeStream(std::unique_ptr<TMemoryStream> stream);

    std::unique_ptr<TMemoryStream> stream_;
    TWaveInfo info_;
};
