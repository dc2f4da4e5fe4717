#pragma once
// The one object through which the system uses the speech service.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/speech/speech_service.h"
#include "speech/live_voices.h"
#include "speech/render_result.h"
#include "speech/voice_profile.h"

namespace sonoleaf {

class SpeechEngine {
  public:
    explicit SpeechEngine(std::shared_ptr<speech_service::SpeechService> service);

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

    void CopyProfile(const VoiceProfile& profile);
    // The voice lookup by gender on `voice`; the result of the last step that ran.
    speech_service::HResult SelectVoiceByGender(speech_service::Voice& voice, std::int32_t gender);

    // An empty text renders nothing and returns NothingToSay.
    RenderResult RenderTextToFile(std::u16string text, std::u16string outputPath, bool announce);
    void SpeakTextFile(std::u16string path);
    RenderResult RenderTextFileToFile(std::u16string sourcePath, std::u16string outputPath);

    // Single-file jobs (speech/).
    void MakeAudioFromText(std::u16string text, std::u16string folder);
    void MakeAudioFromTextFile(std::u16string sourcePath, std::u16string folder);

    // Audio lists (lists/).
    void MakeAudioListByLength(std::u16string textPath, std::u16string outputFolder,
                               std::int32_t charLength);
    void MakeAudioListByTitles(std::u16string textPath, std::u16string outputFolder,
                               std::int32_t startNumber);

    // ".mp3" or ".wav" by `audioType`.
    std::u16string AudioExtension() const;

    // The Stop handler's work on the engine. `lengthListBusy` tells whether the
    // length list job runs (its voice is paused after its flag is cleared).
    void Stop(bool lengthListBusy);

  private:
    std::shared_ptr<speech_service::SpeechService> service_;
};

}  // namespace sonoleaf
