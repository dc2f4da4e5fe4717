#pragma once
// A strict SubRip reader for tests: what a subtitle file must be for every player
// (numbered from 1 in order, "HH:MM:SS,mmm --> HH:MM:SS,mmm", non-empty text lines, a
// blank line after each cue, UTF-8), and cues that neither overlap nor go back.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sonoleaf::testing {

struct SrtCue {
    std::int64_t startMs = 0;
    std::int64_t endMs = 0;
    std::string text;  // its lines, "\n" between them
};

// The cues of `contents`; false, with what is wrong and on which line in `error`, for
// anything a strict reader refuses.
bool ReadSrt(std::string_view contents, std::vector<SrtCue>& cues, std::string& error);

}  // namespace sonoleaf::testing
