#pragma once
// Writes one audiobook file (M4B) from chapters encoded apart, in order, so that it
// sounds as if encoded in one piece: each chapter starts at exactly the sample where
// the ones before it end, and no gap or click marks a join.
//
// Each chapter's encoder saw silence beyond the chapter's edges, so the AAC frames
// around a join (those that span it, where each neighbour holds only its own half of
// the sound, and a few on either side, where an encoder's choices still depend on
// that silence) are encoded here anew from the PCM that both keep at their edges. The
// new frames replace the old ones where the windows of the frames on either side
// agree, so that the decoder's overlap cancels as it does inside one encoding. A
// chapter too short to hold frames of its own between two joins is encoded anew
// whole, with its neighbours' edges. Not to be shared between threads.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/speech/audiobook_codec.h"
#include "platform/speech/audiobook_tags.h"
#include "platform/speech/chapter_encoder.h"
#include "platform/speech/encoded_chapter.h"
#include "platform/speech/replacing_file.h"
#include "platform/speech/speech_service.h"

namespace sonoleaf::speech_service {

class AudiobookWriter {
  public:
    // Starts the file under a temporary name beside `path` (tags and cover go in now:
    // a cover that is no readable JPEG or PNG fails here, before any work is done).
    // `problem`, when given, tells why it failed.
    static HResult Open(const std::u16string& path, const AudiobookTags& tags,
                        std::unique_ptr<AudiobookWriter>& writer, std::string* problem = nullptr);
    // Without Finish the temporary file is removed: nothing is left behind, and a
    // file already at `path` stays as it was.
    ~AudiobookWriter();
    AudiobookWriter(const AudiobookWriter&) = delete;
    AudiobookWriter& operator=(const AudiobookWriter&) = delete;

    // The next chapter, which must have been encoded for a start at SamplesWritten()
    // (the same remainder modulo kAacFrameSamples). A chapter that is refused
    // (kInvalidArg) changes nothing; any other failure ends the writer.
    HResult AddChapter(const std::u16string& title, const EncodedChapter& chapter);
    // `samples` of silence at the end of the last chapter: a pause between chapters,
    // or the few samples that bring the next chapter onto the frame grid.
    HResult AddSilence(std::int64_t samples);
    // Completes the file with the chapters added so far and renames it into place:
    // after a stop, a shorter book. kFalse, and no file, when there were none.
    HResult Finish();

    std::int64_t SamplesWritten() const { return total_; }
    std::size_t ChaptersWritten() const { return marks_.size(); }
    // Why the last call failed.
    const std::string& Problem() const { return problem_; }

  private:
    // The latest chapter that owns frames of its own: the last few of them, which
    // the next join may still replace, and the PCM of its closing edge.
    struct Held {
        std::int64_t firstFrame = 0;  // the book's frame of frames[0]
        AacFrames frames;
        std::vector<std::int16_t> tail;  // the sound up to `end`
        std::int64_t end = 0;
    };
    // Frames encoded anew across one join, or several when short chapters lie between.
    struct Bridge {
        std::unique_ptr<AacEncoder> encoder;
        std::int64_t firstFrame = 0;   // the book's frame of the encoder's frame 0
        std::int64_t replaceFrom = 0;  // the first frame the held chapter cannot give
        std::int64_t fedUntil = 0;     // the book's sample after the last one fed
        AacFrames frames;
    };

    AudiobookWriter() = default;
    HResult Join(const EncodedChapter& chapter, std::int64_t start);
    HResult OpenBridge(std::int64_t firstFrame, std::int64_t replaceFrom);
    HResult Feed(std::span<const std::int16_t> samples, std::int64_t from);
    HResult CloseBridge(const EncodedChapter* next, std::int64_t nextStart);
    HResult WriteFrames(const AacFrames& frames, std::int64_t firstFrame, std::int64_t from,
                        std::int64_t to);
    void Hold(const EncodedChapter& chapter, std::int64_t start);
    HResult Fail(HResult hr, std::string problem);

    std::unique_ptr<ReplacingFile> file_;
    std::unique_ptr<M4bMuxer> muxer_;
    std::vector<ChapterMark> marks_;
    std::int64_t total_ = 0;
    std::optional<Held> held_;
    std::optional<Bridge> bridge_;
    HResult status_ = kOk;  // a failure that ended the writer
    bool finished_ = false;
    std::string problem_;
};

}  // namespace sonoleaf::speech_service
