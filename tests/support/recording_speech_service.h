#pragma once
// A speech service for unit tests. It logs every call with its arguments, in order,
// keeps a record of every Speak, writes deterministic audio into bound files, and
// lets a test make chosen calls fail or make Speak wait.
//
// Log entries look like: "CreateVoice", "SetVolume(80)", "SetRate(-2)",
// "CreateTokenCategory", "SetId(HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Speech\Voices,false)",
// "EnumTokens(null,Gender=Male)", "Next(1)", "SetVoice(Recorded Male)" or
// "SetVoice(null)", "CreateFileStream", "BindToFile(/out//a.wav,3)",
// "SetOutput(stream,true)" or "SetOutput(null,true)", "Speak(<text>,0)", "Pause",
// "Close", and on destruction "Release(voice)", "Release(stream)",
// "Release(category)", "Release(tokens)", "Release(token)". Failed calls are logged
// like any other. Texts and paths are logged as UTF-8; byte characters
// (U+DC80-U+DCFF) as the bytes they stand for.
//
// Bound files get real WAV data (22,050 Hz, 16-bit, mono), also under a ".mp3" name:
// a sine whose pitch follows the voice's gender, whose amplitude follows the volume
// and whose length is samplesPerCharacter samples per character spoken.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/speech/speech_service.h"

namespace sonoleaf::testing {

class RecordingSpeechService : public speech_service::SpeechService {
  public:
    struct Token {
        std::u16string name;
        std::u16string gender;  // "Male" or "Female"
        std::u16string language = u"en";
    };

    struct SpeakRecord {
        int voiceId = 0;
        std::u16string text;  // the argument as given
        std::uint32_t flags = 0;
        // What the voice speaks: the text, or the file's decoded content when the
        // text is a path (kSpeakIsFileName); UTF-8, as it reaches a synthesizer.
        std::string spoken;
        std::u16string outputPath;      // the bound file; empty for the default output
        speech_service::FileTags tags;  // the bound file's tags
        bool toFile = false;
        std::u16string tokenName;  // empty for the default voice
        std::uint16_t volume = 100;
        std::int32_t rate = 0;
        speech_service::HResult result = speech_service::kOk;
    };

    RecordingSpeechService();  // offers "Recorded Male" and "Recorded Female"
    ~RecordingSpeechService() override;

    speech_service::HResult CreateVoice(std::shared_ptr<speech_service::Voice>& voice) override;
    speech_service::HResult CreateFileStream(
        std::shared_ptr<speech_service::FileStream>& stream) override;
    speech_service::HResult CreateTokenCategory(
        std::unique_ptr<speech_service::TokenCategory>& category) override;

    // --- Set-up -------------------------------------------------------------------
    // The installed voices, in the service's ranking.
    void SetTokens(std::vector<Token> tokens);
    // Makes a call fail with `result`: its `occurrence`-th call (1-based, counted
    // from now), or every call when `occurrence` is 0. `call` is the name as logged,
    // e.g. "BindToFile", "SetVoice", "CreateVoice", "Speak".
    void FailCall(const std::string& call, int occurrence = 0,
                  speech_service::HResult result = speech_service::kFail);
    void ClearFailures();
    // Samples written per character spoken (0: files hold a valid, empty WAV).
    void SetSamplesPerCharacter(int samples);
    // When off, only counts are kept: no log and no Speak records (for big inputs).
    void SetRecording(bool on);

    // --- Speak that waits -----------------------------------------------------------
    // While on, every Speak waits after recording until its voice is paused, until
    // ReleaseBlockedSpeaks, or at most 30 s. Turning it off releases all waiting.
    void SetSpeakBlocks(bool on);
    void ReleaseBlockedSpeaks();
    // Waits until at least `count` Speak calls are waiting; false on timeout.
    bool WaitForBlockedSpeaks(int count, std::chrono::milliseconds timeout) const;
    int BlockedSpeaks() const;

    // --- What happened --------------------------------------------------------------
    std::vector<std::string> Log() const;
    void ClearLog();  // forgets the log and the Speak records; counts stay
    int CallCount(const std::string& call) const;  // calls logged under this name
    std::vector<SpeakRecord> Speaks() const;
    int SpeakCount() const;  // kept also while recording is off
    // Objects of the service not yet destroyed.
    int LiveVoices() const;
    int LiveObjects() const;  // voices, streams, categories, enumerations, tokens

    // Shared with the objects the service hands out, which may outlive it.
    struct State;

  private:
    std::shared_ptr<State> state_;
};

}  // namespace sonoleaf::testing
