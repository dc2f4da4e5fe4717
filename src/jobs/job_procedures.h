#pragma once
// The job procedures behind the window's buttons, and the Stop handler.

#include "jobs/job_host.h"

namespace sonoleaf {

void VoiceSettingJob(JobHost& host);  // jobs/
void PdfToTextJob(JobHost& host);     // pdf/
void SpeakNowJob(JobHost& host);      // speech/
void MakeAudioJob(JobHost& host);     // speech/
void SpeakFileJob(JobHost& host);     // speech/
void FileToAudioJob(JobHost& host);   // speech/
void LengthListJob(JobHost& host);    // lists/
void TitleListJob(JobHost& host);     // lists/

// "Stop TTS Process": runs on the GUI thread, no busy flag, no message.
void StopTtsProcess(JobHost& host);  // jobs/

using JobProcedure = void (*)(JobHost&);
JobProcedure ProcedureFor(Job job);  // jobs/

}  // namespace sonoleaf
