#pragma once
// The messages between the program and its render helper process: one file's work
// going out, and what became of it coming back. Frames are a four-letter kind, the
// byte length of the body, then the body; numbers are in the machine's own order,
// as both ends are the same build on the same machine.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/speech/segment_synthesis.h"
#include "platform/speech/speech_service.h"
#include "platform/text/durable_file.h"
#include "render/render_result.h"

namespace sonoleaf::render {

// The voice a file is read with, chosen by the program so that the file sounds the
// same wherever it is made.
struct VoiceChoice {
    std::u16string name;  // the installed voice's Name; empty: the service's default
    std::int32_t volume = 100;
    std::int32_t rate = 0;
};

// One file's work: what a rendering into a file takes.
struct FileWork {
    std::uint32_t id = 0;
    VoiceChoice voice;
    std::u16string text;
    std::u16string outputPath;
    speech_service::FileTags tags;
    speech_service::SubtitleFormat subtitles = speech_service::SubtitleFormat::None;
    // The user's pronunciation list as read (its source bytes; empty: none), parsed
    // again by the helper so that the file sounds as it would in the program.
    std::string pronunciations;
    // When set, the work is this segment instead: its raw samples (the machine's
    // 16-bit order) go to `outputPath`, piece by piece; voice, text and tags unused.
    std::optional<speech_service::SegmentWork> segment;
};

// Helper to program, first: the helper's build, which must be the program's.
inline constexpr char kHello[] = "HELO";
// Program to helper.
inline constexpr char kWork[] = "WORK";     // a FileWork for a file
inline constexpr char kSegment[] = "SEGM";  // a FileWork for a segment
inline constexpr char kStop[] = "STOP";     // stop the file of this id (shorter, valid)
inline constexpr char kKill[] = "KILL";     // end the process of this id now: it hangs
// A part of a long text, sent ahead of the work of its id (an id and a text): a frame
// holds at most kMaxBody bytes, a passage may hold more.
inline constexpr char kText[] = "TEXT";
// Helper to program.
// PROC and LOST bodies: the id, a cause and a value.
inline constexpr char kStarted[] = "PROC";  // the file's process id (cause 0, value pid)
inline constexpr char kDone[] = "DONE";     // the file's RenderResult
inline constexpr char kLost[] = "LOST";     // its process ended without a result
// The causes of LOST: the process ended with a status, was killed by a signal, or
// could not be started (the value is the errno).
inline constexpr std::int32_t kLostExited = 0;
inline constexpr std::int32_t kLostSignal = 1;
inline constexpr std::int32_t kLostForkFailed = 2;

struct Frame {
    std::string kind;  // four letters
    std::string body;
};

// Builds a body field by field, and reads one back in the same order.
class Writer {
  public:
    Writer& U32(std::uint32_t value);
    Writer& I32(std::int32_t value);
    Writer& Text(std::u16string_view text);
    Writer& Bytes(std::string_view bytes);
    Writer& Raw(std::string_view bytes);  // without its length
    std::string Frame(std::string_view kind) const;

  private:
    std::string body_;
};

class Reader {
  public:
    explicit Reader(std::string_view body) : body_(body) {}
    bool U32(std::uint32_t& value);
    bool I32(std::int32_t& value);
    bool Text(std::u16string& text);
    bool Bytes(std::string& bytes);

  private:
    std::string_view body_;
};

// The build both ends must be: the program's version and the frames' layout.
std::string BuildIdentity();

// The frames that carry one work: the text's leading parts first when it is too long
// for one frame, then the work itself with the rest.
std::vector<std::string> EncodeWork(const FileWork& work);
// A kWork body; `leading` (the text of its kText frames, if any) goes before its text.
std::optional<FileWork> DecodeWork(std::string_view body, std::u16string leading = {});
std::optional<FileWork> DecodeSegment(std::string_view body);  // a kSegment body
// The id a work body starts with, when even that much of it can be read.
std::optional<std::uint32_t> WorkId(std::string_view body);

std::string EncodeResult(std::uint32_t id, const RenderResult& result);
bool DecodeResult(std::string_view body, std::uint32_t& id, RenderResult& result);

// The most a frame's body may hold.
inline constexpr std::uint32_t kMaxBody = std::uint32_t{1} << 27;

// Reads one whole frame from `descriptor`, waiting for it; empty at the end of the
// stream or on a malformed frame.
std::optional<Frame> ReadFrame(int descriptor);
// Writes `bytes` whole; false when the other end has gone.
using text::WriteAll;

}  // namespace sonoleaf::render
