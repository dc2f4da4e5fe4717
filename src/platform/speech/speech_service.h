#pragma once
// The speech service the system talks to: voices, file streams and voice tokens,
// with HRESULT-like results so that callers can chain their steps on them.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sonoleaf::speech_service {

class SegmentSynthesis;

using HResult = std::int32_t;

// Results. Success codes are >= 0, failures < 0, as callers chain on the sign.
inline constexpr HResult kOk = 0;
inline constexpr HResult kFalse = 1;  // success, but nothing (more) to return
inline constexpr HResult kFail = static_cast<HResult>(0x80004005u);
inline constexpr HResult kInvalidArg = static_cast<HResult>(0x80070057u);
inline constexpr HResult kOutOfMemory = static_cast<HResult>(0x8007000Eu);
inline constexpr HResult kFileNotFound = static_cast<HResult>(0x80070002u);
inline constexpr HResult kAccessDenied = static_cast<HResult>(0x80070005u);
inline constexpr HResult kWriteFault = static_cast<HResult>(0x8007001Du);
inline constexpr HResult kNotInitialised = static_cast<HResult>(0x8004503Du);
inline constexpr HResult kNoAudioDevice = static_cast<HResult>(0x80045013u);
inline constexpr HResult kEngineMissing = static_cast<HResult>(0x80045038u);
inline constexpr HResult kUnbound = static_cast<HResult>(0x80045006u);

constexpr bool Succeeded(HResult hr) {
    return hr >= 0;
}
constexpr bool Failed(HResult hr) {
    return hr < 0;
}

// Speak flags.
inline constexpr std::uint32_t kSpeakDefault = 0;
inline constexpr std::uint32_t kSpeakIsFileName = 4;

// File mode of BindToFile: create, replacing an existing file.
inline constexpr int kFileModeCreateAlways = 3;
// Event interest: all events.
inline constexpr std::uint64_t kAllEvents = ~std::uint64_t{0};

enum class StreamFormatId { WaveFormatEx };

struct WaveFormat {
    std::uint16_t formatTag = 1;  // PCM
    std::uint16_t channels = 1;
    std::uint32_t samplesPerSec = 22050;
    std::uint32_t avgBytesPerSec = 44100;
    std::uint16_t blockAlign = 2;
    std::uint16_t bitsPerSample = 16;
    std::uint16_t extraSize = 0;
};

// The category of installed voices, as callers name it.
inline constexpr char16_t kVoicesCategory[] =
    u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech\\Voices";

class VoiceToken {
  public:
    virtual ~VoiceToken() = default;
    // Attribute value by name ("Name", "Gender", "Language"); empty when absent.
    virtual std::u16string Attribute(const std::u16string& name) const = 0;
};

class TokenEnumeration {
  public:
    virtual ~TokenEnumeration() = default;
    // Hands out up to `count` tokens (only 1 is supported); kFalse once exhausted.
    virtual HResult Next(std::uint32_t count, std::shared_ptr<VoiceToken>& token,
                         std::uint32_t* fetched) = 0;
    virtual std::uint32_t Count() const = 0;
};

class TokenCategory {
  public:
    virtual ~TokenCategory() = default;
    virtual HResult SetId(const std::u16string& categoryId, bool createIfMissing) = 0;
    // `required` may be null: no required attributes. Attributes are "Key=Value"
    // pairs separated by ";". Tokens matching `optional` come first.
    virtual HResult EnumTokens(const char16_t* required, const char16_t* optional,
                               std::unique_ptr<TokenEnumeration>& tokens) = 0;
};

// What a player shows of an audio file. Empty fields are left out.
struct FileTags {
    std::u16string title;
    std::u16string album;
    std::u16string track;  // "k/total", or "k" when the total is not known
    std::u16string comment;
    std::u16string artist;     // an audiobook's author
    std::u16string genre;      // an audiobook's: "Audiobook" when empty
    std::u16string coverPath;  // an audiobook's cover, a JPEG or PNG file
};

// Read-along subtitles written beside an audio file, timed by its speech.
enum class SubtitleFormat : std::int32_t { None = 0, Srt = 1, Vtt = 2 };

class FileStream {
  public:
    virtual ~FileStream() = default;
    // A path whose name ends in ".mp3" (any case) is written as MP3 of the same PCM;
    // any other name as WAV. The file is valid at every moment after binding.
    virtual HResult BindToFile(const std::u16string& path, int fileMode, StreamFormatId formatId,
                               const WaveFormat* format, std::uint64_t eventInterest) = 0;
    // Tags for the bound file, taken before its first sample: an MP3 file carries them
    // as ID3v2, a WAV file carries none. Not one of the chained steps: a file that
    // cannot be tagged is still a whole file.
    virtual HResult SetTags(const FileTags& tags) = 0;
    // Subtitles for the bound file, asked before its first sample: a cue per piece of
    // speech, written beside the file when it is completed. Not one of the chained
    // steps either; a stream that writes none ignores it.
    virtual HResult SetSubtitles(SubtitleFormat /*format*/) { return kOk; }
    // Completes the file. A stream released without Close, before a single sample
    // reached it, leaves no file behind: a render that failed that early made none.
    virtual HResult Close() = 0;
};

class Voice {
  public:
    virtual ~Voice() = default;
    virtual HResult SetVolume(std::uint16_t volume) = 0;              // 0..100
    virtual HResult SetRate(std::int32_t rate) = 0;                   // -10..10
    virtual HResult SetVoice(std::shared_ptr<VoiceToken> token) = 0;  // null: default voice
    // Null stream: the default audio output.
    virtual HResult SetOutput(std::shared_ptr<FileStream> stream, bool allowFormatChanges) = 0;
    // Synchronous. With kSpeakIsFileName the text is a path and the file is read here.
    virtual HResult Speak(const std::u16string& text, std::uint32_t flags,
                          std::uint32_t* streamNumber) = 0;
    // Stops at once and discards what is queued; a Speak in progress returns, and
    // later Speak calls on this voice return at once. Safe from any thread.
    virtual HResult Pause() = 0;
    // The user's pronunciation rules (a list's text, as Pronunciations::Source gives it),
    // applied to every text this voice speaks from now on (empty: none). The voice
    // compiles a copy of its own. A voice that cannot ignores them.
    virtual void UsePronunciations(const std::string& /*rules*/) {}
};

class SpeechService {
  public:
    virtual ~SpeechService() = default;
    virtual HResult CreateVoice(std::shared_ptr<Voice>& voice) = 0;
    virtual HResult CreateFileStream(std::shared_ptr<FileStream>& stream) = 0;
    virtual HResult CreateTokenCategory(std::unique_ptr<TokenCategory>& category) = 0;
    // Voices created from now on render the pieces of a long text to a file through
    // `synthesis` (null: in this process). A service that cannot ignores it.
    virtual void UseSegmentSynthesis(std::shared_ptr<SegmentSynthesis> /*synthesis*/) {}
};

// The real service over the installed synthesizers, the PulseAudio default sink and
// audio files. One per process is enough; it is safe to share between threads.
std::shared_ptr<SpeechService> CreateSystemSpeechService();

// Voices of the real service that exist right now, in the whole process. Each lives
// only as long as the operation that made it, so this is 0 whenever no speech runs.
int LiveSystemVoices();

}  // namespace sonoleaf::speech_service
