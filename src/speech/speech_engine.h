#pragma once
// The one object through which the system uses the speech service.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "jobs/voice_profile.h"
#include "platform/speech/speech_service.h"
#include "platform/text/pronunciations.h"
#include "render/render_protocol.h"
#include "render/render_result.h"
#include "speech/live_voices.h"

namespace sonoleaf {

namespace render {
class HelperSegments;
class RenderPool;
}  // namespace render

// The profile fields one engine operation runs with: copied from the engine once, as
// the operation starts, so that another job's CopyProfile cannot change a list or a
// render halfway.
struct ProfileCopy {
    std::int32_t voiceGender = 0;
    std::int32_t audioType = 0;
    std::int32_t volume = 0;
    std::int32_t speed = 0;
    // The Name of the voice to read with; empty (the window's case) picks by gender.
    std::u16string voiceName;
    // The language of the book being read (BCP 47, from its metadata); empty when not
    // known. A voice picked by gender then speaks it when one of that gender can.
    std::u16string language;
    // Subtitles beside every file written (a SubtitleFormat).
    std::int32_t subtitles = 0;
    // The user's pronunciation list as the job read it when it started; null: none.
    std::shared_ptr<const text::Pronunciations> pronunciations;
};

class SpeechEngine {
  public:
    explicit SpeechEngine(std::shared_ptr<speech_service::SpeechService> service);
    ~SpeechEngine();  // ends the render helpers

    // Ends the list jobs' runs; see the Stop handler.
    std::atomic<bool> lengthListRunning{false};
    std::atomic<bool> titleListRunning{false};
    LiveVoices liveVoice;  // "Speak Now"
    std::atomic<std::int32_t> voiceGender{0};
    std::atomic<std::int32_t> audioType{0};
    std::atomic<std::int32_t> volume{0};
    std::atomic<std::int32_t> speed{0};
    LiveVoices renderVoice;      // RenderTextToFile
    LiveVoices fileSpeakVoice;   // SpeakTextFile
    LiveVoices fileRenderVoice;  // RenderTextFileToFile

    speech_service::SpeechService& Service() { return *service_; }

    // Takes the profile (its voice Name too) and reads the pronunciation list, telling
    // its bad lines: called once as every job starts.
    void CopyProfile(const VoiceProfile& profile);
    // A voice chosen by its Name for the operations started from now on, until the
    // next CopyProfile takes the profile's. Empty: by gender again.
    void SetVoiceName(std::u16string name);
    // The pronunciation list CopyProfile reads; empty (the default): the user's own,
    // text::DefaultPronunciationsPath().
    void UsePronunciationsFile(std::string path);
    // That list's rules as the file holds them now, its bad lines told; null for none.
    std::shared_ptr<const text::Pronunciations> ReadPronunciations() const;
    // The engine's profile fields as one consistent set.
    ProfileCopy TakeProfile() const;
    // The voice lookup by gender on `voice`; the result of the last step that ran.
    // `voiceName`, when given, receives the Name of the token chosen (empty for none).
    // A token whose Name is `preferredName` is chosen before any other; without one, a
    // token of the gender that speaks `language` before one that speaks another.
    speech_service::HResult SelectVoiceByGender(speech_service::Voice& voice, std::int32_t gender,
                                                std::u16string* voiceName = nullptr,
                                                const std::u16string& preferredName = {},
                                                const std::u16string& language = {});

    // An empty text renders nothing and returns NothingToSay.
    RenderResult RenderTextToFile(std::u16string text, std::u16string outputPath, bool announce);
    // The result of the speech: a failure when no sound output could be reached or the
    // file could not be read.
    speech_service::HResult SpeakTextFile(std::u16string path);
    RenderResult RenderTextFileToFile(std::u16string sourcePath, std::u16string outputPath);

    // Single-file jobs (speech/).
    void MakeAudioFromText(std::u16string text, std::u16string folder);
    void MakeAudioFromTextFile(std::u16string sourcePath, std::u16string folder);

    // Audio lists (lists/).
    // `resume`: an unfinished earlier run of the same list in the folder is continued
    // (only its missing files are made); otherwise the list starts over.
    void MakeAudioListByLength(std::u16string textPath, std::u16string outputFolder,
                               std::int32_t charLength, bool resume = false);
    void MakeAudioListByTitles(std::u16string textPath, std::u16string outputFolder,
                               std::int32_t startNumber, bool resume = false);

    // ".mp3" or ".wav" by `audioType`.
    std::u16string AudioExtension() const;
    static std::u16string AudioExtension(std::int32_t type);

    // Lists render their files, and long renders the segments of their text, in up
    // to `slots` helper processes at once, started when first needed; 0 (the
    // default) renders in this process. Called before any operation starts.
    void EnableRenderHelpers(int slots);
    // The helpers, started now if need be; null when disabled or they cannot run.
    render::RenderPool* RenderHelpers();
    // The voice `profile` reads with, as a helper process is told it: the token the
    // lookup by gender (or by Name) chooses, with the profile's volume and speed.
    render::VoiceChoice ChooseVoice(const ProfileCopy& profile);
    // One file of a list, in this process: RenderTextToFile with the list's profile
    // and tags, never announced, straight into `outputPath` (the list's temporary).
    RenderResult RenderFileWork(const ProfileCopy& profile, std::u16string text,
                                std::u16string outputPath, speech_service::FileTags tags);

    // The Stop handler's work on the engine. `lengthListBusy` tells whether the
    // length list job runs (its voice is paused after its flag is cleared).
    void Stop(bool lengthListBusy);

  private:
    // The voice lookup's steps up to the token chosen (null: the default voice).
    // `tokens` keeps the enumeration until the caller has used the token.
    std::shared_ptr<speech_service::VoiceToken> ChooseToken(
        std::int32_t gender, const std::u16string& preferredName, const std::u16string& language,
        std::unique_ptr<speech_service::TokenEnumeration>& tokens, speech_service::HResult& hr);
    // RenderTextToFile with the profile and the tags of the operation it is part of.
    RenderResult RenderTextWith(const ProfileCopy& profile, std::u16string text,
                                std::u16string outputPath, bool announce,
                                speech_service::FileTags tags);
    RenderResult RenderFileWith(const ProfileCopy& profile, std::u16string sourcePath,
                                std::u16string outputPath, speech_service::FileTags tags);

    std::shared_ptr<speech_service::SpeechService> service_;
    mutable std::mutex profileMutex_;                             // CopyProfile against TakeProfile
    std::u16string voiceName_;                                    // guarded by profileMutex_
    std::int32_t subtitles_ = 0;                                  // likewise
    std::string pronunciationsPath_;                              // likewise
    std::shared_ptr<const text::Pronunciations> pronunciations_;  // likewise
    std::mutex helpersMutex_;                                     // guards the three below
    int helperSlots_ = 0;
    bool helpersTried_ = false;
    std::unique_ptr<render::RenderPool> helpers_;
    std::shared_ptr<render::HelperSegments> segments_;  // set once, before operations
};

}  // namespace sonoleaf
