#pragma once
// Read-along subtitles: cues timed from the samples the synthesizer made for each
// piece of text (one sentence, or a clause piece of a long one), written beside the
// audio file as SubRip (.srt) or WebVTT (.vtt). Times come from sample counts alone,
// so the same audio gives the same subtitles however the work was shared out.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text/markup_scan.h"

namespace sonoleaf::text {

inline constexpr int kSubtitleSampleRate = 22050;
// A sample louder than this (of 32767) is sound; quieter ones are the pauses around
// speech. About -42 dBFS: below any spoken sound, above a synthesizer's dither.
inline constexpr int kSoundThreshold = 256;
// A cue holds at most two lines of about this many characters.
inline constexpr std::size_t kCueLineCharacters = 42;

struct Cue {
    std::int64_t startMs = 0;
    std::int64_t endMs = 0;
    std::string text;  // one or two lines, "\n" between them
};

// Where the sound of a piece's samples lies: the first sample louder than the
// threshold, and one past the last such sample. Samples are 16-bit mono.
struct SoundSpan {
    std::int64_t first = 0;
    std::int64_t end = 0;
    bool silent = true;
};
SoundSpan FindSound(std::span<const std::int16_t> samples);

// Builds cues from the pieces of one audio file, in the order they were spoken.
class CueBuilder {
  public:
    explicit CueBuilder(int sampleRate = kSubtitleSampleRate);

    // A piece: its text (plain; see MarkupToPlainText), the offset in the file's samples
    // where its samples start, and its SoundSpan (relative to that start). Its text,
    // white space runs made one blank and trimmed, is the cue's; a blank text or a
    // silent span makes no cue. A text longer than two lines becomes several cues that
    // share the span in proportion to their characters. A cue never starts before the
    // previous one ends; one shorter than a millisecond is left out.
    void Add(std::string_view pieceText, std::int64_t startSample, SoundSpan span);

    // After a Stop the file ends at `endSample`: cues from there on go, the one
    // spoken across it ends there.
    void TruncateAt(std::int64_t endSample);

    // Milliseconds rounded to the nearest from the sample counts (integer arithmetic).
    const std::vector<Cue>& Cues() const { return cues_; }

  private:
    struct SampleTimes {
        std::int64_t start;
        std::int64_t end;
    };
    void Push(std::string text, std::int64_t start, std::int64_t end);
    std::int64_t Milliseconds(std::int64_t samples) const;

    int sampleRate_;
    std::vector<SampleTimes> times_;  // beside cues_, the exact times in samples
    std::vector<Cue> cues_;
};

// The text wrapped into at most two lines of about 42 characters (characters, not
// bytes), as even as the words allow, the second line the longer on a tie. A word is
// split only when it alone is longer than a line. White space runs become one blank;
// a text longer than two lines still makes two (longer) lines: CueBuilder cuts such
// texts before.
std::string WrapCueText(std::string_view text);

// "1\n00:00:01,234 --> 00:00:03,456\ntext\n\n" for each cue, numbered from 1.
std::string FormatSrt(const std::vector<Cue>& cues);
// "WEBVTT\n\n" and "00:00:01.234 --> 00:00:03.456\ntext\n\n" for each cue, with "&", "<"
// and ">" written as character references.
std::string FormatVtt(const std::vector<Cue>& cues);

// The subtitle file beside an audio file: the same folder and stem, ".srt" or ".vtt".
std::string SubtitlePathFor(const std::string& audioPath, bool vtt);

// Writes the file whole under a temporary name in the same folder and renames it into
// place; false (and no file changed) when it cannot.
bool WriteSubtitleFile(const std::string& path, const std::string& contents);

}  // namespace sonoleaf::text
