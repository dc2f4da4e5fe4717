#include "jobs/job_procedures.h"
#include "speech/speech_engine.h"

namespace sonoleaf {

void StopTtsProcess(JobHost& host) {
    host.Engine().Stop(host.BusyFlag(Job::LengthList) != 0);
}

}  // namespace sonoleaf
