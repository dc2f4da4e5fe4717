#include "platform/speech/resampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace sonoleaf::speech_service {
namespace {

std::vector<std::int16_t> Tone(int rate, double hertz, double seconds) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(rate * seconds));
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * hertz * i / rate));
    return samples;
}

int RisingCrossings(const std::vector<std::int16_t>& samples) {
    int crossings = 0;
    for (std::size_t i = 1; i < samples.size(); ++i)
        crossings += samples[i - 1] < 0 && samples[i] >= 0;
    return crossings;
}

// Flite's 16 kHz voices come out at 22,050 Hz, the same every time, fed in any chunks;
// speech already at that rate passes untouched.
TEST(Resampler, KeepsPitchAndLengthAndIsTheSameEveryTime) {
    const std::vector<std::int16_t> tone = Tone(16000, 440, 1.0);
    std::vector<std::vector<std::int16_t>> outs(2);
    for (std::size_t chunk : {256u, 7000u}) {
        std::vector<std::int16_t>& out = outs[chunk == 256u ? 0 : 1];
        Resampler resampler(out);
        for (std::size_t at = 0; at < tone.size(); at += chunk)
            resampler.Add(16000, tone.data() + at, std::min(chunk, tone.size() - at));
        resampler.Finish();
        EXPECT_FALSE(resampler.Failed());
        EXPECT_NEAR(static_cast<double>(out.size()), 22050.0, 2.0);
        EXPECT_NEAR(RisingCrossings(out), 440, 1);
    }
    EXPECT_EQ(outs[0], outs[1]);

    std::vector<std::int16_t> same;
    Resampler passing(same);
    passing.Add(22050, tone.data(), 1000);
    passing.Finish();
    EXPECT_EQ(same, std::vector<std::int16_t>(tone.begin(), tone.begin() + 1000));
}

}  // namespace
}  // namespace sonoleaf::speech_service
