#include "jobs/job_procedures.h"

namespace sonoleaf {

JobProcedure ProcedureFor(Job job) {
    switch (job) {
        case Job::VoiceSetting:
            return &VoiceSettingJob;
        case Job::PdfToText:
            return &PdfToTextJob;
        case Job::SpeakNow:
            return &SpeakNowJob;
        case Job::MakeAudio:
            return &MakeAudioJob;
        case Job::SpeakFile:
            return &SpeakFileJob;
        case Job::FileToAudio:
            return &FileToAudioJob;
        case Job::LengthList:
            return &LengthListJob;
        case Job::TitleList:
            return &TitleListJob;
    }
    return nullptr;
}

}  // namespace sonoleaf
