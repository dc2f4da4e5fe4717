#pragma once
// Turns a synthesizer's samples at its own rate (Flite's voices speak at 8 or 16 kHz)
// into the service's 22,050 Hz, as they stream in, with libsoxr. Without dither, so
// that the same input always gives the same samples.

#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

struct soxr;

namespace sonoleaf::speech_service {

class Resampler {
  public:
    // Appends the samples it makes to `out`.
    explicit Resampler(std::vector<std::int16_t>& out) : out_(out) {}
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    // `count` samples at `sampleRate`; those at the service's rate pass unchanged. A
    // change of rate completes what came before first.
    void Add(int sampleRate, const std::int16_t* samples, std::size_t count);
    // Drains what the resampler still holds: the end of the stream.
    void Finish();
    bool Failed() const { return failed_; }

  private:
    struct Deleter {
        void operator()(soxr* resampler) const;
    };
    bool Prepare(int sampleRate);
    void Process(const std::int16_t* samples, std::size_t count);

    std::vector<std::int16_t>& out_;
    std::unique_ptr<soxr, Deleter> soxr_;
    int inputRate_ = 0;
    bool failed_ = false;
};

}  // namespace sonoleaf::speech_service
