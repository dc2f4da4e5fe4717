#include "speech/speech_engine.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

#include "jobs/alert.h"
#include "platform/process/spawn.h"
#include "platform/speech/file_render.h"
#include "platform/text/durable_file.h"
#include "platform/text/output_names.h"
#include "platform/text/regular_file.h"
#include "platform/text/text_convert.h"
#include "render/render_pool.h"
#include "render/render_segments.h"
#include "speech/job_pronunciations.h"
#include "speech/rendered_file.h"
#include "speech/source_book.h"

namespace sonoleaf {

namespace ss = speech_service;
using ss::HResult;

namespace {

bool FileIsThere(const std::u16string& path) {
    return text::IsRegularFile(text::ToNarrow(path));
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

// The token of `tokens` (from the second on; `first` is the first) whose Name is
// `name`; `first` when none is.
std::shared_ptr<ss::VoiceToken> TokenNamed(ss::TokenEnumeration& tokens, const std::u16string& name,
                                           std::shared_ptr<ss::VoiceToken> first) {
    for (std::shared_ptr<ss::VoiceToken> token = first; token;) {
        if (token->Attribute(u"Name") == name) return token;
        if (tokens.Next(1, token, nullptr) != ss::kOk) break;
    }
    return first;
}

// The primary language subtag, in lower case: "de" for "de-DE".
std::u16string PrimaryLanguage(std::u16string_view tag) {
    std::u16string primary(tag.substr(0, tag.find_first_of(u"-_")));
    for (char16_t& c : primary)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return primary;
}

// `first` when it speaks `language`, else the first token of `tokens` (from the
// second on) that speaks it with the gender asked for; `first` when none does.
std::shared_ptr<ss::VoiceToken> TokenSpeaking(ss::TokenEnumeration& tokens,
                                              const std::u16string& language, std::int32_t gender,
                                              std::shared_ptr<ss::VoiceToken> first) {
    const std::u16string wanted = PrimaryLanguage(language);
    if (!first || wanted.empty() || PrimaryLanguage(first->Attribute(u"Language")) == wanted)
        return first;
    const std::u16string genderName = gender == Male ? u"Male" : gender == Female ? u"Female" : u"";
    std::shared_ptr<ss::VoiceToken> token;
    while (tokens.Next(1, token, nullptr) == ss::kOk && token) {
        if (PrimaryLanguage(token->Attribute(u"Language")) == wanted &&
            (genderName.empty() || token->Attribute(u"Gender") == genderName))
            return token;
    }
    return first;
}

// One operation's voice: created into the operation's set of live voices (so that
// Stop reaches it), given the operation's volume, speed and gender, and released by
// the destructor whatever happened.
class OperationVoice {
  public:
    OperationVoice(SpeechEngine& engine, LiveVoices& live, const ProfileCopy& profile) {
        result_ = engine.Service().CreateVoice(voice_);
        if (ss::Failed(result_) || !voice_) {
            if (ss::Succeeded(result_)) result_ = ss::kFail;
            return;
        }
        registration_.emplace(live, voice_);
        // Their results are not looked at: the service keeps its own values then.
        voice_->SetVolume(static_cast<std::uint16_t>(profile.volume));
        voice_->SetRate(profile.speed);
        if (profile.pronunciations) voice_->UsePronunciations(profile.pronunciations->Source());
        result_ = engine.SelectVoiceByGender(*voice_, profile.voiceGender, &name_,
                                             profile.voiceName, profile.language);
    }
    ~OperationVoice() {
        registration_.reset();
        voice_.reset();
    }
    OperationVoice(const OperationVoice&) = delete;
    OperationVoice& operator=(const OperationVoice&) = delete;

    HResult Result() const { return result_; }
    // The Name of the voice chosen; empty when the service's default speaks.
    const std::u16string& Name() const { return name_; }
    ss::Voice& operator*() const { return *voice_; }
    ss::Voice* operator->() const { return voice_.get(); }

  private:
    std::shared_ptr<ss::Voice> voice_;
    std::optional<LiveVoiceRegistration> registration_;
    std::u16string name_;
    HResult result_ = ss::kOk;
};

// What one rendering needs besides its text.
struct RenderRequest {
    const ProfileCopy& profile;
    std::uint32_t flags;
    const std::u16string& outputPath;
    bool announce;
    ss::FileTags tags;
    // The path is already a temporary of its caller's, which puts it in place itself.
    bool direct = false;
};

// A voice, then the steps every rendering shares (a stream bound to the output path,
// the speech into it, the stream closed only when everything succeeded), and
// everything released. The message comes last, once the file is complete on disk (or
// known not to be), so that it tells what is there.
RenderResult RenderIntoFile(SpeechEngine& engine, LiveVoices& live, const std::u16string& text,
                            RenderRequest request) {
    RenderResult result = RenderResult::Saved();
    // Where no temporary can be made, the render tries the name itself and tells what
    // failed there.
    const std::string target = text::ToNarrow(request.outputPath);
    const std::string temporary =
        request.direct ? std::string() : text::CreateTemporaryBeside(target);
    const std::u16string path = temporary.empty() ? request.outputPath : text::ToWide(temporary);
    {
        OperationVoice voice(engine, live, request.profile);
        ss::FileRenderOutcome outcome{voice.Result(), RenderStep::Voice};
        if (ss::Succeeded(outcome.result)) {
            if (!voice.Name().empty()) request.tags.comment = u"Read by " + voice.Name();
            outcome =
                ss::SpeakIntoFile(engine.Service(), *voice, text, request.flags, path, request.tags,
                                  static_cast<ss::SubtitleFormat>(request.profile.subtitles));
        }
        if (ss::Failed(outcome.result)) {
            result = RenderResult::Failure(outcome.step, outcome.result);
        } else if (!FileIsThere(path)) {
            result = RenderResult::NothingKept();
        }
    }
    // The voice and its stream are released: the file is complete, or known not to be.
    if (!temporary.empty()) {
        if (result.kind != RenderResult::Kind::Saved) {
            DiscardRendered(temporary);
        } else if (!CommitRendered(temporary, target)) {
            result = RenderResult::Failure(u"It could not take its name in the folder.");
        }
    }
    if (request.announce)
        ShowAlertText(RenderMessage(result, request.outputPath),
                      result.IsFailed() ? AlertKind::Failure : AlertKind::Message);
    return result;
}

}  // namespace

SpeechEngine::SpeechEngine(std::shared_ptr<ss::SpeechService> service)
    : service_(std::move(service)) {}

SpeechEngine::~SpeechEngine() {
    if (segments_) {
        service_->UseSegmentSynthesis(nullptr);
        segments_->Detach();
    }
}

void SpeechEngine::EnableRenderHelpers(int slots) {
    {
        std::lock_guard lock(helpersMutex_);
        helperSlots_ = slots;
    }
    // Long renders share the helpers with the lists.
    if (slots > 0 && !segments_) {
        segments_ = std::make_shared<render::HelperSegments>([this] { return RenderHelpers(); });
        service_->UseSegmentSynthesis(segments_);
    }
}

render::RenderPool* SpeechEngine::RenderHelpers() {
    std::lock_guard lock(helpersMutex_);
    if (helperSlots_ < 1) return nullptr;
    if (!helpers_ && !helpersTried_) {
        helpersTried_ = true;  // once: a helper that cannot start will not start later
        std::string problem;
        helpers_ = render::RenderPool::Start(helperSlots_, render::FindRenderHelper(), problem);
        if (!helpers_)
            std::fprintf(stderr, "sonoleaf: %s; lists render one file at a time\n",
                         problem.c_str());
    }
    return helpers_.get();
}

RenderResult SpeechEngine::RenderFileWork(const ProfileCopy& profile, std::u16string text,
                                          std::u16string outputPath, ss::FileTags tags) {
    if (text.empty()) return {};
    RenderRequest request{profile, ss::kSpeakDefault, outputPath, false, std::move(tags)};
    request.direct = true;
    return RenderIntoFile(*this, renderVoice, text, std::move(request));
}

std::shared_ptr<const text::Pronunciations> SpeechEngine::ReadPronunciations() const {
    std::string path;
    {
        std::lock_guard lock(profileMutex_);
        path = pronunciationsPath_;
    }
    // Read outside the lock: a message about the file waits for the user.
    return ReadJobPronunciations(path.empty() ? text::DefaultPronunciationsPath() : path);
}

void SpeechEngine::CopyProfile(const VoiceProfile& profile) {
    std::shared_ptr<const text::Pronunciations> rules = ReadPronunciations();
    std::lock_guard lock(profileMutex_);
    voiceGender = profile.voiceGender.load();
    audioType = profile.audioType.load();
    volume = profile.volume.load();
    speed = profile.speed.load();
    subtitles_ = profile.subtitles.load();
    voiceName_ = profile.voiceName.Load();
    pronunciations_ = std::move(rules);
}

void SpeechEngine::UsePronunciationsFile(std::string path) {
    std::lock_guard lock(profileMutex_);
    pronunciationsPath_ = std::move(path);
}

void SpeechEngine::SetVoiceName(std::u16string name) {
    std::lock_guard lock(profileMutex_);
    voiceName_ = std::move(name);
}

ProfileCopy SpeechEngine::TakeProfile() const {
    std::lock_guard lock(profileMutex_);
    return {.voiceGender = voiceGender.load(),
            .audioType = audioType.load(),
            .volume = volume.load(),
            .speed = speed.load(),
            .voiceName = voiceName_,
            .language = {},
            .subtitles = subtitles_,
            .pronunciations = pronunciations_};
}

std::shared_ptr<ss::VoiceToken> SpeechEngine::ChooseToken(
    std::int32_t gender, const std::u16string& preferredName, const std::u16string& language,
    std::unique_ptr<ss::TokenEnumeration>& tokens, HResult& hr) {
    std::unique_ptr<ss::TokenCategory> category;
    hr = service_->CreateTokenCategory(category);
    if (ss::Succeeded(hr) && !category) hr = ss::kFail;
    if (ss::Succeeded(hr)) hr = category->SetId(ss::kVoicesCategory, false);
    if (ss::Succeeded(hr)) hr = category->EnumTokens(nullptr, GenderAttribute(gender), tokens);
    if (ss::Succeeded(hr) && !tokens) hr = ss::kFail;
    category.reset();
    // The first token; with none it stays null and the service's default voice speaks.
    std::shared_ptr<ss::VoiceToken> token;
    if (ss::Succeeded(hr)) hr = tokens->Next(1, token, nullptr);
    // A voice chosen by its Name reads whatever the book's language.
    if (ss::Succeeded(hr) && !preferredName.empty()) {
        token = TokenNamed(*tokens, preferredName, token);
    } else if (ss::Succeeded(hr)) {
        token = TokenSpeaking(*tokens, language, gender, token);
    }
    return token;
}

HResult SpeechEngine::SelectVoiceByGender(ss::Voice& voice, std::int32_t gender,
                                          std::u16string* voiceName,
                                          const std::u16string& preferredName,
                                          const std::u16string& language) {
    HResult hr = ss::kOk;
    std::unique_ptr<ss::TokenEnumeration> tokens;
    std::shared_ptr<ss::VoiceToken> token =
        ChooseToken(gender, preferredName, language, tokens, hr);
    if (ss::Succeeded(hr)) hr = voice.SetVoice(token);
    if (voiceName != nullptr) *voiceName = token ? token->Attribute(u"Name") : std::u16string();
    tokens.reset();
    token.reset();
    return hr;
}

RenderResult SpeechEngine::RenderTextToFile(std::u16string text, std::u16string outputPath,
                                            bool announce) {
    ss::FileTags tags;
    tags.title = text::FileStem(outputPath);
    return RenderTextWith(TakeProfile(), std::move(text), std::move(outputPath), announce,
                          std::move(tags));
}

RenderResult SpeechEngine::RenderTextWith(const ProfileCopy& profile, std::u16string text,
                                          std::u16string outputPath, bool announce,
                                          ss::FileTags tags) {
    if (text.empty()) return {};
    return RenderIntoFile(*this, renderVoice, text,
                          {profile, ss::kSpeakDefault, outputPath, announce, std::move(tags)});
}

HResult SpeechEngine::SpeakTextFile(std::u16string path) {
    ProfileCopy profile = TakeProfile();
    profile.language = ReadSourceBook(path).language;
    OperationVoice voice(*this, fileSpeakVoice, profile);
    HResult hr = voice.Result();
    if (ss::Succeeded(hr)) hr = voice->SetOutput(nullptr, true);
    if (ss::Succeeded(hr)) hr = voice->Speak(path, ss::kSpeakIsFileName, nullptr);
    return hr;
}

render::VoiceChoice SpeechEngine::ChooseVoice(const ProfileCopy& profile) {
    render::VoiceChoice choice;
    choice.volume = profile.volume;
    choice.rate = profile.speed;
    HResult hr = ss::kOk;
    std::unique_ptr<ss::TokenEnumeration> tokens;
    if (const auto token =
            ChooseToken(profile.voiceGender, profile.voiceName, profile.language, tokens, hr))
        choice.name = token->Attribute(u"Name");
    return choice;
}

RenderResult SpeechEngine::RenderTextFileToFile(std::u16string sourcePath,
                                                std::u16string outputPath) {
    const SourceBook book = ReadSourceBook(sourcePath);
    ProfileCopy profile = TakeProfile();
    profile.language = book.language;
    ss::FileTags tags;
    tags.title = text::FileStem(outputPath);
    tags.album = text::FileStem(sourcePath);
    TagWithBook(tags, book);
    return RenderFileWith(profile, std::move(sourcePath), std::move(outputPath), std::move(tags));
}

RenderResult SpeechEngine::RenderFileWith(const ProfileCopy& profile, std::u16string sourcePath,
                                          std::u16string outputPath, ss::FileTags tags) {
    return RenderIntoFile(*this, fileRenderVoice, sourcePath,
                          {profile, ss::kSpeakIsFileName, outputPath, true, std::move(tags)});
}

std::u16string SpeechEngine::AudioExtension() const {
    return AudioExtension(audioType.load());
}

std::u16string SpeechEngine::AudioExtension(std::int32_t type) {
    switch (type) {
        case Mp3:
            return u".mp3";
        case Wav:
            return u".wav";
        case M4b:
            return u".m4b";
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
    {
        std::lock_guard lock(helpersMutex_);
        if (helpers_) helpers_->StopAll();
    }
    lengthListRunning = false;
    renderVoice.PauseAll();
    titleListRunning = false;
    renderVoice.PauseAll();
}

}  // namespace sonoleaf
