#include "platform/speech/resampler.h"

#include <soxr.h>

#include "platform/speech/synthesis_engine.h"

namespace sonoleaf::speech_service {

void Resampler::Deleter::operator()(soxr* resampler) const {
    soxr_delete(resampler);
}

Resampler::~Resampler() = default;

void Resampler::Add(int sampleRate, const std::int16_t* samples, std::size_t count) {
    if (failed_ || count == 0) return;
    if (sampleRate == kSampleRate) {
        out_.insert(out_.end(), samples, samples + count);
        return;
    }
    if (!Prepare(sampleRate)) return;
    Process(samples, count);
}

void Resampler::Finish() {
    if (soxr_ && !failed_) Process(nullptr, 0);
}

bool Resampler::Prepare(int sampleRate) {
    if (soxr_ && sampleRate == inputRate_) return true;
    Finish();  // a voice changing its rate mid-piece: what came before is complete
    soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
    // soxr seeds its dither from the clock, so every rendering would differ; the
    // samples are 16-bit already, and rounding them back is enough.
    io.flags |= SOXR_NO_DITHER;
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    // One thread: the service runs one synthesis per voice already.
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_error_t error = nullptr;
    soxr_.reset(soxr_create(sampleRate, kSampleRate, 1, &error, &io, &quality, &runtime));
    failed_ = error != nullptr || !soxr_;
    inputRate_ = sampleRate;
    return !failed_;
}

void Resampler::Process(const std::int16_t* samples, std::size_t count) {
    const double ratio = static_cast<double>(kSampleRate) / inputRate_;
    std::size_t done = 0;
    do {
        const std::size_t room = static_cast<std::size_t>((count - done) * ratio) + 512;
        const std::size_t old = out_.size();
        out_.resize(old + room);
        std::size_t used = 0;
        std::size_t made = 0;
        const soxr_error_t error =
            soxr_process(soxr_.get(), samples ? samples + done : nullptr, count - done, &used,
                         out_.data() + old, room, &made);
        out_.resize(old + made);
        if (error != nullptr) {
            failed_ = true;
            return;
        }
        done += used;
        if (samples == nullptr && made < room) return;  // flushed
    } while (done < count || samples == nullptr);
}

}  // namespace sonoleaf::speech_service
