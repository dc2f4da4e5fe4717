#pragma once
// The jobs that speak or render one text, and the Stop handler.

#include <string>

#include "platform/speech/speech_service.h"
#include "speech/speech_job_host.h"

namespace sonoleaf {

void SpeakNowJob(SpeechJobHost& host);
void MakeAudioJob(SpeechJobHost& host);
void SpeakFileJob(SpeechJobHost& host);
void FileToAudioJob(SpeechJobHost& host);

// "Stop TTS Process": runs on the GUI thread, no busy flag, no message.
void StopTtsProcess(SpeechJobHost& host);

// Why speaking aloud failed, for the box after the job's closing message.
std::u16string SpeakFailureMessage(speech_service::HResult result);

}  // namespace sonoleaf
