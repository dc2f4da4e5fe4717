// The CMU Flite engine: the voices built into the Flite libraries, streamed through
// Flite's audio callback (which also ends synthesis on a stop) and resampled from the
// voice's own rate to the service's rate as they come. Flite reads no markup: an SSML
// piece is given its words.

#include <flite/flite.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/speech/noise_lock.h"
#include "platform/speech/resampler.h"
#include "platform/speech/synthesis_engine.h"
#include "platform/text/markup_scan.h"

extern "C" {
cst_voice* register_cmu_us_rms(const char* voxdir);
cst_voice* register_cmu_us_slt(const char* voxdir);
cst_voice* register_cmu_us_kal16(const char* voxdir);
cst_voice* register_cmu_us_awb(const char* voxdir);
}

namespace sonoleaf::speech_service {
namespace {

// Flite's vocoder noise is seeded with this at every piece, so that the same text
// with the same settings always gives the same samples.
constexpr unsigned kNoiseSeed = 1;
// Duration stretches Flite's voices still speak clearly at; faster or slower rates
// are held here.
constexpr float kMinStretch = 0.4F;
constexpr float kMaxStretch = 3.0F;
// Samples per streaming call: 16 ms at 16 kHz, so a stop is seen at once.
constexpr int kStreamChunk = 256;
// How often a caller waiting for Flite looks whether it is asked to stop.
constexpr std::chrono::milliseconds kStopPoll{5};

struct FliteVoiceInfo {
    const char* id;
    cst_voice* (*load)(const char*);
    const char16_t* name;
    const char16_t* gender;
    const char16_t* language;
};

constexpr FliteVoiceInfo kVoices[] = {
    {"cmu_us_rms", register_cmu_us_rms, u"Flite rms (US English) Male", u"Male", u"en-us"},
    {"cmu_us_slt", register_cmu_us_slt, u"Flite slt (US English) Female", u"Female", u"en-us"},
    {"cmu_us_kal16", register_cmu_us_kal16, u"Flite kal16 (US English) Male", u"Male", u"en-us"},
    {"cmu_us_awb", register_cmu_us_awb, u"Flite awb (Scottish English) Male", u"Male",
     u"en-gb-scotland"},
};

// Where the streamed samples of the piece being synthesized go.
class PieceSink {
  public:
    PieceSink(std::vector<std::int16_t>& samples, const std::atomic<bool>& stop)
        : resampler_(samples), stop_(stop) {}

    bool Stopped() const { return stop_.load(); }
    bool Failed() const { return resampler_.Failed(); }
    void Add(int sampleRate, const short* samples, std::size_t count) {
        resampler_.Add(sampleRate, samples, count);
    }
    void Finish() { resampler_.Finish(); }

  private:
    Resampler resampler_;
    const std::atomic<bool>& stop_;
};

// Only touched while the noise lock is held, on the synthesizing thread.
PieceSink* g_sink = nullptr;

int OnAudio(const cst_wave* wave, int start, int size, int /*last*/,
            cst_audio_streaming_info* /*info*/) {
    if (g_sink == nullptr) return CST_AUDIO_STREAM_STOP;
    if (g_sink->Stopped()) return CST_AUDIO_STREAM_STOP;
    if (size > 0 && wave->num_channels == 1)
        g_sink->Add(wave->sample_rate, wave->samples + start, static_cast<std::size_t>(size));
    return g_sink->Failed() ? CST_AUDIO_STREAM_STOP : CST_AUDIO_STREAM_CONT;
}

// One piece as a synthesis thread works on it. The caller may give up waiting (on a
// stop) while Flite still analyses the text, which it cannot interrupt: the piece is
// then abandoned, its thread sees that at its next audio and ends.
struct PieceJob {
    std::string text;
    cst_voice* voice = nullptr;
    float stretch = 1.0F;
    std::atomic<bool> abandoned{false};
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;  // guarded by `mutex`, as are the two below
    bool failed = false;
    std::vector<std::int16_t> samples;
};

void RunPiece(PieceJob& job) {
    std::vector<std::int16_t> samples;
    PieceSink sink(samples, job.abandoned);
    {
        std::lock_guard noise(RandomNoiseLock());
        flite_feat_set_float(job.voice->features, "duration_stretch", job.stretch);
        g_sink = &sink;
        std::srand(kNoiseSeed);
        flite_text_to_speech(job.text.c_str(), job.voice, "none");
        sink.Finish();
        g_sink = nullptr;
    }
    std::lock_guard lock(job.mutex);
    job.samples = std::move(samples);
    job.failed = sink.Failed();
    job.done = true;
    job.changed.notify_all();
}

// Waits for `job` to end; false when `stop` is set first.
bool AwaitPiece(PieceJob& job, const std::atomic<bool>& stop) {
    std::unique_lock lock(job.mutex);
    while (!job.done) {
        if (stop.load()) return false;
        job.changed.wait_for(lock, kStopPoll);
    }
    return true;
}

class Flite final : public SynthesisEngine {
  public:
    Flite() {
        std::lock_guard lock(RandomNoiseLock());
        flite_init();
        for (const FliteVoiceInfo& info : kVoices) {
            cst_voice* voice = info.load(nullptr);
            if (voice == nullptr) {
                std::fprintf(stderr, "sonoleaf: Flite voice %s could not be loaded\n", info.id);
                continue;
            }
            cst_audio_streaming_info* streaming = new_audio_streaming_info();
            streaming->asc = OnAudio;
            streaming->min_buffsize = kStreamChunk;
            // The voice's features own the streaming info from here on.
            flite_feat_set(voice->features, "streaming_info", audio_streaming_info_val(streaming));
            loaded_.push_back({info.id, voice});
            voices_.push_back({info.id, info.name, info.gender, info.language});
        }
        if (!voices_.empty()) {
            status_ = kOk;
        } else {
            problem_ = "Flite offers no voice: none of its voices could be loaded";
            std::fprintf(stderr, "sonoleaf: %s\n", problem_.c_str());
        }
    }

