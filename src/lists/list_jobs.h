#pragma once
// The two audio list jobs: the text file cut every N bytes, or at its title tags.

#include "speech/speech_job_host.h"

namespace sonoleaf {

void LengthListJob(SpeechJobHost& host);
void TitleListJob(SpeechJobHost& host);

}  // namespace sonoleaf
