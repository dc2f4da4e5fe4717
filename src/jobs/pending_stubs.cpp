// Temporary stand-ins while the pieces are being written; each is deleted from this
// file by whoever implements it for real. The file goes when it is empty.
#include "jobs/job_procedures.h"
#include "jobs/alert.h"
#include "jobs/job_runner.h"
#include "speech/live_voices.h"
#include "speech/speech_engine.h"

namespace sonoleaf {

// --- jobs/ ---
void VoiceSettingJob(JobHost&) {}
void StopTtsProcess(JobHost&) {}
JobProcedure ProcedureFor(Job) { return nullptr; }
std::shared_ptr<AlertPresenter> SetAlertPresenter(std::shared_ptr<AlertPresenter>) { return {}; }
void ShowAlert(std::string_view) {}
void ShowAlertText(std::u16string_view) {}
JobRunner::~JobRunner() = default;
bool JobRunner::Launch(std::atomic<std::int32_t>&, std::function<void()>) { return false; }
void JobRunner::JoinAll(const std::function<void()>&) {}
int JobRunner::Running() const { return 0; }

// --- speech/ ---
void LiveVoices::Add(const std::shared_ptr<speech_service::Voice>&) {}
void LiveVoices::Remove(const std::shared_ptr<speech_service::Voice>&) {}
void LiveVoices::PauseAll() {}
bool LiveVoices::Empty() const { return true; }
std::size_t LiveVoices::Size() const { return 0; }
SpeechEngine::SpeechEngine(std::shared_ptr<speech_service::SpeechService> service)
    : service_(std::move(service)) {}
void SpeechEngine::CopyProfile(const VoiceProfile&) {}
speech_service::HResult SpeechEngine::SelectVoiceByGender(speech_service::Voice&, std::int32_t) {
    return speech_service::kFail;
}
void SpeechEngine::RenderTextToFile(std::u16string, std::u16string, bool) {}
void SpeechEngine::SpeakTextFile(std::u16string) {}
void SpeechEngine::RenderTextFileToFile(std::u16string, std::u16string) {}
void SpeechEngine::MakeAudioFromText(std::u16string, std::u16string) {}
void SpeechEngine::MakeAudioFromTextFile(std::u16string, std::u16string) {}
std::u16string SpeechEngine::AudioExtension() const { return u".wav"; }
void SpeechEngine::Stop(bool) {}
void SpeakNowJob(JobHost&) {}
void MakeAudioJob(JobHost&) {}
void SpeakFileJob(JobHost&) {}
void FileToAudioJob(JobHost&) {}

// --- lists/ ---
void SpeechEngine::MakeAudioListByLength(std::u16string, std::u16string, std::int32_t) {}
void SpeechEngine::MakeAudioListByTitles(std::u16string, std::u16string, std::int32_t) {}
void LengthListJob(JobHost&) {}
void TitleListJob(JobHost&) {}

// --- pdf/ ---
void PdfToTextJob(JobHost&) {}

}  // namespace sonoleaf
