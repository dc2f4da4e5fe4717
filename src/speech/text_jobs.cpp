// "Make Audio", "Speak From Text file" and "Convert to Audio from Text file": each
// checks its inputs, copies the voice profile, calls the engine and reports. A
// validation message is shown while the job still counts as busy, the closing
// message after it has become idle.
#include "jobs/alert.h"
#include "speech/speech_engine.h"
#include "speech/speech_jobs.h"

namespace sonoleaf {

void MakeAudioJob(SpeechJobHost& host) {
    std::atomic<std::int32_t>& busy = host.BusyFlag(Job::MakeAudio);
    busy = 1;
    std::u16string text = host.ReadControlText(kTypedTextEdit);
    std::u16string folder = host.ReadControlText(kAudioFolderBrowse);
    if (folder.empty()) {
        ShowAlert("OutputFolder Path is not selected");
        busy = 0;
        return;
    }
    host.Engine().CopyProfile(host.Profile());
    host.Engine().MakeAudioFromText(std::move(text), std::move(folder));
    busy = 0;
    ShowAlert("Raw Text to Audio Operation Ended");
}

void SpeakFileJob(SpeechJobHost& host) {
    std::atomic<std::int32_t>& busy = host.BusyFlag(Job::SpeakFile);
    busy = 1;
    std::u16string path = host.ReadControlText(kTextSourceBrowse);
    if (path.empty()) {
        ShowAlert("Text File Input Path is not set\r\nPlease set Text file input path correctly");
        busy = 0;
        return;
    }
    host.Engine().CopyProfile(host.Profile());
    const speech_service::HResult spoken = host.Engine().SpeakTextFile(std::move(path));
    busy = 0;
    ShowAlert("Text File to Speech Operation Ended");
    // Heard nothing: the user learns why, after the job's own message.
    if (speech_service::Failed(spoken))
        ShowAlertText(SpeakFailureMessage(spoken), AlertKind::Failure);
}

void FileToAudioJob(SpeechJobHost& host) {
    std::atomic<std::int32_t>& busy = host.BusyFlag(Job::FileToAudio);
    busy = 1;
    std::u16string source = host.ReadControlText(kTextSourceBrowse);
    std::u16string folder = host.ReadControlText(kAudioFolderBrowse);
    if (source.empty() || folder.empty()) {
        ShowAlert("You Have to select both Text file and Output Folder path");
        busy = 0;
        return;
    }
    host.Engine().CopyProfile(host.Profile());
    host.Engine().MakeAudioFromTextFile(std::move(source), std::move(folder));
    busy = 0;
    ShowAlert("Text File to Audio Operation Ended");
}

}  // namespace sonoleaf
