#include "support/fake_job_host.h"

namespace sonoleaf::testing {

FakeJobHost::FakeJobHost(std::shared_ptr<speech_service::SpeechService> service)
    : engine_(std::move(service)) {
    for (auto& flag : busy_) flag = 0;
}

void FakeJobHost::SetControlText(int controlId, std::u16string text) {
    std::lock_guard lock(mutex_);
    texts_[controlId] = std::move(text);
}

std::u16string FakeJobHost::ReadControlText(int controlId) {
    std::lock_guard lock(mutex_);
    const auto found = texts_.find(controlId);
    return found == texts_.end() ? std::u16string{} : found->second;
}

bool FakeJobHost::SaveData() {
    ++saveDataCalls_;
    std::lock_guard lock(mutex_);
    return saveDataResult_;
}

void FakeJobHost::SetSaveDataResult(bool result) {
    std::lock_guard lock(mutex_);
    saveDataResult_ = result;
}

int FakeJobHost::SaveDataCalls() const {
    return saveDataCalls_;
}

void FakeJobHost::ShowVoiceSettingDialog() {
    ++dialogCalls_;
    std::function<void(VoiceProfile&)> dialog;
    {
        std::lock_guard lock(mutex_);
        dialog = dialog_;
    }
    if (dialog) dialog(profile_);
}

void FakeJobHost::SetVoiceSettingDialog(std::function<void(VoiceProfile&)> dialog) {
    std::lock_guard lock(mutex_);
    dialog_ = std::move(dialog);
}

int FakeJobHost::VoiceSettingDialogCalls() const {
    return dialogCalls_;
}

std::atomic<std::int32_t>& FakeJobHost::BusyFlag(Job job) {
    return busy_.at(static_cast<std::size_t>(job));
}

}  // namespace sonoleaf::testing
