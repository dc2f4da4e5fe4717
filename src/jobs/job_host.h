#pragma once
// What a job procedure reaches in the main window: its controls, its settings and
// the jobs' busy flags. The window and the command line implement it; unit tests
// implement it without either. (Jobs that speak reach the speech engine as well,
// through the speech layer's SpeechJobHost.)

#include <atomic>
#include <cstdint>
#include <string>

#include "jobs/voice_profile.h"

namespace sonoleaf {

// Control ids of the main window that jobs read.
enum ControlId : int {
    kTypedTextEdit = 1002,
    kTextSourceBrowse = 1016,
    kAudioFolderBrowse = 1017,
    kPdfSourceBrowse = 1018,
    kTextFolderBrowse = 1019,
    kCharLengthEdit = 1034,
    kStartNumberEdit = 1035,
    kPdfChaptersCheck = 1042,  // "Mark chapters from the PDF's outline"
};

// The jobs, in the order of their busy flags.
enum class Job {
    VoiceSetting,
    PdfToText,
    SpeakNow,
    MakeAudio,
    SpeakFile,
    FileToAudio,
    LengthList,
    TitleList,
};

class JobHost {
  public:
    virtual ~JobHost() = default;
    // The window text of a control, read through the GUI thread.
    virtual std::u16string ReadControlText(int controlId) = 0;
    // Whether a check box is on, read through the GUI thread; a host without the box
    // has it off.
    virtual bool IsChecked(int /*controlId*/) { return false; }
    // Save-direction data exchange through the GUI thread; false if a field failed.
    virtual bool SaveData() = 0;
    // Opens the voice settings dialog and returns when it has been closed.
    virtual void ShowVoiceSettingDialog() = 0;
    virtual VoiceProfile& Profile() = 0;
    // Asks the user a question with the answers Yes and No, through the GUI thread, and
    // returns the answer; a host that cannot ask answers No.
    virtual bool Ask(const std::u16string& /*question*/) { return false; }
    virtual std::atomic<std::int32_t>& BusyFlag(Job job) = 0;
};

}  // namespace sonoleaf
