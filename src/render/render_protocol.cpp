#include "render/render_protocol.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/text/version.h"

namespace sonoleaf::render {
namespace {

// The most of a text one work frame carries; the rest goes ahead in kText frames, so
// that paths, tags and rules still fit beside it.
constexpr std::size_t kTextPerFrame = std::size_t{1} << 24;
// A pronunciation list is read only up to 4 MiB.
constexpr std::size_t kMaxPronunciationBytes = std::size_t{4} << 20;

bool ReadAll(int descriptor, char* bytes, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::read(descriptor, bytes + done, count - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

bool ReadSubtitles(Reader& reader, speech_service::SubtitleFormat& format) {
    std::int32_t value = 0;
    if (!reader.I32(value) || value < 0 || value > 2) return false;
    format = static_cast<speech_service::SubtitleFormat>(value);
    return true;
}

}  // namespace

Writer& Writer::U32(std::uint32_t value) {
    body_.append(reinterpret_cast<const char*>(&value), sizeof value);
    return *this;
}

Writer& Writer::I32(std::int32_t value) {
    return U32(static_cast<std::uint32_t>(value));
}

Writer& Writer::Text(std::u16string_view text) {
    U32(static_cast<std::uint32_t>(text.size()));
    body_.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t));
    return *this;
}

Writer& Writer::Bytes(std::string_view bytes) {
    U32(static_cast<std::uint32_t>(bytes.size()));
    body_.append(bytes);
    return *this;
}

Writer& Writer::Raw(std::string_view bytes) {
    body_.append(bytes);
    return *this;
}

std::string Writer::Frame(std::string_view kind) const {
    std::string frame(kind.substr(0, 4));
    const auto size = static_cast<std::uint32_t>(body_.size());
    frame.append(reinterpret_cast<const char*>(&size), sizeof size);
    frame += body_;
    return frame;
}

bool Reader::U32(std::uint32_t& value) {
    if (body_.size() < sizeof value) return false;
    std::memcpy(&value, body_.data(), sizeof value);
    body_.remove_prefix(sizeof value);
    return true;
}

bool Reader::I32(std::int32_t& value) {
    std::uint32_t raw = 0;
    if (!U32(raw)) return false;
    value = static_cast<std::int32_t>(raw);
    return true;
}

bool Reader::Text(std::u16string& text) {
    std::uint32_t length = 0;
    if (!U32(length) || body_.size() / sizeof(char16_t) < length) return false;
    text.resize(length);
    std::memcpy(text.data(), body_.data(), length * sizeof(char16_t));
    body_.remove_prefix(length * sizeof(char16_t));
    return true;
}

bool Reader::Bytes(std::string& bytes) {
    std::uint32_t length = 0;
    if (!U32(length) || body_.size() < length) return false;
    bytes.assign(body_.substr(0, length));
    body_.remove_prefix(length);
    return true;
}

std::vector<std::string> EncodeWork(const FileWork& work) {
    std::vector<std::string> frames;
    Writer writer;
    if (work.segment) {
        const speech_service::SegmentWork& segment = *work.segment;
        writer.U32(work.id).Text(work.outputPath).Bytes(segment.voiceId).I32(segment.rate);
        writer.U32(static_cast<std::uint32_t>(segment.pieces.size()));
        for (const speech_service::SegmentPiece& piece : segment.pieces)
            writer.Bytes(piece.text).U32(piece.endsSentence ? 1 : 0);
        frames.push_back(writer.Frame(kSegment));
        return frames;
    }
    std::u16string_view text = work.text;
    while (text.size() > kTextPerFrame) {
        frames.push_back(Writer().U32(work.id).Text(text.substr(0, kTextPerFrame)).Frame(kText));
        text.remove_prefix(kTextPerFrame);
    }
    writer.U32(work.id)
        .Text(work.voice.name)
        .I32(work.voice.volume)
        .I32(work.voice.rate)
        .Text(text)
        .Text(work.outputPath)
        .Text(work.tags.title)
        .Text(work.tags.album)
        .Text(work.tags.track)
        .Text(work.tags.comment)
        .Text(work.tags.artist)
        .I32(static_cast<std::int32_t>(work.subtitles))
        .Bytes(work.pronunciations);
    frames.push_back(writer.Frame(kWork));
    return frames;
}

std::optional<FileWork> DecodeWork(std::string_view body, std::u16string leading) {
    Reader reader(body);
    FileWork work;
    VoiceChoice& voice = work.voice;
    std::u16string rest;
    if (reader.U32(work.id) && reader.Text(voice.name) && reader.I32(voice.volume) &&
        reader.I32(voice.rate) && reader.Text(rest) && reader.Text(work.outputPath) &&
        reader.Text(work.tags.title) && reader.Text(work.tags.album) &&
        reader.Text(work.tags.track) && reader.Text(work.tags.comment) &&
        reader.Text(work.tags.artist) && ReadSubtitles(reader, work.subtitles) &&
        reader.Bytes(work.pronunciations) && work.pronunciations.size() <= kMaxPronunciationBytes) {
        work.text = std::move(leading);
        work.text += rest;
        return work;
    }
    return std::nullopt;
}

std::optional<FileWork> DecodeSegment(std::string_view body) {
    Reader reader(body);
    FileWork work;
    speech_service::SegmentWork segment;
    std::uint32_t count = 0;
    if (!reader.U32(work.id) || !reader.Text(work.outputPath) || !reader.Bytes(segment.voiceId) ||
        !reader.I32(segment.rate) || !reader.U32(count))
        return std::nullopt;
    for (std::uint32_t i = 0; i < count; ++i) {
        speech_service::SegmentPiece piece;
        std::uint32_t endsSentence = 0;
        if (!reader.Bytes(piece.text) || !reader.U32(endsSentence)) return std::nullopt;
        piece.endsSentence = endsSentence != 0;
        segment.pieces.push_back(std::move(piece));
    }
    work.segment = std::move(segment);
    return work;
}

std::optional<std::uint32_t> WorkId(std::string_view body) {
    Reader reader(body);
    std::uint32_t id = 0;
    if (!reader.U32(id)) return std::nullopt;
    return id;
}

std::string BuildIdentity() {
    // Raised whenever a frame's layout changes.
    constexpr int kFrameLayout = 4;
    return std::string("sonoleaf ") + kVersion + std::string(" frames ") +
           std::to_string(kFrameLayout);
}

std::string EncodeResult(std::uint32_t id, const RenderResult& result) {
    Writer writer;
    writer.U32(id).I32(static_cast<std::int32_t>(result.kind)).Text(result.reason).U32(result.lost);
    return writer.Frame(kDone);
}

bool DecodeResult(std::string_view body, std::uint32_t& id, RenderResult& result) {
    Reader reader(body);
    std::int32_t kind = 0;
    std::uint32_t lost = 0;
    if (!reader.U32(id) || !reader.I32(kind) || !reader.Text(result.reason) || !reader.U32(lost))
        return false;
    result.lost = lost != 0;
    if (kind < 0 || kind > static_cast<std::int32_t>(RenderResult::Kind::Failed)) return false;
    result.kind = static_cast<RenderResult::Kind>(kind);
    return true;
}

std::optional<Frame> ReadFrame(int descriptor) {
    char head[8];
    if (!ReadAll(descriptor, head, sizeof head)) return std::nullopt;
    std::uint32_t size = 0;
    std::memcpy(&size, head + 4, sizeof size);
    if (size > kMaxBody) return std::nullopt;
    Frame frame{std::string(head, 4), std::string(size, '\0')};
    if (!ReadAll(descriptor, frame.body.data(), size)) return std::nullopt;
    return frame;
}

}  // namespace sonoleaf::render
