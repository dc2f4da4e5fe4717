#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "jobs/alert.h"
#include "lists/list_jobs.h"
#include "lists/list_numbers.h"
#include "lists/list_run.h"
#include "speech/speech_engine.h"

namespace sonoleaf {

// Validation messages are shown while the job still counts as busy; the closing
// message after it has become idle again.
void LengthListJob(SpeechJobHost& host) {
    std::atomic<std::int32_t>& busy = host.BusyFlag(Job::LengthList);
    SpeechEngine& engine = host.Engine();
    busy = 1;

    // The number is checked before the paths are read.
    const std::optional<std::int32_t> charLength =
        ParseListNumber(host.ReadControlText(kCharLengthEdit));
    if (!charLength) {
        ShowAlert("Invalid Input, Value Must be between 1 and 2^25");
        engine.lengthListRunning = false;
        busy = 0;
        return;
    }
    std::u16string textPath = host.ReadControlText(kTextSourceBrowse);
    std::u16string outputFolder = host.ReadControlText(kAudioFolderBrowse);
    if (textPath.empty() || outputFolder.empty()) {
        ShowAlert("You Have to select both Text file and Output Folder path");
        engine.lengthListRunning = false;
        busy = 0;
        return;
    }

    // Before the question: a list under way is no unfinished one to resume.
    if (RefusedAsUnderWay(textPath, outputFolder)) {
        engine.lengthListRunning = false;
        busy = 0;
        return;
    }
    engine.CopyProfile(host.Profile());
    const bool resume =
        OfferToResume(host, textPath, outputFolder, "length=" + std::to_string(*charLength));
    engine.lengthListRunning = true;
    engine.MakeAudioListByLength(std::move(textPath), std::move(outputFolder), *charLength, resume);
    engine.lengthListRunning = false;
    busy = 0;
    ShowAlert("Text File to Audio List Operation Ended");
}

}  // namespace sonoleaf
