#include "speech/speech_engine.h"
#include "speech/speech_jobs.h"

namespace sonoleaf {

void StopTtsProcess(SpeechJobHost& host) {
    host.Engine().Stop(host.BusyFlag(Job::LengthList) != 0);
}

}  // namespace sonoleaf
