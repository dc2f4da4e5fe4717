#include "platform/speech/system_voice.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/speech/chapter_sections.h"
#include "platform/speech/pulse_output.h"
#include "platform/speech/segment_synthesis.h"
#include "platform/speech/sound_file_stream.h"
#include "platform/speech/stream_checks.h"
#include "platform/speech/text_pieces.h"
#include "platform/text/byte_text.h"
#include "platform/text/markup_scan.h"
#include "platform/text/progress.h"
#include "platform/text/reading_rules.h"
#include "platform/text/subtitles.h"
#include "platform/text/text_convert.h"

namespace sonoleaf::speech_service {
namespace {

// Synthesis runs ahead of the output by at most this much audio.
constexpr std::size_t kMaxQueuedSamples = static_cast<std::size_t>(kSampleRate) * 20;
// A text file larger than this is not read.
constexpr std::uintmax_t kMaxTextFileBytes = std::uintmax_t{1} << 30;
// One write to a file: 10 s of audio (441 KB) goes to the file in well under a
// millisecond, so a pause is still noticed at once, and the header update that
// follows every write is paid once per 10 s of audio rather than once a second.
constexpr std::size_t kFileSliceSamples = static_cast<std::size_t>(kSampleRate) * 10;
// Sample buffers kept for reuse once written, so that synthesis appends into memory
// that has already grown to a piece's size instead of growing a new buffer each piece.
constexpr std::size_t kMaxSpareBuffers = 2;

// A text that holds nothing to pronounce (blanks, line ends, punctuation, half of a
// character) still gets its file: 50 ms of silence, two MP3 frames.
constexpr std::size_t kSilenceSamples = static_cast<std::size_t>(kSampleRate) / 20;

class FileOutput final : public AudioOutput {
  public:
    explicit FileOutput(std::shared_ptr<SoundFileStream> stream) : stream_(std::move(stream)) {}
    std::size_t SliceSamples() const override { return kFileSliceSamples; }
    HResult Write(std::span<const std::int16_t> samples) override {
        wrote_ = wrote_ || !samples.empty();
        return stream_->Write(samples);
    }
    void StartChapter(const std::u16string& title) override { stream_->StartChapter(title); }
    bool WantsPieceNotes() const override { return stream_->WantsPieceNotes(); }
    void NotePiece(std::string text, std::span<const std::int16_t> samples,
                   std::size_t offset) override {
        stream_->NotePiece(std::move(text), samples, offset);
    }
    HResult Finish() override {
        if (wrote_) return kOk;
        const std::vector<std::int16_t> silence(kSilenceSamples, 0);
        return Write(silence);
    }
    void Discard() override {}

  private:
    std::shared_ptr<SoundFileStream> stream_;
    bool wrote_ = false;
};

void ApplyVolume(std::vector<std::int16_t>& samples, std::uint16_t volume) {
    if (volume >= 100) return;
    for (std::int16_t& sample : samples)
        sample = static_cast<std::int16_t>(static_cast<std::int32_t>(sample) * volume / 100);
}

// A segment made in this process, when no helper could take it.
class LocalSegment final : public SegmentSynthesis::Pending {
  public:
    LocalSegment(SegmentWork work, std::shared_ptr<SynthesisEngine> engine)
        : work_(std::move(work)), engine_(std::move(engine)) {}
    HResult Take(std::vector<std::int16_t>& samples, const std::atomic<bool>& stop,
                 std::vector<std::size_t>* pieceSamples) override {
        return SynthesizeSegment(
            work_, *engine_, stop,
            [&](const std::vector<std::int16_t>& made) {
                samples.insert(samples.end(), made.begin(), made.end());
                return true;
            },
            pieceSamples);
    }

