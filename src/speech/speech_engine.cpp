#include "speech/speech_engine.h"

#include <filesystem>
#include <optional>
#include <system_error>

#include "jobs/alert.h"
#include "platform/text/text_convert.h"

namespace sonoleaf {

namespace ss = speech_service;
using ss::HResult;

namespace {

bool FileIsThere(const std::u16string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(text::ToNarrow(path), error);
}

const char16_t* GenderAttribute(std::int32_t gender) {
    switch (gender) {
        case Male:
            return u"Gender=Male";
        case Female:
            return u"Gender=Female";
        default:
            return nullptr;  // no preference
    }
}

// One operation's voice: created into the operation's set of live voices (so that
// Stop reaches it), given the profile's volume, speed and gender, and released by
// the destructor whatever happened.
class OperationVoice {
  public:
    OperationVoice(SpeechEngine& engine, LiveVoices& live) {
        result_ = engine.Service().CreateVoice(voice_);
        if (ss::Failed(result_) || !voice_) {
            if (ss::Succeeded(result_)) result_ = ss::kFail;
            return;
        }
        registration_.emplace(live, voice_);
        // Their results are not looked at: the service keeps its own values then.
        voice_->SetVolume(static_cast<std::uint16_t>(engine.volume.load()));
        voice_->SetRate(engine.speed.load());
        result_ = engine.SelectVoiceByGender(*voice_, engine.voiceGender.load());
    }
    ~OperationVoice() {
        registration_.reset();
        voice_.reset();
    }
    OperationVoice(const OperationVoice&) = delete;
    OperationVoice& operator=(const OperationVoice&) = delete;

    HResult Result() const { return result_; }
    ss::Voice& operator*() const { return *voice_; }
    ss::Voice* operator->() const { return voice_.get(); }

  private:
    std::shared_ptr<ss::Voice> voice_;
    std::optional<LiveVoiceRegistration> registration_;
    HResult result_ = ss::kOk;
};

// The steps shared by both renderings: a voice, a file stream bound to the output
// path with the engine's wave format, the speech into it, the stream closed only when
// everything succeeded, and everything released. The message comes last, once the
// file is complete on disk (or known not to be), so that it tells what is there.
RenderResult RenderIntoFile(SpeechEngine& engine, LiveVoices& live, const std::u16string& text,
                            std::uint32_t flags, const std::u16string& outputPath, bool announce) {
    RenderResult result = RenderResult::Saved();
    {
        OperationVoice voice(engine, live);
        HResult hr = voice.Result();
        RenderStep step = RenderStep::Voice;
        const auto format = std::make_unique<ss::WaveFormat>();  // PCM, 22,050 Hz, 16-bit, mono
        std::shared_ptr<ss::FileStream> stream;
        if (ss::Succeeded(hr)) {
            step = RenderStep::File;
            hr = engine.Service().CreateFileStream(stream);
        }
        if (ss::Succeeded(hr) && !stream) hr = ss::kFail;
        if (ss::Succeeded(hr)) {
            hr = stream->BindToFile(outputPath, ss::kFileModeCreateAlways,
                                    ss::StreamFormatId::WaveFormatEx, format.get(), ss::kAllEvents);
            if (ss::Failed(hr)) stream.reset();
        }
        if (ss::Succeeded(hr)) {
            step = RenderStep::Speech;
            hr = voice->SetOutput(stream, true);
        }
        if (ss::Succeeded(hr)) hr = voice->Speak(text, flags, nullptr);
        if (ss::Succeeded(hr)) {
            step = RenderStep::Closing;
            hr = stream->Close();
        }
        stream.reset();
        if (ss::Failed(hr)) {
            result = RenderResult::Failure(step, hr);
        } else if (!FileIsThere(outputPath)) {
            result = RenderResult::NothingKept();
        }
    }
    if (announce) ShowAlertText(RenderMessage(result, outputPath));
    return result;
}

}  // namespace

SpeechEngine::SpeechEngine(std::shared_ptr<ss::SpeechService> service)
    : service_(std::move(service)) {}

void SpeechEngine::CopyProfile(const VoiceProfile& profile) {
    voiceGender = profile.voiceGender.load();
    audioType = profile.audioType.load();
    volume = profile.volume.load();
    speed = profile.speed.load();
}

HResult SpeechEngine::SelectVoiceByGender(ss::Voice& voice, std::int32_t gender) {
    std::unique_ptr<ss::TokenCategory> category;
    HResult hr = service_->CreateTokenCategory(category);
    if (ss::Succeeded(hr) && !category) hr = ss::kFail;
    if (ss::Succeeded(hr)) hr = category->SetId(ss::kVoicesCategory, false);
    std::unique_ptr<ss::TokenEnumeration> tokens;
    if (ss::Succeeded(hr)) hr = category->EnumTokens(nullptr, GenderAttribute(gender), tokens);
    if (ss::Succeeded(hr) && !tokens) hr = ss::kFail;
    category.reset();
    // The first token; with none it stays null and the service's default voice speaks.
    std::shared_ptr<ss::VoiceToken> token;
    if (ss::Succeeded(hr)) hr = tokens->Next(1, token, nullptr);
    if (ss::Succeeded(hr)) hr = voice.SetVoice(token);
    tokens.reset();
    token.reset();
    return hr;
}

RenderResult SpeechEngine::RenderTextToFile(std::u16string text, std::u16string outputPath,
                                            bool announce) {
    if (text.empty()) return {};
    return RenderIntoFile(*this, renderVoice, text, ss::kSpeakDefault, outputPath, announce);
}

void SpeechEngine::SpeakTextFile(std::u16string path) {
    OperationVoice voice(*this, fileSpeakVoice);
    HResult hr = voice.Result();
    if (ss::Succeeded(hr)) hr = voice->SetOutput(nullptr, true);
    if (ss::Succeeded(hr)) voice->Speak(path, ss::kSpeakIsFileName, nullptr);
}

RenderResult SpeechEngine::RenderTextFileToFile(std::u16string sourcePath,
                                                std::u16string outputPath) {
    return RenderIntoFile(*this, fileRenderVoice, sourcePath, ss::kSpeakIsFileName, outputPath,
                          true);
}

std::u16string SpeechEngine::AudioExtension() const {
    switch (audioType.load()) {
        case Mp3:
            return u".mp3";
        case Wav:
            return u".wav";
        default:
            return {};
    }
}

void SpeechEngine::Stop(bool lengthListBusy) {
    // Both lists look at their flag as soon as a render returns; lowering the flags
    // before any voice is paused keeps a list from starting one more file in between.
    lengthListRunning = false;
    titleListRunning = false;
    liveVoice.PauseAll();
    // While the length list runs, its voice is paused once its flag is down, so
    // that it cannot start another file in between.
    if (!lengthListBusy) renderVoice.PauseAll();
    fileSpeakVoice.PauseAll();
    fileRenderVoice.PauseAll();
    lengthListRunning = false;
    renderVoice.PauseAll();
    titleListRunning = false;
    renderVoice.PauseAll();
}

}  // namespace sonoleaf
