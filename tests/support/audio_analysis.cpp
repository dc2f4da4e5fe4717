#include "support/audio_analysis.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>

namespace sonoleaf::testing {

bool ReadAudioFile(const std::filesystem::path& path, Audio& audio) {
    SF_INFO info{};
    std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> file(sf_open(path.c_str(), SFM_READ, &info),
                                                     &sf_close);
    if (!file || info.channels < 1) return false;
    audio.sampleRate = info.samplerate;
    audio.channels = info.channels;
    audio.format = info.format;
    audio.samples.clear();
    std::vector<float> block(4096 * static_cast<std::size_t>(info.channels));
    for (;;) {
        const sf_count_t frames = sf_readf_float(file.get(), block.data(), 4096);
        if (frames <= 0) break;
        for (sf_count_t i = 0; i < frames; ++i)
            audio.samples.push_back(block[static_cast<std::size_t>(i * info.channels)]);
    }
    return sf_error(file.get()) == SF_ERR_NO_ERROR;
}

std::vector<float> ReadRawS16(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<float> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto low = static_cast<unsigned char>(bytes[2 * i]);
        const auto high = static_cast<unsigned char>(bytes[2 * i + 1]);
        samples[i] = static_cast<std::int16_t>(low | (high << 8)) / 32768.0f;
    }
    return samples;
}

double Rms(std::span<const float> samples) {
    if (samples.empty()) return 0.0;
    double sum = 0.0;
    for (const float s : samples) sum += static_cast<double>(s) * s;
    return std::sqrt(sum / static_cast<double>(samples.size()));
}

SampleSpan LoudSpan(std::span<const float> samples, int sampleRate, double threshold) {
    const std::size_t frame = static_cast<std::size_t>(sampleRate / 100);
    SampleSpan span;
    bool found = false;
    for (std::size_t at = 0; frame > 0 && at + frame <= samples.size(); at += frame) {
        if (Rms(samples.subspan(at, frame)) <= threshold) continue;
        if (!found) span.begin = at;
        found = true;
        span.end = at + frame;
    }
    return span;
}

double MedianPitch(std::span<const float> samples, int sampleRate) {
    const auto frame = static_cast<std::size_t>(sampleRate * 0.04);
    const auto hop = static_cast<std::size_t>(sampleRate * 0.01);
    const auto minLag = static_cast<std::size_t>(sampleRate / 500);
    const auto maxLag = static_cast<std::size_t>(sampleRate / 60);
    double loudest = 0.0;
    for (std::size_t at = 0; at + frame <= samples.size(); at += hop)
        loudest = std::max(loudest, Rms(samples.subspan(at, frame)));
    std::vector<double> pitches;
    for (std::size_t at = 0; at + frame + maxLag + 1 <= samples.size(); at += hop) {
        const auto window = samples.subspan(at, frame);
        if (Rms(window) < 0.25 * loudest) continue;  // quiet or unvoiced
        std::vector<double> r(maxLag + 2, 0.0);
        double best = 0.0;
        for (std::size_t lag = minLag; lag <= maxLag + 1; ++lag) {
            double cross = 0.0, energyA = 0.0, energyB = 0.0;
            for (std::size_t i = 0; i < frame; ++i) {
                const double a = samples[at + i], b = samples[at + i + lag];
                cross += a * b;
                energyA += a * a;
                energyB += b * b;
            }
            r[lag] = cross / std::sqrt(energyA * energyB + 1e-12);
            if (lag <= maxLag) best = std::max(best, r[lag]);
        }
        // The first strong peak: later ones are multiples of the period.
        double bestLag = 0.0;
        for (std::size_t lag = minLag + 1; lag <= maxLag; ++lag) {
            if (r[lag] >= 0.9 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
                bestLag = static_cast<double>(lag);
                break;
            }
        }
        if (best > 0.6 && bestLag > 0) pitches.push_back(sampleRate / bestLag);
    }
    if (pitches.empty()) return 0.0;
    std::nth_element(pitches.begin(), pitches.begin() + pitches.size() / 2, pitches.end());
    return pitches[pitches.size() / 2];
}

double EnvelopeCorrelation(std::span<const float> a, std::span<const float> b, int sampleRate) {
    const auto frame = static_cast<std::size_t>(sampleRate / 40);
    const std::size_t frames = frame > 0 ? std::min(a.size(), b.size()) / frame : 0;
    if (frames < 2) return 0.0;
    std::vector<double> x(frames), y(frames);
    double meanX = 0.0, meanY = 0.0;
    for (std::size_t i = 0; i < frames; ++i) {
        x[i] = Rms(a.subspan(i * frame, frame));
        y[i] = Rms(b.subspan(i * frame, frame));
        meanX += x[i] / static_cast<double>(frames);
        meanY += y[i] / static_cast<double>(frames);
    }
    double cross = 0.0, varX = 0.0, varY = 0.0;
    for (std::size_t i = 0; i < frames; ++i) {
        cross += (x[i] - meanX) * (y[i] - meanY);
        varX += (x[i] - meanX) * (x[i] - meanX);
        varY += (y[i] - meanY) * (y[i] - meanY);
    }
    return varX > 0.0 && varY > 0.0 ? cross / std::sqrt(varX * varY) : 0.0;
}

}  // namespace sonoleaf::testing
