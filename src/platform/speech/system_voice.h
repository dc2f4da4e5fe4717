#pragma once
// A voice of the real service. Speak synthesizes the text piece by piece on a helper
// thread while the calling thread writes or plays the samples, so the synthesizer
// is held only for one piece at a time and output never waits on synthesis of the
// whole text.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/speech/audio_output.h"
#include "platform/speech/speech_service.h"
#include "platform/speech/voice_tokens.h"
#include "platform/text/pronunciations.h"

namespace sonoleaf::speech_service {

class SegmentSynthesis;
class SoundFileStream;

class SystemVoice final : public Voice {
  public:
    // `segments`, when given, makes the pieces of a long text rendered to a file in
    // other processes (see segment_synthesis.h).
    explicit SystemVoice(std::shared_ptr<EngineVoiceToken> defaultToken,
                         std::shared_ptr<SegmentSynthesis> segments = nullptr);
    ~SystemVoice() override;
    SystemVoice(const SystemVoice&) = delete;
    SystemVoice& operator=(const SystemVoice&) = delete;

    HResult SetVolume(std::uint16_t volume) override;
    HResult SetRate(std::int32_t rate) override;
    HResult SetVoice(std::shared_ptr<VoiceToken> token) override;
    HResult SetOutput(std::shared_ptr<FileStream> stream, bool allowFormatChanges) override;
    HResult Speak(const std::u16string& text, std::uint32_t flags,
                  std::uint32_t* streamNumber) override;
    HResult Pause() override;
    void UsePronunciations(const std::string& rules) override;

  private:
    // The pieces of a run of samples, for subtitles: each one's words and sample count.
    using Notes = std::vector<std::pair<std::string, std::size_t>>;

    // The synthesized audio waiting for output, bounded in length.
    struct Queue {
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<std::vector<std::int16_t>> pieces;
        std::deque<std::size_t> ends;  // where in the text each of `pieces` ends
        // The chapter each of `pieces` starts, if any (an empty title for none).
        std::deque<std::u16string> chapters;
        // Each of `pieces`' pieces, when the output takes notes of them.
        std::deque<Notes> pieceNotes;
        bool notes = false;
        // The producer's: the chapter its next piece starts, and where in the whole text
        // the part it produces now begins.
        std::u16string pendingChapter;
        std::size_t base = 0;
        std::size_t samples = 0;
        // Written buffers handed back for the synthesis of later pieces.
        std::vector<std::vector<std::int16_t>> spare;
        // The user's rules, applied to each piece as it is synthesized; null for none.
        const text::Pronunciations* rules = nullptr;
        bool finished = false;
        HResult result = kOk;
    };

    HResult TextToSpeak(const std::u16string& text, std::uint32_t flags, std::string& utf8) const;
    // `book`: the text goes into an audiobook, its title passages starting chapters.
    void Produce(const std::string& text, const EngineVoiceToken& token, bool toFile, bool book,
                 Queue& queue);
    HResult ProduceHere(const std::string& text, bool ssml, const EngineVoiceToken& token,
                        Queue& queue);
    HResult ProduceInSegments(const std::string& text, const EngineVoiceToken& token, int slots,
                              Queue& queue);
    // Queues one piece's samples once there is room; false when stopped meanwhile.
    bool Enqueue(Queue& queue, std::vector<std::int16_t> samples, std::size_t end, Notes notes);
    HResult Consume(AudioOutput& output, Queue& queue);
    void StopSpeaking(Queue& queue);

    const std::shared_ptr<EngineVoiceToken> defaultToken_;
    const std::shared_ptr<SegmentSynthesis> segments_;
    std::atomic<std::uint16_t> volume_{100};
    std::atomic<std::int32_t> rate_{0};
    std::atomic<bool> paused_{false};
    // Set by a pause, or when the output fails: ends the synthesis of this Speak.
    std::atomic<bool> stop_{false};

    std::mutex settingsMutex_;
    std::shared_ptr<EngineVoiceToken> token_;
    std::shared_ptr<SoundFileStream> stream_;
    std::shared_ptr<const text::Pronunciations> rules_;  // this voice's own copy

    std::mutex speakMutex_;   // one Speak at a time
    std::mutex queueMutex_;   // guards queue_
    Queue* queue_ = nullptr;  // the queue of the Speak in progress
};

}  // namespace sonoleaf::speech_service
