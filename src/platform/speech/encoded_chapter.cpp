#include "platform/speech/encoded_chapter.h"

#include <cstring>
#include <numeric>

namespace sonoleaf::speech_service {
namespace {

constexpr std::string_view kMagic = "SLCH";
constexpr std::uint8_t kVersion = 1;
// Magic, version, phase, samples, and the counts of frames, head and tail samples.
constexpr std::size_t kHeaderBytes = 4 + 1 + 2 + 8 + 4 + 4 + 4;
constexpr std::size_t kChecksumBytes = 8;

// FNV-1a: quick, and enough to notice a damaged file (no adversary forges one that
// the program would then merely play wrongly).
std::uint64_t Checksum(std::string_view bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : bytes) {
        hash ^= static_cast<std::uint8_t>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

template <typename T>
void Put(std::string& out, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i)
        out += static_cast<char>(static_cast<std::uint64_t>(value) >> (8 * i) & 0xFF);
}

class Reader {
  public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    template <typename T>
    T Get() {  // callers check Left() first
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            value |= std::uint64_t{static_cast<std::uint8_t>(bytes_[at_ + i])} << (8 * i);
        at_ += sizeof(T);
        return static_cast<T>(value);
    }
    std::string_view Take(std::size_t count) {
        const std::string_view part = bytes_.substr(at_, count);
        at_ += count;
        return part;
    }
    std::size_t Left() const { return bytes_.size() - at_; }

  private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

void Samples(Reader& reader, std::vector<std::int16_t>& samples, std::size_t count) {
    samples.resize(count);
    for (auto& sample : samples) sample = reader.Get<std::int16_t>();
}

HResult Refuse(EncodedChapter& chapter, std::string* reason, const char* why) {
    chapter = {};
    if (reason != nullptr) *reason = why;
    return kInvalidArg;
}

std::size_t HeadSize(std::int64_t samples) {
    return static_cast<std::size_t>(samples <= 2 * kChapterEdgeSamples ? samples
                                                                       : kChapterEdgeSamples);
}
std::size_t TailSize(std::int64_t samples) {
    return samples <= 2 * kChapterEdgeSamples ? 0 : static_cast<std::size_t>(kChapterEdgeSamples);
}

}  // namespace

std::int64_t ChapterFrameCount(int framePhase, std::int64_t samples) {
    return (framePhase + samples + kAacFrameSamples - 1) / kAacFrameSamples + 1;
}

HResult CheckChapter(const EncodedChapter& chapter, std::string* reason) {
    const char* why = nullptr;
    if (chapter.samples <= 0 || chapter.samples > kMaxChapterSamples)
        why = "the sample count is out of range";
    else if (chapter.framePhase < 0 || chapter.framePhase >= kAacFrameSamples)
        why = "the frame phase is out of range";
    else if (static_cast<std::int64_t>(chapter.frames.Count()) !=
             ChapterFrameCount(chapter.framePhase, chapter.samples))
        why = "the frame count does not fit the sample count";
    else if (chapter.head.size() != HeadSize(chapter.samples) ||
             chapter.tail.size() != TailSize(chapter.samples))
        why = "the edge samples do not fit the sample count";
    else if (std::accumulate(chapter.frames.sizes.begin(), chapter.frames.sizes.end(),
                             std::size_t{0}) != chapter.frames.bytes.size())
        why = "the frame sizes do not add up to the frames' bytes";
    else
        for (const auto size : chapter.frames.sizes)
            if (size == 0 || size > kMaxAacFrameBytes) why = "a frame size is out of range";
    if (why != nullptr && reason != nullptr) *reason = why;
    return why == nullptr ? kOk : kInvalidArg;
}

std::string SerializeChapter(const EncodedChapter& chapter) {
    std::string out;
    out.reserve(kHeaderBytes + 2 * chapter.frames.Count() +
                2 * (chapter.head.size() + chapter.tail.size()) + chapter.frames.bytes.size() +
                kChecksumBytes);
    out += kMagic;
    Put<std::uint8_t>(out, kVersion);
    Put<std::uint16_t>(out, static_cast<std::uint16_t>(chapter.framePhase));
    Put<std::uint64_t>(out, static_cast<std::uint64_t>(chapter.samples));
    Put<std::uint32_t>(out, static_cast<std::uint32_t>(chapter.frames.Count()));
    Put<std::uint32_t>(out, static_cast<std::uint32_t>(chapter.head.size()));
    Put<std::uint32_t>(out, static_cast<std::uint32_t>(chapter.tail.size()));
    for (const auto size : chapter.frames.sizes) Put<std::uint16_t>(out, size);
    for (const auto sample : chapter.head) Put<std::int16_t>(out, sample);
    for (const auto sample : chapter.tail) Put<std::int16_t>(out, sample);
    out += chapter.frames.bytes;
    Put<std::uint64_t>(out, Checksum(out));
    return out;
}

HResult ParseChapter(std::string_view bytes, EncodedChapter& chapter, std::string* reason) {
    chapter = {};
    if (bytes.size() < kHeaderBytes + kChecksumBytes || bytes.substr(0, kMagic.size()) != kMagic)
        return Refuse(chapter, reason, "not an encoded chapter (or cut short in its header)");
    Reader reader(bytes.substr(0, bytes.size() - kChecksumBytes));
    reader.Take(kMagic.size());
    if (reader.Get<std::uint8_t>() != kVersion)
        return Refuse(chapter, reason, "an encoded chapter of another version");
    const int phase = reader.Get<std::uint16_t>();
    const std::uint64_t samples = reader.Get<std::uint64_t>();
    const std::uint64_t frames = reader.Get<std::uint32_t>();
    const std::uint64_t head = reader.Get<std::uint32_t>();
    const std::uint64_t tail = reader.Get<std::uint32_t>();
    // Bounded before anything is sized by them.
    if (samples == 0 || samples > static_cast<std::uint64_t>(kMaxChapterSamples) ||
        phase >= kAacFrameSamples ||
        frames != static_cast<std::uint64_t>(
                      ChapterFrameCount(phase, static_cast<std::int64_t>(samples))) ||
        head != HeadSize(static_cast<std::int64_t>(samples)) ||
        tail != TailSize(static_cast<std::int64_t>(samples)))
        return Refuse(chapter, reason, "its counts are out of range or disagree");
    // The tables are at most a few times the sample count, far from overflowing.
    if (reader.Left() < 2 * (frames + head + tail))
        return Refuse(chapter, reason, "cut short in its tables");
    chapter.frames.sizes.resize(frames);
    std::uint64_t frameBytes = 0;
    for (auto& size : chapter.frames.sizes) {
        size = reader.Get<std::uint16_t>();
        if (size == 0 || size > kMaxAacFrameBytes)
            return Refuse(chapter, reason, "a frame size is out of range");
        frameBytes += size;
    }
    Samples(reader, chapter.head, head);
    Samples(reader, chapter.tail, tail);
    if (reader.Left() < frameBytes) return Refuse(chapter, reason, "cut short in its frames");
    if (reader.Left() > frameBytes) return Refuse(chapter, reason, "bytes follow its frames");
    chapter.frames.bytes.assign(reader.Take(frameBytes));
    Reader trailer(bytes.substr(bytes.size() - kChecksumBytes));
    if (trailer.Get<std::uint64_t>() != Checksum(bytes.substr(0, bytes.size() - kChecksumBytes)))
        return Refuse(chapter, reason, "damaged: its checksum does not match");
    chapter.samples = static_cast<std::int64_t>(samples);
    chapter.framePhase = phase;
    return kOk;
}

}  // namespace sonoleaf::speech_service
