#pragma once
// A JobHost without a window, for running job procedures in unit tests: control
// texts set by the test, a voice profile, an engine over the given service and the
// eight busy flags.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "jobs/voice_profile.h"
#include "platform/speech/speech_service.h"
#include "speech/speech_engine.h"
#include "speech/speech_job_host.h"

namespace sonoleaf::testing {

class FakeJobHost : public SpeechJobHost {
  public:
    explicit FakeJobHost(std::shared_ptr<speech_service::SpeechService> service);

    void SetControlText(int controlId, std::u16string text);
    std::u16string ReadControlText(int controlId) override;  // empty when never set

    bool SaveData() override;  // counts the call; returns SetSaveDataResult's value
    void SetSaveDataResult(bool result);
    int SaveDataCalls() const;

    // Counts the call, then runs the dialog stand-in if one is set (it may block or
    // change the profile).
    void ShowVoiceSettingDialog() override;
    void SetVoiceSettingDialog(std::function<void(VoiceProfile&)> dialog);
    int VoiceSettingDialogCalls() const;

    VoiceProfile& Profile() override { return profile_; }
    SpeechEngine& Engine() override { return engine_; }
    std::atomic<std::int32_t>& BusyFlag(Job job) override;

  private:
    mutable std::mutex mutex_;
    std::map<int, std::u16string> texts_;
    bool saveDataResult_ = true;
    std::function<void(VoiceProfile&)> dialog_;
    std::atomic<int> saveDataCalls_{0};
    std::atomic<int> dialogCalls_{0};
    VoiceProfile profile_;
    SpeechEngine engine_;
    std::array<std::atomic<std::int32_t>, 8> busy_{};
};

}  // namespace sonoleaf::testing
