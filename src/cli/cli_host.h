#pragma once
// The window's side of a job, for the command line: the controls' texts come from the
// arguments, the profile from the options. The jobs then run exactly as behind the
// window's buttons, with the same checks, messages and files.

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <string>

#include "jobs/voice_profile.h"
#include "speech/speech_job_host.h"

namespace sonoleaf::cli {

class CliJobHost final : public SpeechJobHost {
  public:
    explicit CliJobHost(SpeechEngine& engine) : engine_(engine) {}

    // What the control `controlId` would hold, typed by the user.
    void SetControlText(int controlId, std::u16string text) {
        controls_[controlId] = std::move(text);
    }

    // A check box the user has ticked, with an option.
    void SetChecked(int controlId, bool checked) { checked_[controlId] = checked; }

    std::u16string ReadControlText(int controlId) override;
    bool IsChecked(int controlId) override;
    bool SaveData() override { return true; }
    void ShowVoiceSettingDialog() override {}  // the options are the settings
    VoiceProfile& Profile() override { return profile_; }
    // The command line asks nothing: --resume answers "Resume it?" beforehand.
    bool Ask(const std::u16string& /*question*/) override { return resume_; }
    void AnswerResume(bool resume) { resume_ = resume; }
    SpeechEngine& Engine() override { return engine_; }
    std::atomic<std::int32_t>& BusyFlag(Job job) override;

  private:
    SpeechEngine& engine_;
    VoiceProfile profile_;
    // Written before the job starts.
    std::map<int, std::u16string> controls_;
    std::map<int, bool> checked_;
    bool resume_ = false;
    std::array<std::atomic<std::int32_t>, static_cast<std::size_t>(Job::TitleList) + 1> busy_{};
};

}  // namespace sonoleaf::cli
