#include "ui/templates.h"

#include <string>

#include "platform/text/version.h"
#include "ui/control_ids.h"

namespace sonoleaf::ui {
namespace {

// "Sonoleaf Version " and the build's version.
const char* VersionLine() {
    static const std::string line = std::string("Sonoleaf Version ") + kVersion;
    return line.c_str();
}

}  // namespace

using dialogs::ControlKind;
using dialogs::DialogTemplate;
using dialogs::kGroup;
using dialogs::kIdCancel;
using dialogs::kIdOk;
using dialogs::kNoId;
using dialogs::kNoStyle;
using dialogs::kTabStop;

const DialogTemplate& MainWindowTemplate() {
    static const DialogTemplate main{
        kMainTemplate,
        "Sonoleaf",
        613,
        308,
        {
            {kConvertPdfButton, ControlKind::PushButton, "Convert PDF to Text", 80, 159, 77, 14,
             kTabStop},
            {kTypedTextEdit, ControlKind::MultiLineEdit, "", 286, 224, 312, 46, kTabStop},
            {kSpeakNowButton, ControlKind::PushButton, "Speak Now", 311, 278, 60, 14, kTabStop},
            {kNoId, ControlKind::StaticCentred, "Write Something to speak or Make Audio", 360, 208,
             143, 8, kNoStyle, kTypedTextEdit},
            {kPdfHeading, ControlKind::StaticCentred, "PDF to Text Operations", 14, 7, 143, 28},
            {kAudioHeading, ControlKind::StaticCentred, "Text to Audio Operations", 330, 5, 199,
             29},
            {kNoId, ControlKind::Static, "Path of Source Text file", 287, 60, 143, 8, kNoStyle,
             kTextSourceBrowse},
            {kNoId, ControlKind::Static, "Path of Destination Folder", 288, 88, 143, 8, kNoStyle,
             kAudioFolderBrowse},
            {kNoId, ControlKind::Static, "Path of Source PDF file", 24, 39, 91, 8, kNoStyle,
             kPdfSourceBrowse},
            {kNoId, ControlKind::Static, "Path of Destination Folder to save Text", 23, 98, 143, 8,
             kNoStyle, kTextFolderBrowse},
            {kSpeakFileButton, ControlKind::PushButton, "Speak From Text file", 287, 118, 120, 15,
             kTabStop},
            {kFileToAudioButton, ControlKind::PushButton, "Convert to Audio from Text file", 475,
             118, 121, 15, kTabStop},
            {kMakeAudioButton, ControlKind::PushButton, "Make Audio", 475, 278, 60, 14, kTabStop},
            {kTextSourceBrowse, ControlKind::BrowseFileEdit, "", 286, 71, 313, 14, kTabStop},
            {kAudioFolderBrowse, ControlKind::BrowseFolderEdit, "", 287, 99, 312, 14, kTabStop},
            {kPdfSourceBrowse, ControlKind::BrowseFileEdit, "", 21, 50, 216, 14, kTabStop},
            {kTextFolderBrowse, ControlKind::BrowseFolderEdit, "", 23, 110, 216, 14, kTabStop},
            {kPdfChaptersCheck, ControlKind::CheckBox, "Mark chapters from the PDF's outline", 23,
             130, 170, 10, kTabStop},
            {kNoId, ControlKind::Static, "Set Voice Setting :", 287, 41, 84, 8},
            {kVoiceSettingButton, ControlKind::PushButton, "Voice Setting", 366, 38, 80, 14,
             kTabStop},
            {kStopButton, ControlKind::PushButton, "Stop TTS Process", 451, 39, 73, 14, kTabStop},
            {kLengthListButton, ControlKind::PushButton, "Convert Text file to Audio List", 290,
             182, 116, 15, kTabStop},
            {kNoId, ControlKind::Static, "Character Length (1 - 2^25):", 289, 143, 115, 8, kNoStyle,
             kCharLengthEdit},
            {kCharLengthEdit, ControlKind::Edit, "", 289, 160, 98, 15, kTabStop},
            {kNoId, ControlKind::Icon, "Sonoleaf maker's logo", 7, 281, 20, 20, kNoStyle, kNoId,
             kMakerIcon},
            {kNoId, ControlKind::Static, kMakerNotice, 31, 288, 60, 12},
            {kTitleListButton, ControlKind::PushButton, "Audio list by Title Tag", 476, 183, 120,
             15, kTabStop},
            {kAboutButton, ControlKind::PushButton, "About", 11, 262, 39, 12, kTabStop},
            {kHelpButton, ControlKind::PushButton, "Help", 58, 263, 39, 12, kTabStop},
            {kNoId, ControlKind::Static, "Filename Starting Number(#):", 479, 144, 115, 8, kNoStyle,
             kStartNumberEdit},
            {kStartNumberEdit, ControlKind::Edit, "", 477, 159, 98, 15, kTabStop},
        },
    };
    return main;
}

const DialogTemplate& VoiceSettingTemplate() {
    static const DialogTemplate settings{
        kVoiceSettingTemplate,
        "Voice Setting",
        309,
        176,
        {
            {kMaleRadio, ControlKind::RadioButton, "Male", 42, 35, 31, 10, kGroup | kTabStop},
            {kFemaleRadio, ControlKind::RadioButton, "Female", 42, 57, 39, 10, kTabStop},
            // A voice by name, then the user's pronunciation list, after the gender.
            {kNoId, ControlKind::Static, "Voice:", 23, 133, 25, 8, kNoStyle, kVoiceNameCombo},
            {kVoiceNameCombo, ControlKind::ComboBox, "", 50, 131, 241, 60, kTabStop},
            {kPronunciationsButton, ControlKind::PushButton, "Pronunciations...", 23, 155, 70, 14,
             kTabStop},
            {kIdOk, ControlKind::DefaultPushButton, "OK", 198, 155, 50, 14, kTabStop},
            {kIdCancel, ControlKind::PushButton, "Cancel", 252, 155, 50, 14, kTabStop},
            {kNoId, ControlKind::GroupBox, "Select Voice Type", 23, 23, 105, 54},
            // Grown down into free space to hold the audiobook choice.
            {kNoId, ControlKind::GroupBox, "Select Audio Type", 183, 21, 108, 66},
            {kMp3Radio, ControlKind::RadioButton, "MP3", 203, 41, 29, 10, kGroup | kTabStop},
            {kWavRadio, ControlKind::RadioButton, "WAV", 205, 62, 31, 10, kTabStop},
            {kM4bRadio, ControlKind::RadioButton, "M4B (audiobook)", 205, 74, 70, 10, kTabStop},
            {kVolumeTrackbar, ControlKind::Trackbar, "", 25, 110, 74, 18, kTabStop},
            {kNoId, ControlKind::Static, "Set Volume", 31, 90, 36, 8, kNoStyle, kVolumeTrackbar},
            {kSpeedTrackbar, ControlKind::Trackbar, "", 184, 109, 74, 18, kTabStop},
            {kNoId, ControlKind::Static, "Set Speed", 190, 88, 34, 8, kNoStyle, kSpeedTrackbar},
            {kSubtitlesCheck, ControlKind::CheckBox, "Write subtitles (.srt)", 100, 157, 90, 10,
             kTabStop},
            // In the free space between the two sliders; last, so that the tab order of
            // the controls before it stays as it was.
            {kListenButton, ControlKind::PushButton, "Listen", 117, 111, 50, 14, kTabStop},
        },
    };
    return settings;
}

const DialogTemplate& AboutTemplate() {
    static const DialogTemplate about{
        kAboutTemplate,
        "About Sonoleaf",
        313,
        120,
        {
            {kNoId, ControlKind::Icon, "Sonoleaf", 14, 14, 21, 20, kNoStyle, kNoId, kAppIcon},
            {kNoId, ControlKind::Static, VersionLine(), 83, 14, 187, 8},
            {kNoId, ControlKind::Static, kContactLine, 104, 66, 84, 18},
            {kIdOk, ControlKind::DefaultPushButton, "OK", 256, 99, 50, 14, kGroup | kTabStop},
            {kNoId, ControlKind::Static, kAboutNotice, 118, 38, 60, 12},
            {kNoId, ControlKind::Icon, "Sonoleaf maker's logo", 93, 32, 21, 20, kNoStyle, kNoId,
             kMakerIcon},
        },
    };
    return about;
}

}  // namespace sonoleaf::ui
