#pragma once
// The window an AAC-LC frame of one channel was coded with. Where a frame from one
// encoder follows a frame from another, the decoder overlaps the first's window with
// the second's; the two cancel each other's aliasing only when the second encoder
// had given its own previous frame the same window, which this lets one check.

#include <optional>
#include <string_view>

namespace sonoleaf::speech_service {

struct AacWindow {
    int sequence = 0;  // long, long start, eight short, long stop (0..3)
    int shape = 0;     // sine or Kaiser-Bessel-derived (0..1)

    bool operator==(const AacWindow&) const = default;
};

// The window of a raw AAC frame whose first channel element is a single channel, as
// FFmpeg's encoder writes for mono (fill elements before it are skipped); nothing for
// any other frame.
std::optional<AacWindow> ReadAacWindow(std::string_view frame);

}  // namespace sonoleaf::speech_service