  private:
    SegmentWork work_;
    std::shared_ptr<SynthesisEngine> engine_;
};

// A file with subtitles is spoken a sentence a piece (a long sentence in clause pieces
// short enough for a cue of two lines), so that each cue's times are its own.
constexpr std::size_t kCuePieceBytes = 2 * text::kCueLineCharacters;

TextPieces PiecesOf(std::string_view text, bool ssml, bool forCues) {
    return forCues ? TextPieces(text, ssml, 0, kCuePieceBytes) : TextPieces(text, ssml);
}

std::string NoteText(const std::string& piece, bool ssml) {
    return ssml ? text::MarkupToPlainText(piece) : piece;
}

// Counts the voices alive, so that one outliving its operation shows.
std::atomic<int> liveVoices{0};

}  // namespace

int LiveSystemVoices() {
    return liveVoices.load();
}

SystemVoice::SystemVoice(std::shared_ptr<EngineVoiceToken> defaultToken,
                         std::shared_ptr<SegmentSynthesis> segments)
    : defaultToken_(std::move(defaultToken)),
      segments_(std::move(segments)),
      token_(defaultToken_) {
    ++liveVoices;
}

SystemVoice::~SystemVoice() {
    --liveVoices;
}

HResult SystemVoice::SetVolume(std::uint16_t volume) {
    if (volume > 100) return kInvalidArg;
    volume_.store(volume);
    return kOk;
}

HResult SystemVoice::SetRate(std::int32_t rate) {
    if (rate < -10 || rate > 10) return kInvalidArg;
    rate_.store(rate);
    return kOk;
}

HResult SystemVoice::SetVoice(std::shared_ptr<VoiceToken> token) {
    std::shared_ptr<EngineVoiceToken> chosen = defaultToken_;
    if (token) {
        chosen = std::dynamic_pointer_cast<EngineVoiceToken>(token);
        if (!chosen) return kInvalidArg;  // a token of another service
    }
    std::lock_guard lock(settingsMutex_);
    token_ = std::move(chosen);
    return kOk;
}

HResult SystemVoice::SetOutput(std::shared_ptr<FileStream> stream, bool /*allowFormatChanges*/) {
    std::shared_ptr<SoundFileStream> file;
    if (stream) {
        file = std::dynamic_pointer_cast<SoundFileStream>(stream);
        if (!file) return kInvalidArg;
    }
    std::lock_guard lock(settingsMutex_);
    stream_ = std::move(file);
    return kOk;
}

HResult SystemVoice::Pause() {
    paused_.store(true);
    stop_.store(true);
    std::lock_guard lock(queueMutex_);
    if (queue_ != nullptr) {
        // Taking the queue's lock orders this wake-up after any wait that began.
        std::lock_guard wake(queue_->mutex);
        queue_->changed.notify_all();
    }
    return kOk;
}

void SystemVoice::UsePronunciations(const std::string& rules) {
    // A copy of its own: compiled patterns are not to be shared between threads.
    std::shared_ptr<const text::Pronunciations> own;
    if (!rules.empty()) {
        std::vector<text::RuleProblem> problems;  // told when the list was read
        own = std::make_shared<const text::Pronunciations>(
            text::Pronunciations::Parse(rules, problems));
        if (own->Empty()) own.reset();
    }
    std::lock_guard lock(settingsMutex_);
    rules_ = std::move(own);
}

HResult SystemVoice::TextToSpeak(const std::u16string& text, std::uint32_t flags,
                                 std::string& utf8) const {
    if ((flags & kSpeakIsFileName) == 0) {
        utf8 = text::TextForSynthesis(text);
        return kOk;
    }
    if (text.empty()) return kInvalidArg;
    std::string bytes;
    if (const HResult hr = ReadWholeFile(text::ToNarrow(text), kMaxTextFileBytes, bytes);
        Failed(hr))
        return hr;
    const std::u16string decoded = text::DecodeTextFile(bytes);
    bytes = {};
    utf8 = text::TextForSynthesis(decoded);
    return kOk;
}

HResult SystemVoice::Speak(const std::u16string& text, std::uint32_t flags,
                           std::uint32_t* streamNumber) {
    if (streamNumber != nullptr) *streamNumber = 1;
    if (paused_.load()) return kOk;
    std::lock_guard speaking(speakMutex_);
    stop_.store(false);
    if (paused_.load()) return kOk;  // paused while waiting for an earlier Speak

    std::shared_ptr<EngineVoiceToken> token;
    std::shared_ptr<SoundFileStream> stream;
    std::shared_ptr<const text::Pronunciations> rules;
    {
        std::lock_guard lock(settingsMutex_);
        token = token_;
        stream = stream_;
        rules = rules_;
    }
    if (!token) return kEngineMissing;
    if (const HResult status = token->Engine()->Status(); Failed(status)) return status;

    std::string utf8;
    if (const HResult hr = TextToSpeak(text, flags, utf8); Failed(hr)) return hr;

    std::unique_ptr<AudioOutput> output;
    if (stream) {
        if (!stream->IsBound()) return kUnbound;
        output = std::make_unique<FileOutput>(stream);
    } else {
        std::unique_ptr<PulseOutput> pulse;
        if (const HResult hr = PulseOutput::Open(pulse); Failed(hr)) return hr;
        output = std::move(pulse);
    }

    progress::SetTotal(utf8.size(), progress::Unit::TextBytes);
    Queue queue;
    // Each piece is respelled as it goes to the synthesizer: the text is cut, its
    // chapters titled and its subtitles written as written.
    queue.rules = rules.get();
    {
        std::lock_guard lock(queueMutex_);
        queue_ = &queue;
    }
    HResult result = kOk;
    {
        const bool book = stream && stream->IsAudiobook();
        queue.notes = output->WantsPieceNotes();
        std::jthread producer([&] { Produce(utf8, *token, stream != nullptr, book, queue); });
        result = Consume(*output, queue);
        StopSpeaking(queue);
    }
    {
        std::lock_guard lock(queueMutex_);
        queue_ = nullptr;
    }
    if (paused_.load()) {
        output->Discard();
        return kOk;
    }
    if (Succeeded(result)) result = queue.result;
    if (Succeeded(result)) {
        result = output->Finish();
    } else {
        output->Discard();
    }
    return result;
}

void SystemVoice::Produce(const std::string& text, const EngineVoiceToken& token, bool toFile,
                          bool book, Queue& queue) {
    std::vector<ChapterSection> sections;
    if (book) sections = SplitAtTitles(text);
    if (sections.size() < 2) sections = {{text, {}, text.size()}};
    // One way for the whole text, so that its sound does not depend on its chapters.
    const bool ssml = TextPieces::LooksLikeMarkup(text);
    const int slots = toFile && !ssml && text.size() > kSegmentBytes && segments_ != nullptr
                          ? segments_->Slots()
                          : 0;
    HResult result = kOk;
    std::size_t base = 0;
    for (ChapterSection& section : sections) {
        queue.pendingChapter = std::move(section.title);
        queue.base = base;
        const bool markup = TextPieces::LooksLikeMarkup(section.text);
        result = slots > 0 && !markup ? ProduceInSegments(section.text, token, slots, queue)
                                      : ProduceHere(section.text, markup, token, queue);
        base = section.end;
        if (Failed(result) || stop_.load()) break;
    }
    std::lock_guard lock(queue.mutex);
    queue.finished = true;
    queue.result = result;
    queue.changed.notify_all();
}

HResult SystemVoice::ProduceHere(const std::string& text, bool ssml, const EngineVoiceToken& token,
                                 Queue& queue) {
    TextPieces pieces = PiecesOf(text, ssml, queue.notes);
    TextPiece piece;
    while (!stop_.load() && pieces.Next(piece)) {
        SynthesisRequest request;
        // The user's rules first, so that theirs win over the program's own.
        const std::string spoken =
            text::ApplyReadingRules(queue.rules ? queue.rules->Apply(piece.text) : piece.text);
        request.text = spoken;
        request.ssml = ssml;
        request.endsSentence = piece.endsSentence;
        request.voiceId = token.VoiceId();
        request.speed = SpeedForRate(rate_.load());
        std::vector<std::int16_t> samples;
        {
            std::lock_guard lock(queue.mutex);
            if (!queue.spare.empty()) {
                samples = std::move(queue.spare.back());
                queue.spare.pop_back();
            }
        }
        samples.clear();  // keeps the capacity
        const HResult result = token.Engine()->Synthesize(request, samples, stop_);
        if (Failed(result)) return result;
        if (stop_.load()) break;
        Notes notes;
        if (queue.notes) notes.push_back({NoteText(piece.text, ssml), samples.size()});
        if (!samples.empty() && !Enqueue(queue, std::move(samples), piece.end, std::move(notes)))
            break;
    }
    return kOk;
}

// Up to twice as many segments as slots are under way, so that a slot freed while
// the first is written finds work at once; their samples are queued in text order.
HResult SystemVoice::ProduceInSegments(const std::string& text, const EngineVoiceToken& token,
                                       int slots, Queue& queue) {
    TextPieces pieces = PiecesOf(text, false, queue.notes);
    struct UnderWay {
        std::unique_ptr<SegmentSynthesis::Pending> pending;
        std::size_t end;
        std::vector<std::string> texts;  // its pieces', for the notes
    };
    std::deque<UnderWay> underWay;
    bool more = true;
    HResult result = kOk;
    while (!stop_.load()) {
        while (more && underWay.size() < 2 * static_cast<std::size_t>(slots)) {
            SegmentWork work{token.VoiceId(), rate_.load(), {}};
            std::size_t bytes = 0;
            std::size_t end = 0;
            TextPiece piece;
            std::vector<std::string> texts;
            while (bytes < kSegmentBytes && (more = pieces.Next(piece))) {
                bytes += piece.text.size();
                end = piece.end;
                if (queue.notes) texts.push_back(piece.text);
                std::string spoken = text::ApplyReadingRules(
                    queue.rules ? queue.rules->Apply(piece.text) : piece.text);
                work.pieces.push_back({std::move(spoken), piece.endsSentence});
            }
            if (work.pieces.empty()) break;
            std::unique_ptr<SegmentSynthesis::Pending> pending = segments_->Start(work, stop_);
            if (stop_.load()) break;
            // Without a helper the segment is made here, in its turn.
            if (!pending) pending = std::make_unique<LocalSegment>(std::move(work), token.Engine());
            underWay.push_back({std::move(pending), end, std::move(texts)});
        }
        if (underWay.empty() || stop_.load()) break;
        std::vector<std::int16_t> samples;
        std::vector<std::size_t> counts;
        UnderWay front = std::move(underWay.front());
        underWay.pop_front();
        result = front.pending->Take(samples, stop_, queue.notes ? &counts : nullptr);
        if (Failed(result) || stop_.load()) break;
        Notes notes;
        for (std::size_t i = 0; i < counts.size() && i < front.texts.size(); ++i)
            notes.push_back({std::move(front.texts[i]), counts[i]});
        if (!samples.empty() && !Enqueue(queue, std::move(samples), front.end, std::move(notes)))
            break;
    }
    return result;
}

bool SystemVoice::Enqueue(Queue& queue, std::vector<std::int16_t> samples, std::size_t end,
                          Notes notes) {
    std::unique_lock lock(queue.mutex);
    queue.changed.wait(lock, [&] {
        return stop_.load() || queue.pieces.empty() || queue.samples < kMaxQueuedSamples;
    });
    if (stop_.load()) return false;
    queue.samples += samples.size();
    queue.pieces.push_back(std::move(samples));
    queue.ends.push_back(queue.base + end);
    queue.chapters.push_back(std::move(queue.pendingChapter));
    queue.pendingChapter.clear();
    queue.pieceNotes.push_back(std::move(notes));
    queue.changed.notify_all();
    return true;
}

HResult SystemVoice::Consume(AudioOutput& output, Queue& queue) {
    for (;;) {
        std::vector<std::int16_t> samples;
        std::size_t end = 0;
        std::u16string chapter;
        Notes notes;
        {
            std::unique_lock lock(queue.mutex);
            queue.changed.wait(
                lock, [&] { return stop_.load() || !queue.pieces.empty() || queue.finished; });
            if (stop_.load() || queue.pieces.empty()) return kOk;
            samples = std::move(queue.pieces.front());
            queue.pieces.pop_front();
            end = queue.ends.front();
            queue.ends.pop_front();
            chapter = std::move(queue.chapters.front());
            queue.chapters.pop_front();
            notes = std::move(queue.pieceNotes.front());
            queue.pieceNotes.pop_front();
            queue.samples -= samples.size();
            queue.changed.notify_all();
        }
        if (!chapter.empty()) output.StartChapter(chapter);
        // Each piece's sound as the synthesizer made it, before the volume: a quiet
        // setting must not move its cue.
        std::size_t at = 0;
        for (auto& [text, count] : notes) {
            const std::size_t take = std::min(count, samples.size() - at);
            output.NotePiece(std::move(text), {samples.data() + at, take}, at);
            at += take;
        }
        ApplyVolume(samples, volume_.load());
        const std::size_t slice = output.SliceSamples();
        for (std::size_t at = 0; at < samples.size(); at += slice) {
            if (stop_.load()) return kOk;
            const std::size_t count = std::min(slice, samples.size() - at);
            if (const HResult hr = output.Write({samples.data() + at, count}); Failed(hr))
                return hr;
        }
        progress::SetDone(end, progress::Unit::TextBytes);  // this thread runs the job
        std::lock_guard lock(queue.mutex);
        if (queue.spare.size() < kMaxSpareBuffers) queue.spare.push_back(std::move(samples));
    }
}

void SystemVoice::StopSpeaking(Queue& queue) {
    stop_.store(true);
    std::lock_guard lock(queue.mutex);
    queue.changed.notify_all();
}

}  // namespace sonoleaf::speech_service
