#include "platform/speech/audiobook_writer.h"

#include <algorithm>

#include "platform/speech/aac_window.h"
#include "platform/text/text_convert.h"

namespace sonoleaf::speech_service {
namespace {

constexpr std::int64_t kFrame = kAacFrameSamples;
// A fresh encoder that is given the same sound as one running through the whole book
// makes the very same frames after about ten frames (measured on noise). So the new
// frames start this many frames before a join, to code the join itself as one
// encoder would ...
constexpr std::int64_t kWarmUpFrames = 16;
// ... and go on this many frames into the next chapter, whose own encoder began with
// silence in place of what came before, until its frames are such frames too.
constexpr std::int64_t kSettleFrames = 16;
// How far a splice may move beyond that to where the windows of the old and the new
// frames agree: backwards into the chapter before, forwards into the chapter after.
constexpr std::int64_t kBackSplice = 3;
constexpr std::int64_t kForwardSplice = 4;

// The PCM a chapter keeps at its edges covers what a join needs of it.
static_assert(kChapterEdgeSamples >= (kBackSplice + kWarmUpFrames + 2) * kFrame);
static_assert(kChapterEdgeSamples >= (kSettleFrames + kForwardSplice + 3) * kFrame);

std::int64_t FloorFrame(std::int64_t sample) {
    return sample / kFrame;
}
std::int64_t CeilFrame(std::int64_t sample) {
    return (sample + kFrame - 1) / kFrame;
}

// The first frame that a chapter ending at `end` keeps back for the join after it.
// Frames up to FloorFrame(end) - 1 lie wholly inside the chapter.
std::int64_t HoldFrom(std::int64_t end) {
    return FloorFrame(end) - kBackSplice - 1;
}

std::vector<std::string_view> SplitFrames(const AacFrames& frames) {
    std::vector<std::string_view> split;
    split.reserve(frames.Count());
    std::size_t offset = 0;
    for (const auto size : frames.sizes) {
        split.emplace_back(frames.bytes.data() + offset, size);
        offset += size;
    }
    return split;
}

bool WindowsAgree(std::string_view a, std::string_view b) {
    const auto first = ReadAacWindow(a);
    const auto second = ReadAacWindow(b);
    return first && second && *first == *second;
}

}  // namespace

AudiobookWriter::~AudiobookWriter() = default;

HResult AudiobookWriter::Open(const std::u16string& path, const AudiobookTags& tags,
                              std::unique_ptr<AudiobookWriter>& writer, std::string* problem) {
    writer.reset();
    std::string ignored;
    std::string& why = problem != nullptr ? *problem : ignored;
    if (path.empty()) return kInvalidArg;
    std::optional<CoverImage> cover;
    if (!tags.coverPath.empty()) {
        cover.emplace();
        if (const HResult hr = ReadCoverImage(tags.coverPath, *cover); Failed(hr)) {
            why = "the cover is no readable JPEG or PNG file: " + tags.coverPath;
            return hr;
        }
    }
    // An encoder of the chapters' kind tells the decoder's configuration.
    std::unique_ptr<AacEncoder> encoder;
    if (const HResult hr = AacEncoder::Create(encoder); Failed(hr)) {
        why = encoder ? encoder->Problem() : "no AAC encoder";
        return hr;
    }
    std::unique_ptr<AudiobookWriter> made(new AudiobookWriter());
    if (const HResult hr = ReplacingFile::Create(text::ToNarrow(path), made->file_); Failed(hr)) {
        why = "cannot create a file beside " + text::ToNarrow(path);
        return hr;
    }
    if (const HResult hr =
            M4bMuxer::Open(made->file_->Descriptor(), tags, cover ? &*cover : nullptr,
                           encoder->DecoderConfig(), made->muxer_, why);
        Failed(hr))
        return hr;
    writer = std::move(made);
    return kOk;
}

HResult AudiobookWriter::Fail(HResult hr, std::string problem) {
    status_ = hr;
    problem_ = std::move(problem);
    return hr;
}

HResult AudiobookWriter::AddChapter(const std::u16string& title, const EncodedChapter& chapter) {
    if (finished_) return kUnbound;
    if (Failed(status_)) return status_;
    std::string why;
    if (Failed(CheckChapter(chapter, &why))) {
        problem_ = "chapter refused: " + why;
        return kInvalidArg;
    }
    if (chapter.framePhase != total_ % kFrame) {
        problem_ = "chapter refused: it was encoded for another place in the book";
        return kInvalidArg;
    }
    if (const HResult hr = Join(chapter, total_); Failed(hr)) return hr;
    marks_.push_back({title, total_});
    total_ += chapter.samples;
    return kOk;
}

HResult AudiobookWriter::AddSilence(std::int64_t samples) {
    if (finished_) return kUnbound;
    if (Failed(status_)) return status_;
    if (samples <= 0) return kOk;
    std::unique_ptr<ChapterEncoder> encoder;
    HResult hr = ChapterEncoder::Create(total_, encoder);
    const std::vector<std::int16_t> silence(static_cast<std::size_t>(samples), 0);
    EncodedChapter chapter;
    if (Succeeded(hr)) hr = encoder->Write(silence);
    if (Succeeded(hr)) hr = encoder->Finish(chapter);
    if (Failed(hr)) return Fail(hr, encoder ? encoder->Problem() : "no encoder for silence");
    if (const HResult joined = Join(chapter, total_); Failed(joined)) return joined;
    total_ += samples;
    return kOk;
}

HResult AudiobookWriter::Join(const EncodedChapter& chapter, std::int64_t start) {
    const std::int64_t end = start + chapter.samples;
    // A short chapter keeps all its sound, and is encoded anew as a whole with the
    // joins on either side: it has too few frames of its own to splice into.
    const bool whole = chapter.tail.empty();
    if (start == 0 && !whole) {
        // The book's opening is the chapter's own: its first frame primes the decoder.
        if (const HResult hr = WriteFrames(chapter.frames, 0, 0, HoldFrom(end)); Failed(hr))
            return hr;
        Hold(chapter, start);
        return kOk;
    }
    if (!bridge_) {
        if (start == 0) {
            if (const HResult hr = OpenBridge(0, 0); Failed(hr)) return hr;
        } else {
            if (!held_) return Fail(kFail, "no chapter to join to");
            const std::int64_t replaceFrom = FloorFrame(start);
            const std::int64_t first =
                std::max<std::int64_t>(0, replaceFrom - kBackSplice - 1 - kWarmUpFrames);
            const std::int64_t tailStart =
                held_->end - static_cast<std::int64_t>(held_->tail.size());
            if (first * kFrame < tailStart) return Fail(kFail, "too little sound kept at a join");
            if (const HResult hr = OpenBridge(first, replaceFrom); Failed(hr)) return hr;
            const std::span<const std::int16_t> tail(held_->tail);
            if (const HResult hr =
                    Feed(tail.subspan(static_cast<std::size_t>(first * kFrame - tailStart)),
                         first * kFrame);
                Failed(hr))
                return hr;
        }
    }
    if (whole) return Feed(chapter.head, start);
    const std::int64_t feedEnd =
        std::min(end, (CeilFrame(start) + kSettleFrames + kForwardSplice + 2) * kFrame);
    const std::span<const std::int16_t> head(chapter.head);
    if (const HResult hr = Feed(head.first(static_cast<std::size_t>(feedEnd - start)), start);
        Failed(hr))
        return hr;
    if (const HResult hr = CloseBridge(&chapter, start); Failed(hr)) return hr;
    if (const HResult hr =
            WriteFrames(chapter.frames, FloorFrame(start), muxer_->FramesWritten(), HoldFrom(end));
        Failed(hr))
        return hr;
    Hold(chapter, start);
    return kOk;
}

HResult AudiobookWriter::OpenBridge(std::int64_t firstFrame, std::int64_t replaceFrom) {
    Bridge bridge;
    if (const HResult hr = AacEncoder::Create(bridge.encoder); Failed(hr))
        return Fail(hr, "no AAC encoder for a join");
    bridge.firstFrame = firstFrame;
    bridge.replaceFrom = replaceFrom;
    bridge.fedUntil = firstFrame * kFrame;
    bridge_ = std::move(bridge);
    return kOk;
}

HResult AudiobookWriter::Feed(std::span<const std::int16_t> samples, std::int64_t from) {
    Bridge& bridge = *bridge_;
    if (from != bridge.fedUntil) return Fail(kFail, "the sound at a join is not contiguous");
    if (const HResult hr = bridge.encoder->Write(samples, bridge.frames); Failed(hr))
        return Fail(hr, bridge.encoder->Problem());
    bridge.fedUntil += static_cast<std::int64_t>(samples.size());
    return kOk;
}

HResult AudiobookWriter::CloseBridge(const EncodedChapter* next, std::int64_t nextStart) {
    Bridge& bridge = *bridge_;
    if (const HResult hr = bridge.encoder->Finish(bridge.frames); Failed(hr))
        return Fail(hr, bridge.encoder->Problem());
    const auto made = SplitFrames(bridge.frames);
    const std::int64_t last = bridge.firstFrame + static_cast<std::int64_t>(made.size()) - 1;
    auto madeAt = [&](std::int64_t frame) { return made[frame - bridge.firstFrame]; };

    std::int64_t from = bridge.replaceFrom;
    if (held_) {
        const auto kept = SplitFrames(held_->frames);
        const std::int64_t lowest = std::max(from - kBackSplice, bridge.firstFrame + 2);
        if (lowest - 1 < held_->firstFrame) return Fail(kFail, "too few frames kept at a join");
        for (std::int64_t at = from; at >= lowest; --at) {
            if (WindowsAgree(madeAt(at - 1), kept[at - 1 - held_->firstFrame])) {
                from = at;
                break;
            }
        }
        if (const HResult hr =
                WriteFrames(held_->frames, held_->firstFrame, muxer_->FramesWritten(), from);
            Failed(hr))
            return hr;
        held_.reset();
    }
    std::int64_t to = last;
    if (next != nullptr) {
        const auto theirs = SplitFrames(next->frames);
        const std::int64_t theirFirst = FloorFrame(nextStart);
        const std::int64_t earliest = CeilFrame(nextStart) + kSettleFrames;
        const std::int64_t latest = earliest + kForwardSplice;
        if (latest > last || latest - theirFirst >= static_cast<std::int64_t>(theirs.size()))
            return Fail(kFail, "too little sound kept at a join");
        to = earliest;
        for (std::int64_t at = earliest; at <= latest; ++at) {
            if (WindowsAgree(madeAt(at), theirs[at - theirFirst])) {
                to = at;
                break;
            }
        }
    }
    const HResult hr =
        WriteFrames(bridge.frames, bridge.firstFrame, muxer_->FramesWritten(), to + 1);
    bridge_.reset();
    return hr;
}

HResult AudiobookWriter::WriteFrames(const AacFrames& frames, std::int64_t firstFrame,
                                     std::int64_t from, std::int64_t to) {
    const std::int64_t count = static_cast<std::int64_t>(frames.Count());
    if (from != muxer_->FramesWritten() || from < firstFrame || to > firstFrame + count)
        return Fail(kFail, "the frames at a join are out of order");
    std::size_t offset = 0;
    for (std::int64_t frame = firstFrame; frame < to; ++frame) {
        const std::size_t size = frames.sizes[static_cast<std::size_t>(frame - firstFrame)];
        if (frame >= from) {
            if (const HResult hr = muxer_->WriteFrame({frames.bytes.data() + offset, size});
                Failed(hr))
                return Fail(hr, muxer_->Problem());
        }
        offset += size;
    }
    return kOk;
}

void AudiobookWriter::Hold(const EncodedChapter& chapter, std::int64_t start) {
    const std::int64_t end = start + chapter.samples;
    Held held;
    held.firstFrame = HoldFrom(end);
    held.end = end;
    held.tail = chapter.tail;
    const auto frames = SplitFrames(chapter.frames);
    for (auto i = static_cast<std::size_t>(held.firstFrame - FloorFrame(start)); i < frames.size();
         ++i)
        held.frames.Append(frames[i]);
    held_ = std::move(held);
}

HResult AudiobookWriter::Finish() {
    if (finished_) return kUnbound;
    finished_ = true;
    HResult hr = status_;
    if (Succeeded(hr) && marks_.empty()) hr = kFalse;  // nothing to write: no file
    if (hr == kOk) {
        if (bridge_) {
            hr = CloseBridge(nullptr, 0);
        } else if (held_) {
            hr = WriteFrames(held_->frames, held_->firstFrame, muxer_->FramesWritten(),
                             held_->firstFrame + static_cast<std::int64_t>(held_->frames.Count()));
        }
    }
    if (hr == kOk) {
        hr = muxer_->Finish(marks_, total_);
        if (Failed(hr)) Fail(hr, muxer_->Problem());
    }
    muxer_.reset();
    if (hr == kOk) {
        hr = file_->Commit();
        if (Failed(hr)) Fail(hr, "cannot put the audiobook in place");
    }
    file_.reset();
    return hr;
}

}  // namespace sonoleaf::speech_service
