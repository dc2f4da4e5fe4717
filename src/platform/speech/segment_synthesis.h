#pragma once
// Synthesis of a long text in other processes, a segment (a run of whole pieces) at a
// time, so that a long render keeps every core at work while its own thread applies
// the volume and writes the file in order. Every segment starts from freshly started
// synthesizers, so its samples do not depend on which process made them or on how
// many segments were made at once.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/speech/speech_service.h"

namespace sonoleaf::speech_service {

class SynthesisEngine;

// A segment ends at the first piece end after this many bytes of text: long enough
// that starting its process costs well under a hundredth of its synthesis, short
// enough that a few segments in flight hold little audio.
inline constexpr std::size_t kSegmentBytes = 2000;

struct SegmentPiece {
    std::string text;  // UTF-8, plain
    bool endsSentence = false;
};

struct SegmentWork {
    std::string voiceId;
    std::int32_t rate = 0;  // the voice's rate, -10 to 10
    std::vector<SegmentPiece> pieces;
};

class SegmentSynthesis {
  public:
    // One segment on its way; dropping it stops the segment if it is still running.
    class Pending {
      public:
        virtual ~Pending() = default;
        // Waits for the segment's samples. Once `stop` is set it returns kOk at once,
        // with no samples. `pieceSamples`, when given, receives how many of the samples
        // each piece made, in order (for subtitles).
        virtual HResult Take(std::vector<std::int16_t>& samples, const std::atomic<bool>& stop,
                             std::vector<std::size_t>* pieceSamples = nullptr) = 0;
    };

    virtual ~SegmentSynthesis() = default;
    // How many segments are made at once; 0 when none can be.
    virtual int Slots() = 0;
    // Starts one segment, first waiting while every slot is busy; null when `stop` was
    // set meanwhile or the segment could not be started.
    virtual std::unique_ptr<Pending> Start(const SegmentWork& work,
                                           const std::atomic<bool>& stop) = 0;
};

// The speed factor a voice rate stands for: three times slower to three times faster.
double SpeedForRate(std::int32_t rate);

// Synthesizes the segment's pieces with `engine` in order, exactly as a voice
// synthesizes them for a file, handing each piece's samples to `write`; false from
// `write` ends it with kFail. Stopped, it returns kOk with what was made. `pieceSamples`,
// when given, receives each piece's sample count (none made: 0).
HResult SynthesizeSegment(const SegmentWork& work, SynthesisEngine& engine,
                          const std::atomic<bool>& stop,
                          const std::function<bool(const std::vector<std::int16_t>&)>& write,
                          std::vector<std::size_t>* pieceSamples = nullptr);

// The file beside a segment's scratch file that holds its pieces' sample counts.
std::string PieceCountsPath(const std::string& segmentPath);

}  // namespace sonoleaf::speech_service