    HResult Status() const override { return status_; }
    std::string Problem() const override { return problem_; }
    std::vector<EngineVoice> Voices() const override { return voices_; }

    // Flite cannot be interrupted before a sentence's first audio, which for a long
    // sentence comes after a second or more; the piece therefore runs on a thread of
    // its own that a stop leaves behind, and the next piece waits for it to end.
    HResult Synthesize(const SynthesisRequest& request, std::vector<std::int16_t>& samples,
                       const std::atomic<bool>& stop) override {
        if (status_ != kOk) return status_;
        cst_voice* voice = Find(request.voiceId);
        if (voice == nullptr) return kInvalidArg;
        // Polled rather than a timed lock: ThreadSanitizer does not follow timed locks.
        std::unique_lock calls(callMutex_, std::defer_lock);
        while (!calls.try_lock()) {
            if (stop.load()) return kOk;
            std::this_thread::sleep_for(kStopPoll);
        }
        if (previous_ && !AwaitPiece(*previous_, stop)) return kOk;
        auto job = std::make_shared<PieceJob>();
        job->text =
            request.ssml ? text::MarkupToPlainText(request.text) : std::string(request.text);
        job->voice = voice;
        job->stretch =
            std::clamp(static_cast<float>(1.0 / request.speed), kMinStretch, kMaxStretch);
        previous_ = job;
        if (thread_.joinable()) thread_.join();  // an abandoned piece's, ended
        thread_ = std::jthread([job] { RunPiece(*job); });
        if (!AwaitPiece(*job, stop)) {
            job->abandoned.store(true);
            return kOk;
        }
        // Joined now, so that only an abandoned piece's thread outlives its call (a
        // process forked in between holds no thread to join).
        thread_.join();
        samples.insert(samples.end(), job->samples.begin(), job->samples.end());
        return job->failed ? kFail : kOk;
    }

  private:
    struct LoadedVoice {
        std::string id;
        cst_voice* voice;  // Flite's own, alive for the process
    };

    cst_voice* Find(std::string_view id) const {
        const auto found = std::find_if(loaded_.begin(), loaded_.end(),
                                        [&](const LoadedVoice& v) { return v.id == id; });
        return found == loaded_.end() ? nullptr : found->voice;
    }

    HResult status_ = kEngineMissing;
    std::string problem_;
    std::vector<EngineVoice> voices_;
    std::vector<LoadedVoice> loaded_;
    std::mutex callMutex_;  // one piece at a time; guards the two below
    std::shared_ptr<PieceJob> previous_;
    std::jthread thread_;  // the last piece's; joined before the next starts, or at exit
};

}  // namespace

std::shared_ptr<SynthesisEngine> FliteEngine() {
    static const std::shared_ptr<SynthesisEngine> engine = std::make_shared<Flite>();
    return engine;
}

}  // namespace sonoleaf::speech_service
