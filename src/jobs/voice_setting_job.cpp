#include "jobs/voice_setting_job.h"

namespace sonoleaf {

void VoiceSettingJob(JobHost& host) {
    std::atomic<std::int32_t>& busy = host.BusyFlag(Job::VoiceSetting);
    busy = 1;
    // Nothing is applied here: every speech job copies the profile when it starts.
    host.ShowVoiceSettingDialog();
    busy = 0;
}

}  // namespace sonoleaf
