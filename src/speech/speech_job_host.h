#pragma once
// What a job that speaks reaches in the window: the window's controls, settings and
// busy flags, and the one speech engine.

#include "jobs/job_host.h"

namespace sonoleaf {

class SpeechEngine;

class SpeechJobHost : public JobHost {
  public:
    virtual SpeechEngine& Engine() = 0;
};

}  // namespace sonoleaf
