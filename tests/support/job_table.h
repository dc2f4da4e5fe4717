#pragma once
// Every job's procedure by its Job, as the window's buttons start them, for tests
// that run jobs without a window.

#include <functional>

#include "jobs/voice_setting_job.h"
#include "lists/list_jobs.h"
#include "pdf/pdf_job.h"
#include "speech/speech_jobs.h"

namespace sonoleaf::testing {

using JobProcedure = std::function<void(SpeechJobHost&)>;

inline JobProcedure ProcedureFor(Job job) {
    switch (job) {
        case Job::VoiceSetting:
            return [](SpeechJobHost& h) { VoiceSettingJob(h); };
        case Job::PdfToText:
            return [](SpeechJobHost& h) { PdfToTextJob(h); };
        case Job::SpeakNow:
            return SpeakNowJob;
        case Job::MakeAudio:
            return MakeAudioJob;
        case Job::SpeakFile:
            return SpeakFileJob;
        case Job::FileToAudio:
            return FileToAudioJob;
        case Job::LengthList:
            return LengthListJob;
        case Job::TitleList:
            return TitleListJob;
    }
    return {};
}

}  // namespace sonoleaf::testing
