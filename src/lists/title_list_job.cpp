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
// message after it has become idle again. Only Stop clears the running flag.
void TitleListJob(SpeechJobHost& host) {
    std::atomic<std::int32_t>& busy = host.BusyFlag(Job::TitleList);
    SpeechEngine& engine = host.Engine();
    busy = 1;

    std::u16string textPath = host.ReadControlText(kTextSourceBrowse);
    std::u16string outputFolder = host.ReadControlText(kAudioFolderBrowse);
    // The starting number is checked before the paths.
    const std::optional<std::int32_t> startNumber =
        ParseStartNumber(host.ReadControlText(kStartNumberEdit));
    if (!startNumber) {
        ShowAlert("You have given invalid file name starting number");
        busy = 0;
        return;
    }
    if (textPath.empty() || outputFolder.empty()) {
        ShowAlert("You Have to select both Text file and Output Folder path");
        busy = 0;
        return;
    }

    // Before the question: a list under way is no unfinished one to resume.
    if (RefusedAsUnderWay(textPath, outputFolder)) {
        busy = 0;
        return;
    }
    engine.CopyProfile(host.Profile());
    const bool resume =
        OfferToResume(host, textPath, outputFolder, "start=" + std::to_string(*startNumber));
    engine.titleListRunning = true;
    engine.MakeAudioListByTitles(std::move(textPath), std::move(outputFolder), *startNumber,
                                 resume);
    busy = 0;
    ShowAlert("Text File to Audio List By given Titles Operation Ended");
}

}  // namespace sonoleaf
