#pragma once
// Measurements on audio for tests: reading files back through libsndfile, loudness,
// where the speech lies, and its pitch.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace sonoleaf::testing {

struct Audio {
    int sampleRate = 0;
    int channels = 0;
    int format = 0;              // libsndfile's SF_FORMAT_* of the file
    std::vector<float> samples;  // first channel, -1..1

    double Seconds() const {
        return sampleRate > 0 ? static_cast<double>(samples.size()) / sampleRate : 0.0;
    }
};

// False when libsndfile cannot open or read the file.
bool ReadAudioFile(const std::filesystem::path& path, Audio& audio);

// Raw signed 16-bit little-endian mono samples, as parec writes them.
std::vector<float> ReadRawS16(const std::filesystem::path& path);

double Rms(std::span<const float> samples);

// The stretch from the first to the last 10 ms frame louder than `threshold` (RMS);
// begin == end when no frame is.
struct SampleSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t Length() const { return end - begin; }
};
SampleSpan LoudSpan(std::span<const float> samples, int sampleRate, double threshold = 0.01);

// Median fundamental frequency in Hz over the voiced frames (normalised
// autocorrelation, 60-500 Hz); 0 when no frame is voiced.
double MedianPitch(std::span<const float> samples, int sampleRate);

// How alike two sounds are over time: the correlation (-1..1) of their loudness
// in 25 ms frames, over the frames both have.
double EnvelopeCorrelation(std::span<const float> a, std::span<const float> b, int sampleRate);

}  // namespace sonoleaf::testing
