#pragma once
// "Voice Setting": shows the settings dialog and waits until it is closed.

#include "jobs/job_host.h"

namespace sonoleaf {

void VoiceSettingJob(JobHost& host);

}  // namespace sonoleaf
